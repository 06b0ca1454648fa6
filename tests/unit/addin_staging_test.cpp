#include "addin/main_module.h"
#include "addin_fakes.h"

#include <gtest/gtest.h>

using namespace kestova::addin;
using namespace kestova::addin::testing;

class AddinStaging : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.CheckHostVersion(host.App())); }

    // One prepared entry per monitor number given, each with its own presentation.
    void Prepare(const std::vector<int32_t>& monitorNums) {
        module.InitializeScreenSaverSession(static_cast<int32_t>(monitorNums.size()));
        for (std::size_t i = 0; i < monitorNums.size(); ++i) {
            std::wstring path = L"C:\\show" + std::to_wstring(i + 1) + L".pptx";
            host.openable.insert(path);
            module.AddScreenSaver(static_cast<int32_t>(i + 1), path, monitorNums[i]);
        }
        ASSERT_EQ(module.PrepareScreenSaver(), L"");
        journal.calls.clear();
    }
    const ScreenSaverEntry& Entry(int32_t index) { return *module.CurrentSession().Entry(index); }
    // GetMonitorReport as (placed, reason).
    std::pair<bool, std::wstring> Report(int32_t monitorNum) {
        std::wstring reason = L"stale", detail = L"stale";
        const bool placed = module.GetMonitorReport(monitorNum, reason, detail);
        return {placed, reason};
    }
    static std::vector<float> Placement(const FakeObject* window) {
        return {window->placement[0], window->placement[1], window->placement[2],
                window->placement[3]};
    }

    Journal journal;
    FakeHost host{journal};
    FakeWindowSupport windows{journal};
    FakeDesktop desktop{journal};
    MainModule module{host, windows, desktop};
};

TEST_F(AddinStaging, OneShowIsStartedAndPlacedInsideTheDesktopLock) {
    Prepare({1});
    module.BeginScreenSaver();
    std::vector<std::string> expected = {"NewEventSink",
                                         "SetHostApp app",
                                         "StartScreenSaverSession",
                                         "GetMonitorCount",
                                         "LockUpdate",
                                         "GetMonitorInfo 1",
                                         "StartLockWatch",
                                         "RunSlideShow C:\\show1.pptx",
                                         "StopLockWatch",
                                         "ScreenPixelsPerInch",
                                         "SetWindowPlacement Left",
                                         "SetWindowPlacement Top",
                                         "ScreenPixelsPerInch",
                                         "SetWindowPlacement Width",
                                         "SetWindowPlacement Height",
                                         "UnlockUpdate",
                                         "GetSSWHandle",
                                         "RegisterSlideShowWindow 4096",
                                         "WindowRect"};
    EXPECT_EQ(journal.calls, expected);
    EXPECT_FALSE(desktop.locked);
    EXPECT_EQ(Entry(1).ShowWindowHandle, 0x1000);
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{0, 0, 1440, 810}));
}

TEST_F(AddinStaging, APromptInsideRunPaintsTheLockComesBackOnlyForThePlacing) {
    bool lockedAtPrompt = true;
    host.duringRun = [&] {
        desktop.FireLockWatch(); // the host's thread runs messages inside Run: a prompt is up
        lockedAtPrompt = desktop.locked;
    };
    Prepare({1});
    module.BeginScreenSaver();
    EXPECT_FALSE(lockedAtPrompt);
    EXPECT_FALSE(desktop.locked);
    EXPECT_EQ(journal.Only({"LockUpdate", "UnlockUpdate", "RunSlideShow", "StopLockWatch",
                            "SetWindowPlacement"}),
              (std::vector<std::string>{"LockUpdate", "RunSlideShow C:\\show1.pptx", "UnlockUpdate",
                                        "StopLockWatch", "LockUpdate", "SetWindowPlacement Left",
                                        "SetWindowPlacement Top", "SetWindowPlacement Width",
                                        "SetWindowPlacement Height", "UnlockUpdate"}));
    EXPECT_TRUE(Report(1).first);

    // A watch that fires after a lock held elsewhere never ends that lock.
    module.EndScreenSaver();
    desktop.lockedByOther = true;
    journal.calls.clear();
    module.BeginScreenSaver();
    EXPECT_TRUE(journal.Only({"UnlockUpdate"}).empty());
    EXPECT_TRUE(desktop.lockedByOther);
}

TEST_F(AddinStaging, EachWindowIsSeenOverItsMonitorAfterOneCorrectionForItsOwnDpi) {
    // A 96 dpi primary and a 144 dpi monitor right of it; the host converts a window's points
    // with the setting of the monitor it lies on, the add-in with the screen's 96.
    windows.monitors = {{0, 0, 1920, 1080}, {1920, 0, 1024, 768}};
    host.dpiAt = [](const PixelRect& r) { return r.left + r.width / 2 >= 1920 ? 144 : 96; };
    desktop.host = &host;
    Prepare({1, 2});
    module.BeginScreenSaver();
    auto windowsOf = host.Windows();
    ASSERT_EQ(windowsOf.size(), 2u);
    EXPECT_EQ(windowsOf[0]->pixels, (PixelRect{0, 0, 1920, 1080}));
    EXPECT_EQ(windowsOf[1]->pixels, (PixelRect{1920, 0, 1024, 768}));
    EXPECT_EQ(Placement(windowsOf[1]), (std::vector<float>{960, 0, 512, 384}));
    // Only the second show is looked at twice and written twice, each time inside the lock.
    EXPECT_EQ(journal.Only({"WindowRect"}).size(), 3u);
    EXPECT_EQ(journal.Only({"SetWindowPlacement"}).size(), 12u);
    EXPECT_EQ(journal.Only({"LockUpdate"}).size(), 3u);
    EXPECT_FALSE(desktop.locked);
    std::wstring reason, detail;
    EXPECT_TRUE(module.GetMonitorReport(2, reason, detail));
    EXPECT_EQ(detail, L"placed after a correction for 144 dpi");
    EXPECT_TRUE(module.GetMonitorReport(1, reason, detail));
    EXPECT_EQ(detail, L"");

    // A host that takes the values and leaves the window where it is: the show on the primary
    // lies there anyway, the other one is reported unplaced with where it was seen.
    module.EndScreenSaver();
    host.ignorePlacement = true;
    module.BeginScreenSaver();
    EXPECT_TRUE(Report(1).first);
    EXPECT_FALSE(module.GetMonitorReport(2, reason, detail));
    EXPECT_EQ(reason, L"Slide show could not be placed on this monitor: show2.pptx");
    EXPECT_EQ(detail, L"The window lay at 1920x1080 at (0,0) for a monitor of 1024x768 at "
                      L"(1920,0), also after a correction for 180x135 dpi.");
    // Its show still runs, and is ended with the run.
    module.EndScreenSaver();
    EXPECT_TRUE(host.Windows()[3]->exited);
}

TEST_F(AddinStaging, PointsAt96And120PixelsPerInch) {
    windows.monitors = {{0, 0, 1280, 1024}, {1920, 0, 1920, 1080}};
    Prepare({2});
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{1440, 0, 1440, 810}));

    desktop.ppi = {120, 120};
    module.EndScreenSaver();
    module.BeginScreenSaver(); // pixels per inch are read afresh for every show
    EXPECT_EQ(Placement(host.Windows()[1]), (std::vector<float>{1152, 0, 1152, 648}));

    // Horizontal values use the horizontal setting, vertical ones the vertical.
    desktop.ppi = {96, 120};
    module.EndScreenSaver();
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[2]), (std::vector<float>{1440, 0, 1440, 648}));
}

TEST_F(AddinStaging, MonitorsLeftOfAndAboveThePrimaryGiveNegativePoints) {
    windows.monitors = {{0, 0, 1024, 768}, {-1280, -200, 1280, 1024}};
    Prepare({2});
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{-960, -150, 960, 768}));
}

TEST_F(AddinStaging, MonitorNumberFromOneUpToTheCountIsStagedOthersAreToldWhy) {
    windows.monitors = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
    Prepare({2, 3, 1, 0});
    module.BeginScreenSaver();
    EXPECT_NE(Entry(1).ShowWindowHandle, 0);
    EXPECT_EQ(Entry(2).ShowWindowHandle, 0);
    EXPECT_FALSE(Entry(2).ShowWindow);
    EXPECT_NE(Entry(3).ShowWindowHandle, 0);
    EXPECT_FALSE(Entry(4).ShowWindow);
    EXPECT_EQ(host.Windows().size(), 2u);
    // The count is asked once per entry, the shows come up in index order, and no monitor
    // outside the count is ever looked up (no show of size 0 at the origin).
    EXPECT_EQ(journal.Only({"GetMonitorCount"}).size(), 4u);
    EXPECT_EQ(
        journal.Only({"RunSlideShow"}),
        (std::vector<std::string>{"RunSlideShow C:\\show1.pptx", "RunSlideShow C:\\show3.pptx"}));
    EXPECT_EQ(journal.Only({"GetMonitorInfo"}),
              (std::vector<std::string>{"GetMonitorInfo 2", "GetMonitorInfo 1"}));
    EXPECT_EQ(Report(1), std::pair(true, std::wstring(L"C:\\show3.pptx")));
    EXPECT_EQ(Report(2), std::pair(true, std::wstring(L"C:\\show1.pptx")));
    EXPECT_EQ(Report(3), std::pair(false, std::wstring(L"Monitor 3 does not exist.")));
    EXPECT_EQ(Report(0), std::pair(false, std::wstring(L"Monitor 0 does not exist.")));
    EXPECT_EQ(Report(7),
              std::pair(false, std::wstring(L"No slide show was started for this monitor.")));
}

TEST_F(AddinStaging, OnePresentationOnSeveralMonitorsRunsOnceWhereverItIsNamedFirst) {
    windows.monitors = {{0, 0, 1024, 768}, {1024, 0, 800, 600}, {1824, 0, 640, 480}};
    module.InitializeScreenSaverSession(3);
    // Another letter case is the same file; the host, like PowerPoint, hands a running show's
    // window back for a second Run, which must not be taken off monitor 1.
    for (const wchar_t* path : {L"C:\\Shows\\a.pptx", L"c:\\shows\\A.PPTX"})
        host.openable.insert(path);
    module.AddScreenSaver(1, L"C:\\Shows\\a.pptx", 1);
    module.AddScreenSaver(2, L"c:\\shows\\A.PPTX", 2);
    module.AddScreenSaver(3, L"C:\\Shows\\a.pptx", 3);
    ASSERT_EQ(module.PrepareScreenSaver(), L"");
    module.BeginScreenSaver();
    EXPECT_EQ(journal.Only({"RunSlideShow"}).size(), 1u);
    ASSERT_EQ(host.Windows().size(), 1u);
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{0, 0, 768, 576}));
    EXPECT_TRUE(Report(1).first);
    EXPECT_EQ(Report(2), std::pair(false, std::wstring(L"Already shown on monitor 1.")));
    EXPECT_EQ(Report(3), std::pair(false, std::wstring(L"Already shown on monitor 1.")));

    // When the first monitor can't have it, the next one that names it does.
    module.EndScreenSaver();
    module.AddScreenSaver(1, L"C:\\Shows\\a.pptx", 9);
    module.BeginScreenSaver();
    EXPECT_EQ(Report(1),
              std::pair(false, std::wstring(L"No slide show was started for this monitor.")));
    EXPECT_TRUE(Report(2).first);
    EXPECT_EQ(Report(3), std::pair(false, std::wstring(L"Already shown on monitor 2.")));
}

TEST_F(AddinStaging, ZeroHandleShowIsReportedUnplacedAndStillExitedAtTheEnd) {
    windows.zeroHandles = true;
    Prepare({1});
    module.BeginScreenSaver();
    EXPECT_EQ(journal.Only({"RegisterSlideShowWindow"}),
              std::vector<std::string>{"RegisterSlideShowWindow 0"});
    EXPECT_TRUE(Entry(1).ShowWindow);
    EXPECT_EQ(Report(1),
              std::pair(false, std::wstring(L"Slide show window could not be found: show1.pptx")));
    journal.calls.clear();
    module.EndScreenSaver();
    EXPECT_TRUE(host.Windows()[0]->exited);
    EXPECT_EQ(journal.Only({"DeregisterSlideShowWindow", "ExitSlideShow"}),
              (std::vector<std::string>{"DeregisterSlideShowWindow 0", "ExitSlideShow"}));
    EXPECT_FALSE(Entry(1).ShowWindow);
    module.ExitScreenSaverSession();
    EXPECT_EQ(host.Windows()[0]->refs, 0);
}

TEST_F(AddinStaging, EndDeregistersThenExitsEachShowAndDisconnectsLast) {
    windows.monitors = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
    Prepare({1, 2});
    module.BeginScreenSaver();
    journal.calls.clear();
    module.EndScreenSaver();
    std::vector<std::string> expected = {"DeregisterSlideShowWindow 4096", "ExitSlideShow",
                                         "DeregisterSlideShowWindow 4097", "ExitSlideShow",
                                         "EndScreenSaverSession",          "SetHostApp none"};
    EXPECT_EQ(journal.calls, expected);
    for (FakeObject* window : host.Windows()) {
        EXPECT_TRUE(window->exited);
        EXPECT_EQ(window->refs, 0);
    }
    EXPECT_EQ(Entry(1).ShowWindowHandle, 0);
    EXPECT_FALSE(module.HasEventSink());
}

TEST_F(AddinStaging, EndWithoutBeginStillEndsTheLibrarySession) {
    Prepare({1});
    module.EndScreenSaver();
    EXPECT_EQ(journal.calls, std::vector<std::string>{"EndScreenSaverSession"});
}

TEST_F(AddinStaging, EntriesWithoutPresentationOrStartGetNoShowAndLockIsReleased) {
    windows.monitors = {{0, 0, 800, 600}, {800, 0, 800, 600}, {1600, 0, 800, 600}};
    Prepare({1, 1});
    module.InitializeScreenSaverSession(3);
    module.AddScreenSaver(1, L"C:\\show1.pptx", 1);
    module.AddScreenSaver(2, L"C:\\missing.pptx", 2);
    module.AddScreenSaver(3, L"C:\\show2.pptx", 3);
    host.unstartable.insert(L"C:\\show1.pptx");
    EXPECT_EQ(module.PrepareScreenSaver(), L"C:\\missing.pptx");
    module.BeginScreenSaver();
    // The first show fails to start and the second entry has no presentation: neither gets a
    // handle; the third, prepared after the refused one, runs. Every lock taken is released.
    for (int32_t i = 1; i <= 2; ++i) {
        EXPECT_EQ(Entry(i).ShowWindowHandle, 0);
        EXPECT_FALSE(Entry(i).ShowWindow);
    }
    EXPECT_NE(Entry(3).ShowWindowHandle, 0);
    EXPECT_EQ(journal.Only({"LockUpdate"}).size(), 3u);
    EXPECT_EQ(journal.Only({"UnlockUpdate"}).size(), 3u);
    EXPECT_FALSE(desktop.locked);
    EXPECT_EQ(journal.Only({"RegisterSlideShowWindow"}).size(), 1u);
    EXPECT_EQ(Report(1),
              std::pair(false, std::wstring(L"Slide show could not be started: show1.pptx")));
    EXPECT_EQ(Report(2),
              std::pair(false, std::wstring(L"Presentation could not be opened: missing.pptx")));
    EXPECT_TRUE(Report(3).first);
}

TEST_F(AddinStaging, ALockHeldElsewhereIsNeitherTakenNorEnded) {
    desktop.lockedByOther = true;
    Prepare({1});
    module.BeginScreenSaver();
    EXPECT_NE(Entry(1).ShowWindowHandle, 0); // staging goes on without the lock
    EXPECT_TRUE(journal.Only({"UnlockUpdate"}).empty());
    EXPECT_TRUE(desktop.lockedByOther);
}

TEST_F(AddinStaging, RefusedPropertyKeepsItsValueAndTheOthersAreSet) {
    host.refusedEdges = {static_cast<int>(WindowEdge::Top)};
    Prepare({1});
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{0, -1, 1440, 810}));
    // Running but not over its monitor: reported so, and exited at the end all the same.
    EXPECT_EQ(Report(1), std::pair(false, std::wstring(L"Slide show could not be placed on this "
                                                       L"monitor: show1.pptx")));
    module.EndScreenSaver();
    EXPECT_TRUE(host.Windows()[0]->exited);
}

TEST_F(AddinStaging, WithoutTheLibraryNoShowIsStarted) {
    journal.faultCall = "GetMonitorCount";
    Prepare({1});
    module.BeginScreenSaver();
    EXPECT_TRUE(host.Windows().empty());
    EXPECT_EQ(Entry(1).ShowWindowHandle, 0);
    EXPECT_FALSE(Report(1).first);
}

TEST_F(AddinStaging, UnreadableMonitorStartsNoShowUnreadablePixelsLeaveItUnplaced) {
    windows.monitors = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
    Prepare({1, 2});
    journal.faultCall = "GetMonitorInfo 2";
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[0]), (std::vector<float>{0, 0, 768, 576}));
    EXPECT_EQ(host.Windows().size(), 1u);
    EXPECT_EQ(Entry(2).ShowWindowHandle, 0);
    EXPECT_FALSE(Report(2).first);

    module.EndScreenSaver();
    journal.faultCall = "ScreenPixelsPerInch";
    module.BeginScreenSaver();
    EXPECT_EQ(Placement(host.Windows()[1]), (std::vector<float>{-1, -1, -1, -1}));
    EXPECT_EQ(Report(1).first, false);
}
