// The stand-in's own small parts that its behaviour in the other tests depends on.
#include "standin/journal_text.h"
#include "standin/member_list.h"
#include "standin/placement.h"
#include "standin/sample_file.h"

#include <gtest/gtest.h>

using namespace kestova::standin;

TEST(StandinSampleFile, ReadsSettingsAndTreatsOtherFilesAsLoopingFiveSlides) {
    ShowSettings sample = ParseShowSettings("\xEF\xBB\xBFKESTOVA-STANDIN-PRESENTATION\r\n"
                                            "slides=3\r\nloop=0\r\nadvance_ms=250\r\n"
                                            "color=#12ab34\r\n");
    EXPECT_EQ(sample.slides, 3);
    EXPECT_FALSE(sample.loop);
    EXPECT_EQ(sample.advanceMs, 250);
    EXPECT_FALSE(sample.damaged);
    EXPECT_EQ(sample.color, 0x12AB34u);
    EXPECT_TRUE(ParseShowSettings("KESTOVA-STANDIN-PRESENTATION\ndamaged=1\n").damaged);

    // A real presentation (a zip file, say) or a file that only mentions the marker later.
    for (const char* other : {"PK\x03\x04slides=1\nloop=0\n", "text\nKESTOVA-STANDIN-PRESENTATION\n"
                                                              "slides=1\n"}) {
        ShowSettings plain = ParseShowSettings(other);
        EXPECT_EQ(plain.slides, 5) << other;
        EXPECT_TRUE(plain.loop) << other;
        EXPECT_FALSE(plain.damaged) << other;
    }
    // Unreadable values keep the defaults; a zero advance cannot flood the host with ticks.
    ShowSettings odd = ParseShowSettings("KESTOVA-STANDIN-PRESENTATION\nslides=x\nadvance_ms=0\n"
                                         "color=zz\n");
    EXPECT_EQ(odd.slides, 5);
    EXPECT_GE(odd.advanceMs, 50);
    EXPECT_FALSE(odd.color.has_value());
}

TEST(StandinPlacement, PointsRoundTripToTheSamePixelsAtCommonDpis) {
    // Single precision, as the add-in hands the values over.
    for (int dpi : {96, 120, 144}) {
        for (int pixels : {-1280, -1024, -1, 0, 1, 768, 1024, 1080, 1920, 2944}) {
            float points = PixelsToPoints(pixels, dpi);
            EXPECT_EQ(PointsToPixels(points, dpi), pixels) << pixels << " px at " << dpi;
        }
    }
    EXPECT_FLOAT_EQ(PixelsToPoints(1920, 96), 1440.0f);
    EXPECT_FLOAT_EQ(PixelsToPoints(1920, 120), 1152.0f);
    EXPECT_EQ(PointsToPixels(-614.4, 120), -1024);
}

TEST(StandinMemberList, MatchesQualifiedAndBareNamesWithoutCase) {
    MemberList list(L" Presentations.Open ; ShouldEndScreenSaver;;");
    EXPECT_TRUE(list.Contains(L"Presentations", L"Open"));
    EXPECT_TRUE(list.Contains(L"presentations", L"OPEN"));
    EXPECT_FALSE(list.Contains(L"Presentation", L"Open"));
    EXPECT_FALSE(list.Contains(L"Presentations", L"Opened"));
    EXPECT_TRUE(list.Contains(L"Addin", L"ShouldEndScreenSaver"));
    EXPECT_TRUE(MemberList().empty());
    EXPECT_FALSE(MemberList().Contains(L"Application", L"Version"));
}

TEST(StandinJournalText, KeepsOneEventOnOneLine) {
    EXPECT_EQ(JoinFields({L"call", L"a\tb", L"c\r\nd", L"C:\\temp\\x.pptx"}),
              L"call\ta^Ib\tc^M^Jd\tC:\\temp\\x.pptx");
    EXPECT_EQ(HexCode(0x80020009u), L"0x80020009");
}
