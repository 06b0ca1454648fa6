#include "screensaver/run_events.h"
#include "screensaver/run_journal.h"

#include <gtest/gtest.h>

using namespace kestova;

namespace {

RunRecord GoodThreeMonitorRun() {
    RunRecord r;
    r.start = {2026, 12, 7, 18, 3, 9, 60};
    r.processId = 1234;
    r.monitors = {{{0, 0, 1280, 1024}, 96, true},
                  {{-1024, 0, 1024, 768}, 120, false},
                  {{1280, 0, 800, 600}, 96, false}};
    r.facts.entries = {{1, L"C:\\p\\Harbour.pptx", true, 1},
                       {2, L"C:\\p\\Quartal & \u00DCbersicht \u65E5\u672C.pptx", false, 2},
                       {3, L"", false, 3}};
    r.facts.entriesBeyondMonitors = 1;
    r.facts.enableMouse = true;
    r.facts.host = HostContact::Attached;
    r.facts.hostVersion = L"16.0";
    r.facts.addInFound = true;
    r.outcomes = {{1, true, L"C:\\p\\Harbour.pptx", L"", L""},
                  {2, false, L"C:\\p\\Quartal & \u00DCbersicht \u65E5\u672C.pptx",
                   L"File \"C:\\p\\Quartal & \u00DCbersicht \u65E5\u672C.pptx\" not found.", L""},
                  {3, false, L"", L"", L""}};
    r.end = RunEnd::Key;
    r.endToExitMs = 58;
    r.lengthMs = 3723004;
    return r;
}

TEST(RunJournal, BlockTellsTheRunInOrderOnePlainLineEach) {
    EXPECT_EQ(FormatRunBlock(GoodThreeMonitorRun()),
              "== Run of 2026-12-07T18:03:09+01:00, process 1234\r\n"
              "Monitors:\r\n"
              "  1: 1280x1024 at (0,0), 96 dpi, primary\r\n"
              "  2: 1024x768 at (-1024,0), 120 dpi\r\n"
              "  3: 800x600 at (1280,0), 96 dpi\r\n"
              "Settings: keyboard to the shows no, mouse to the shows yes\r\n"
              "  1: C:\\p\\Harbour.pptx (found)\r\n"
              "  2: C:\\p\\Quartal & \xC3\x9C"
              "bersicht \xE6\x97\xA5\xE6\x9C\xAC.pptx (not found)\r\n"
              "  3: (none chosen)\r\n"
              "  and 1 stored entry beyond the last monitor\r\n"
              "Host: attached to the running one, version 16.0\r\n"
              "Shown:\r\n"
              "  1: slide show of C:\\p\\Harbour.pptx\r\n"
              "  2: black window: File \"C:\\p\\Quartal & \xC3\x9C"
              "bersicht \xE6\x97\xA5\xE6\x9C\xAC.pptx\" not found.\r\n"
              "  3: black window, no text\r\n"
              "Ended by: a key; 58 ms from then to the end\r\n"
              "Length: 1:02:03.004\r\n"
              "\r\n");
}

TEST(RunJournal, DisplayChangesFollowWhatTheStartShowed) {
    RunRecord r = GoodThreeMonitorRun();
    r.facts.displayChanges = {{{{0, 0, 1280, 1024}, {1280, 0, 800, 600}, {2080, 0, 640, 480}},
                               {{{-1024, 0, 1024, 768}, Cover::Black}},
                               {{{2080, 0, 640, 480}, Cover::Black}}},
                              {{{0, 0, 1920, 1080}},
                               {{{0, 0, 1280, 1024}, Cover::Show}},
                               {{{0, 0, 1920, 1080}, Cover::Show}}}};
    const std::string block = FormatRunBlock(r);
    EXPECT_NE(block.find("  3: black window, no text\r\n"
                         "Display changed: monitors now 1280x1024 at (0,0), 800x600 at (1280,0), "
                         "640x480 at (2080,0)\r\n"
                         "  gone: 1024x768 at (-1024,0), its black window taken away\r\n"
                         "  new: 640x480 at (2080,0), black window\r\n"
                         "Display changed: monitors now 1920x1080 at (0,0)\r\n"
                         "  gone: 1280x1024 at (0,0), its slide show left to the host\r\n"
                         "  new: 1920x1080 at (0,0), a slide show already on it\r\n"
                         "Ended by: a key;"),
              std::string::npos)
        << block;
}

TEST(RunJournal, FailuresAndForeignTextsStayOnTheirOwnLines) {
    RunRecord r;
    r.start = {2027, 1, 2, 3, 4, 5, -210};
    r.facts.settingsError = L"Invalid data type for 'Count'.";
    r.facts.failure = L"OLE error 80010105.\r\nSecond line\tand a tab\r\n";
    r.facts.host = HostContact::Started;
    r.outcomes = {{1, false, L"a.pptx", L"Presentation could not be opened: a.pptx",
                   L"The file is locked.\r\n"}};
    r.end = RunEnd::Failure;
    r.endToExitMs = 7;
    const std::string block = FormatRunBlock(r);
    EXPECT_NE(block.find("== Run of 2027-01-02T03:04:05-03:30,"), std::string::npos);
    {
        RunRecord readable = r;
        readable.facts.settingsError.clear();
        readable.facts.ignoredPolicies = {L"Invalid data type for 'Monitor2'\r\n(ignored)"};
        EXPECT_NE(FormatRunBlock(readable).find(
                      "\r\n  policy value ignored: Invalid data type for 'Monitor2' (ignored)\r\n"),
                  std::string::npos);
    }
    EXPECT_NE(block.find("\r\nSettings: could not be read: Invalid data type for 'Count'.\r\n"),
              std::string::npos);
    EXPECT_NE(block.find("\r\nHost: started for this run, version unknown; the add-in was not "
                         "found in it\r\n"),
              std::string::npos);
    EXPECT_NE(block.find("\r\n  1: black window: Presentation could not be opened: a.pptx (The "
                         "file is locked.)\r\n"),
              std::string::npos);
    EXPECT_NE(block.find("\r\nStart failed: OLE error 80010105. Second line and a tab\r\n"),
              std::string::npos);
    EXPECT_NE(block.find("\r\nEnded by: a failure: OLE error 80010105. Second line and a tab; 7 "
                         "ms from then to the end\r\n"),
              std::string::npos);
    // Every line break is the block's own.
    size_t lines = 0;
    for (size_t i = 0; i < block.size(); ++i) {
        if (block[i] == '\n') {
            EXPECT_EQ(block[i - 1], '\r');
            ++lines;
        }
        EXPECT_FALSE(block[i] == '\r' && block[i + 1] != '\n');
        EXPECT_NE(block[i], '\t');
    }
    EXPECT_EQ(lines, 10u);

    r.end.reset();
    r.facts.settingsError.clear();
    r.facts.entries = {{1, L"x.pptx", true, 4}};
    const std::string later = FormatRunBlock(r);
    EXPECT_NE(later.find("Ended by: nothing asked it to end"), std::string::npos);
    EXPECT_NE(later.find("\r\n  1: x.pptx (found, stored for monitor 4)\r\n"), std::string::npos);
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0x1F600))), "\xF0\x9F\x98\x80");

    // A run that left without the host's answer says so; one whose start was still waiting
    // claims nothing about the settings or the host it never finished reading.
    r.end = RunEnd::HotKey;
    r.abandoned = true;
    const std::string abandoned = FormatRunBlock(r);
    EXPECT_NE(abandoned.find("\r\nThe host did not answer in time"), std::string::npos);
    EXPECT_NE(abandoned.find("\r\nHost: "), std::string::npos);
    r.startUnknown = true;
    const std::string unknown = FormatRunBlock(r);
    EXPECT_NE(unknown.find("\r\nStart: still waiting on the host"), std::string::npos);
    EXPECT_EQ(unknown.find("Settings:"), std::string::npos);
    EXPECT_EQ(unknown.find("Host:"), std::string::npos);

    // What a busy host did, and a start that the user's input ended, are named as such.
    r.hostBusy = {true, true, L"Password\r\nagain"};
    r.facts.endedDuringStart = true;
    const std::string busy = FormatRunBlock(r);
    EXPECT_NE(busy.find("\r\nHost busy: kept the start waiting over 3 s; turned calls away; its "
                        "own window \"Password again\" was up\r\n"),
              std::string::npos)
        << busy;
    EXPECT_NE(busy.find("\r\nEnded by: Ctrl+Alt+Esc during the start; "), std::string::npos);
}

// What the event log gets: nothing for a good run, at most one event of each kind otherwise.
TEST(RunEvents, OnlyRunsThatWentWrongSayWhatWentWrongOnceEach) {
    const std::wstring journal = L"C:\\Users\\ann\\runs.log";
    RunRecord good = GoodThreeMonitorRun();
    good.outcomes[1] = {2, true, good.outcomes[1].presentation, L"", L""};
    EXPECT_TRUE(RunEvents(good, journal).empty());

    // Monitor 3 chose nothing: a black window there is no fault.
    RunRecord bare = GoodThreeMonitorRun();
    bare.outcomes.push_back(
        {4, false, L"D:\\b.pptx", L"Monitor 9 does not exist.", L"stored for monitor 9\r\n"});
    auto events = RunEvents(bare, journal);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, kMonitorsWithoutShowEvent);
    EXPECT_EQ(events[0].category, kMonitorsCategory);
    EXPECT_EQ(events[0].level, EventLevel::Warning);
    EXPECT_EQ(events[0].strings,
              (std::vector<std::wstring>{
                  L"Monitor 2: File \"C:\\p\\Quartal & \u00DCbersicht \u65E5\u672C.pptx\" not "
                  L"found.\r\nMonitor 4: Monitor 9 does not exist. (stored for monitor 9)",
                  journal}));
    // A start that the user's input cut short left its monitors bare on purpose.
    bare.facts.endedDuringStart = true;
    EXPECT_TRUE(RunEvents(bare, journal).empty());

    // A failed start says only that, with the failure on one line; unreadable settings say so.
    RunRecord failed = GoodThreeMonitorRun();
    failed.facts.failure = L"Slide show refused.\r\n";
    events = RunEvents(failed, L"");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, kStartFailedEvent);
    EXPECT_EQ(events[0].category, kStartCategory);
    EXPECT_EQ(events[0].level, EventLevel::Error);
    EXPECT_EQ(events[0].strings[0], L"Slide show refused.");
    EXPECT_EQ(events[0].strings[1], L"(none: its folder is unknown)");
    failed.facts.failure.clear();
    failed.facts.settingsError = L"Invalid data type for 'Count'.";
    EXPECT_EQ(RunEvents(failed, journal)[0].strings[0],
              L"The settings could not be read: Invalid data type for 'Count'.");

    // Abandoned after its start: the monitors' warning and the host's; abandoned while the start
    // still waited: only the host's, as nothing else is known. A huge text is cut, not refused.
    RunRecord abandoned = GoodThreeMonitorRun();
    abandoned.abandoned = true;
    abandoned.hostBusy = {true, false, L"Password"};
    events = RunEvents(abandoned, journal);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].id, kAbandonedRunEvent);
    EXPECT_EQ(events[1].category, kPowerPointCategory);
    EXPECT_EQ(events[1].strings[0], L"PowerPoint kept the start waiting over 3 s. PowerPoint's "
                                    L"own window \"Password\" was up.");
    abandoned.startUnknown = true;
    abandoned.facts.failure = std::wstring(100000, L'x');
    abandoned.hostBusy = {};
    events = RunEvents(abandoned, journal);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].strings[0], L"Nothing more was seen of PowerPoint.");
    abandoned.startUnknown = false;
    events = RunEvents(abandoned, journal);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_LE(events[0].strings[0].size(), 8000u);
}

class MemoryFiles : public JournalFiles {
public:
    std::string current, older;
    bool exists = false, rotateFails = false, appendFails = false;
    int rotations = 0;

    std::optional<uint64_t> Size() noexcept override {
        return exists ? std::optional<uint64_t>(current.size()) : std::nullopt;
    }
    bool Rotate() noexcept override {
        if (rotateFails)
            return false;
        older = std::move(current);
        current.clear();
        exists = false;
        ++rotations;
        return true;
    }
    bool Append(std::string_view bytes) noexcept override {
        if (appendFails)
            return false;
        current += bytes;
        exists = true;
        return true;
    }
};

TEST(RunJournal, FileIsBoundedRotatingOnceItWouldPassTheLimit) {
    const std::string bom = "\xEF\xBB\xBF";
    MemoryFiles files;
    const std::string block(100, 'x');
    EXPECT_TRUE(AppendRunBlock(files, block, 303));
    EXPECT_EQ(files.current, bom + block); // a new file says it is UTF-8
    EXPECT_TRUE(AppendRunBlock(files, block, 303));
    EXPECT_TRUE(AppendRunBlock(files, block, 303)); // exactly at the limit: still this file
    EXPECT_EQ(files.current.size(), 303u);
    EXPECT_EQ(files.rotations, 0);
    EXPECT_TRUE(AppendRunBlock(files, "y", 303));
    EXPECT_EQ(files.rotations, 1);
    EXPECT_EQ(files.older.size(), 303u); // whole blocks only, nothing cut
    EXPECT_EQ(files.current, bom + "y");

    // A file that can't be moved aside still takes blocks, up to twice the limit.
    files.rotateFails = true;
    for (int i = 0; i < 8; ++i)
        (void)AppendRunBlock(files, block, 303);
    EXPECT_LE(files.current.size(), 2u * 303 + block.size());
    EXPECT_FALSE(AppendRunBlock(files, block, 303));
    files.rotateFails = false; // free again: the next run moves it and starts anew
    EXPECT_TRUE(AppendRunBlock(files, block, 303));
    EXPECT_EQ(files.current, bom + block);

    // An empty file left behind (say, by a run that could only create it) gets the mark too.
    MemoryFiles empty;
    empty.exists = true;
    EXPECT_TRUE(AppendRunBlock(empty, block, 303));
    EXPECT_EQ(empty.current, bom + block);
    empty.appendFails = true;
    EXPECT_FALSE(AppendRunBlock(empty, block, 303));
}

} // namespace
