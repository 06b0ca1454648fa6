#include "addin/main_module.h"
#include "addin_fakes.h"

#include <gtest/gtest.h>

using namespace kestova::addin;
using namespace kestova::addin::testing;

class AddinSessionService : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.CheckHostVersion(host.App())); }

    void Fill(const std::vector<std::pair<std::wstring, int32_t>>& entries) {
        module.InitializeScreenSaverSession(static_cast<int32_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i)
            module.AddScreenSaver(static_cast<int32_t>(i + 1), entries[i].first, entries[i].second);
    }
    FakeObject* PresentationOf(int32_t index) {
        return Of(module.CurrentSession().Entry(index)->Presentation);
    }

    Journal journal;
    FakeHost host{journal};
    FakeWindowSupport windows{journal};
    FakeDesktop desktop{journal};
    MainModule module{host, windows, desktop};
};

TEST_F(AddinSessionService, OpenPresentationWithExactPathIsTakenAsItIs) {
    FakeObject* open = host.AddOpen(L"C:\\Shows\\Intro.pptx");
    host.openable.insert(L"C:\\shows\\intro.pptx");
    Fill({{L"C:\\Shows\\Intro.pptx", 1}, {L"C:\\shows\\intro.pptx", 2}});

    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(PresentationOf(1), open);
    // Another letter case is not the same name: the host is asked to open that file.
    ASSERT_NE(PresentationOf(2), nullptr);
    EXPECT_NE(PresentationOf(2), open);
    EXPECT_EQ(journal.Only({"OpenPresentation"}),
              std::vector<std::string>{"OpenPresentation C:\\shows\\intro.pptx"});
}

TEST_F(AddinSessionService, TwoEntriesWithOnePathShareOnePresentation) {
    host.openable.insert(L"C:\\a.pptx");
    Fill({{L"C:\\a.pptx", 1}, {L"C:\\a.pptx", 2}});
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(PresentationOf(1), PresentationOf(2));
    EXPECT_EQ(host.open.size(), 1u);
    // A second prepare in the same session opens nothing more.
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(host.open.size(), 1u);
}

TEST_F(AddinSessionService, PrepareGoesOnAfterRefusedEntriesAndReturnsTheFirst) {
    host.openable.insert(L"C:\\a.pptx");
    host.openable.insert(L"C:\\d.pptx");
    Fill({{L"C:\\a.pptx", 1},
          {L"C:\\missing1.pptx", 2},
          {L"C:\\dir\\missing2.pptx", 3},
          {L"C:\\d.pptx", 4}});
    EXPECT_EQ(module.PrepareScreenSaver(), L"C:\\missing1.pptx");
    EXPECT_NE(PresentationOf(1), nullptr);
    EXPECT_EQ(PresentationOf(2), nullptr);
    EXPECT_EQ(PresentationOf(3), nullptr);
    EXPECT_NE(PresentationOf(4), nullptr);
    EXPECT_EQ(journal.Only({"OpenPresentation"}).size(), 4u);

    // Each refused entry's monitor is told why, with the host's own words as the detail.
    windows.monitors = {
        {0, 0, 800, 600}, {800, 0, 800, 600}, {1600, 0, 800, 600}, {2400, 0, 800, 600}};
    module.BeginScreenSaver();
    std::wstring reason, detail;
    EXPECT_FALSE(module.GetMonitorReport(3, reason, detail));
    EXPECT_EQ(reason, L"Presentation could not be opened: missing2.pptx");
    EXPECT_EQ(detail, L"could not open C:\\dir\\missing2.pptx");
    EXPECT_TRUE(module.GetMonitorReport(4, reason, detail));
    EXPECT_EQ(reason, L"C:\\d.pptx");
    EXPECT_EQ(detail, L"");
    EXPECT_EQ(host.Windows().size(), 2u);
}

TEST_F(AddinSessionService, EmptyPathFailsWithTheSuccessValue) {
    Fill({{L"", 1}});
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(PresentationOf(1), nullptr);
}

TEST_F(AddinSessionService, UnreadableFullNameDoesNotMatch) {
    host.AddOpen(L"C:\\a.pptx");
    host.openable.insert(L"C:\\a.pptx");
    journal.faultCall = "FullName";
    Fill({{L"C:\\a.pptx", 1}});
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(host.open.size(), 2u); // opened a second time
}

TEST_F(AddinSessionService, AddOutsideTheSessionChangesNothing) {
    module.AddScreenSaver(1, L"C:\\early.pptx", 1); // before any session
    EXPECT_EQ(module.CurrentSession().Count, 0);
    Fill({{L"C:\\a.pptx", 1}});
    module.AddScreenSaver(0, L"C:\\x.pptx", 5);
    module.AddScreenSaver(2, L"C:\\x.pptx", 5);
    module.AddScreenSaver(-1, L"C:\\x.pptx", 5);
    ASSERT_EQ(module.CurrentSession().Entries.size(), 1u);
    EXPECT_EQ(module.CurrentSession().Entry(1)->PresName, L"C:\\a.pptx");
    EXPECT_EQ(module.CurrentSession().Entry(1)->MonitorNum, 1);

    module.InitializeScreenSaverSession(-2);
    EXPECT_TRUE(module.CurrentSession().Entries.empty());
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    module.BeginScreenSaver();
    EXPECT_TRUE(host.Windows().empty());
}

// A new session never drops a live one: the earlier session's shows are exited and its
// references released first; a session that never began is only released.
TEST_F(AddinSessionService, NewSessionEndsTheShowsOfAnEarlierOneFirst) {
    host.openable.insert(L"C:\\a.pptx");
    host.openable.insert(L"C:\\b.pptx");
    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    ASSERT_EQ(host.Windows().size(), 1u);
    FakeObject* window = host.Windows()[0];

    Fill({{L"C:\\b.pptx", 1}});
    EXPECT_TRUE(window->exited);
    EXPECT_FALSE(host.sinkConnected);
    EXPECT_FALSE(windows.sessionOpen);
    // Only the add-in's record of the presentation it opened still holds it.
    EXPECT_EQ(host.HeldRefs(), 1);
    EXPECT_EQ(host.open.size(), 1u); // never closed

    module.PrepareScreenSaver();
    journal.calls.clear();
    Fill({{L"C:\\a.pptx", 1}});
    EXPECT_EQ(journal.Only({"ExitSlideShow", "EndScreenSaverSession"}).size(), 0u);
    EXPECT_EQ(host.HeldRefs(), 2); // the records of the two presentations it opened
}

// The abandoned run's watch arrives while the host recovers, then the next run's queued calls
// follow at once: the abandoned run's show is exited, the new run works and ends cleanly.
TEST_F(AddinSessionService, AbandonedSessionIsEndedWhenTheNextRunArrivesFirst) {
    host.openable.insert(L"C:\\a.pptx");
    host.openable.insert(L"C:\\b.pptx");
    windows.monitors.push_back({1920, 0, 1280, 1024});
    Fill({{L"C:\\a.pptx", 1}});
    module.WatchScreenSaverCaller(77); // run A's caller, gone by the time anything is checked
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    FakeObject* showA = host.Windows()[0];

    desktop.caller = FakeDesktop::Caller::kRunning;
    Fill({{L"C:\\b.pptx", 2}});
    module.WatchScreenSaverCaller(78);
    EXPECT_TRUE(showA->exited);
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    module.CheckScreenSaverCaller(); // run B's caller is alive: its show stays
    ASSERT_EQ(host.Windows().size(), 2u);
    EXPECT_FALSE(host.Windows()[1]->exited);
    module.EndScreenSaver();
    module.ExitScreenSaverSession();
    EXPECT_TRUE(host.Windows()[1]->exited);
    EXPECT_EQ(host.HeldRefs(), 2); // the records of the two presentations it opened
    EXPECT_FALSE(desktop.checking);
}

TEST_F(AddinSessionService, ExitForgetsTheSessionAndLeavesPresentationsOpen) {
    host.openable.insert(L"C:\\a.pptx");
    host.openable.insert(L"C:\\b.pptx");
    Fill({{L"C:\\a.pptx", 1}, {L"C:\\b.pptx", 2}});
    windows.monitors.push_back({1920, 0, 1280, 1024});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    module.EndScreenSaver();
    EXPECT_GT(host.HeldRefs(), 0); // presentations are kept until the session is forgotten
    module.ExitScreenSaverSession();

    EXPECT_EQ(host.HeldRefs(), 2); // the add-in's records of what it opened
    EXPECT_EQ(module.Opened().Size(), 2u);
    module.ForgetHost();
    EXPECT_EQ(host.HeldRefs(), 0);
    EXPECT_EQ(host.open.size(), 2u);
    EXPECT_EQ(module.CurrentSession().Count, 0);
    ASSERT_EQ(module.CurrentSession().Entries.size(), 1u);
    EXPECT_EQ(module.CurrentSession().Entry(1)->PresName, L"");
    EXPECT_EQ(module.CurrentSession().Entry(1)->ShowWindowHandle, 0);
}

TEST_F(AddinSessionService, ShouldEndLifecycleAcrossSessions) {
    host.openable.insert(L"C:\\a.pptx");
    EXPECT_FALSE(module.ShouldEndScreenSaver());
    host.EndAnyShow(); // no receiver connected yet: not seen
    EXPECT_FALSE(module.ShouldEndScreenSaver());

    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    EXPECT_FALSE(module.ShouldEndScreenSaver());
    host.EndAnyShow(); // any show, also one the user started by hand
    EXPECT_TRUE(module.ShouldEndScreenSaver());

    module.EndScreenSaver();
    module.ExitScreenSaverSession();
    EXPECT_TRUE(module.ShouldEndScreenSaver()); // stays until the next begin
    EXPECT_FALSE(host.sinkConnected);
    EXPECT_EQ(host.sinksAlive, 0);

    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    EXPECT_FALSE(module.ShouldEndScreenSaver());
    module.EndScreenSaver();
    // Exiting the shows ends them while the receiver is still connected.
    EXPECT_TRUE(module.ShouldEndScreenSaver());
}

TEST_F(AddinSessionService, ShutdownEndsARunningSessionAndReleasesIt) {
    host.openable.insert(L"C:\\a.pptx");
    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    ASSERT_TRUE(host.sinkConnected);

    module.ReleaseSessionAtShutdown();
    EXPECT_FALSE(host.sinkConnected);
    EXPECT_EQ(host.sinksAlive, 0);
    EXPECT_TRUE(host.Windows()[0]->exited);
    EXPECT_TRUE(windows.registered.empty());
    EXPECT_FALSE(windows.sessionOpen);
    EXPECT_EQ(host.HeldRefs(), 0);
    EXPECT_EQ(host.open.size(), 1u);

    module.ForgetHost();
    EXPECT_EQ(host.app.refs, 0);
}

TEST_F(AddinSessionService, ShutdownWithoutShowsTouchesNoShowsAndNoLibrarySession) {
    host.openable.insert(L"C:\\a.pptx");
    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    journal.calls.clear();
    module.ReleaseSessionAtShutdown();
    EXPECT_TRUE(journal.calls.empty());
    EXPECT_EQ(host.HeldRefs(), 0);
}

// A caller that left while the host kept it waiting: its session is ended and released at the
// first check after it is gone.
TEST_F(AddinSessionService, SessionOfAGoneCallerIsEndedAndReleasedAtTheNextCheck) {
    host.openable.insert(L"C:\\a.pptx");
    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.BeginScreenSaver();

    desktop.caller = FakeDesktop::Caller::kRunning;
    module.WatchScreenSaverCaller(77);
    EXPECT_TRUE(desktop.checking);
    module.CheckScreenSaverCaller(); // still running: nothing happens
    EXPECT_FALSE(host.Windows()[0]->exited);
    EXPECT_TRUE(host.sinkConnected);

    desktop.callerEnded = true;
    module.CheckScreenSaverCaller();
    EXPECT_TRUE(host.Windows()[0]->exited);
    EXPECT_FALSE(host.sinkConnected);
    EXPECT_FALSE(windows.sessionOpen);
    EXPECT_EQ(module.CurrentSession().Count, 0);
    EXPECT_EQ(host.Windows()[0]->refs, 0);
    EXPECT_EQ(host.HeldRefs(), 1); // the record of the presentation the add-in opened
    EXPECT_FALSE(desktop.checking);
    EXPECT_FALSE(module.WatchesCaller());
}

// A check that falls in the middle of another operation (the host's message loop runs inside
// the host's calls) or while the host is modal does nothing; the next one after it ends the run.
TEST_F(AddinSessionService, CheckWaitsForOperationsAndTheHostsModalStates) {
    host.openable.insert(L"C:\\a.pptx");
    host.openable.insert(L"C:\\b.pptx");
    windows.monitors.push_back({1920, 0, 1280, 1024});
    Fill({{L"C:\\a.pptx", 1}, {L"C:\\b.pptx", 2}});
    desktop.caller = FakeDesktop::Caller::kRunning;
    module.WatchScreenSaverCaller(77);
    desktop.callerEnded = true;
    module.PrepareScreenSaver();
    int checksInRun = 0;
    host.onRunSlideShow = [&] {
        module.CheckScreenSaverCaller();
        ++checksInRun;
    };
    module.BeginScreenSaver();
    EXPECT_EQ(checksInRun, 2);
    ASSERT_EQ(host.Windows().size(), 2u);
    for (FakeObject* show : host.Windows())
        EXPECT_FALSE(show->exited) << "ended in the middle of BeginScreenSaver";
    EXPECT_TRUE(module.WatchesCaller());

    desktop.modal = true;
    module.CheckScreenSaverCaller();
    EXPECT_FALSE(host.Windows()[0]->exited);
    desktop.modal = false;
    module.CheckScreenSaverCaller();
    for (FakeObject* show : host.Windows())
        EXPECT_TRUE(show->exited);
    EXPECT_EQ(module.CurrentSession().Count, 0);
    EXPECT_EQ(host.HeldRefs(), 2); // only the records of the two presentations it opened
}

TEST_F(AddinSessionService, CallerWatchBelongsToItsSession) {
    host.openable.insert(L"C:\\a.pptx");
    // The usual case: the caller is gone before its call arrives; the session it leaves behind
    // (filled, prepared, not begun) is still released.
    Fill({{L"C:\\a.pptx", 1}});
    module.PrepareScreenSaver();
    module.WatchScreenSaverCaller(77);
    module.CheckScreenSaverCaller();
    EXPECT_EQ(module.CurrentSession().Count, 0);
    EXPECT_EQ(host.HeldRefs(), 1);

    // A new session and the session's own end forget the old caller: its death ends nothing.
    module.WatchScreenSaverCaller(77);
    Fill({{L"C:\\a.pptx", 1}});
    EXPECT_FALSE(module.WatchesCaller());
    EXPECT_FALSE(desktop.checking);
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    module.CheckScreenSaverCaller();
    EXPECT_FALSE(host.Windows()[0]->exited);
    module.WatchScreenSaverCaller(77);
    module.EndScreenSaver();
    module.ExitScreenSaverSession();
    EXPECT_FALSE(module.WatchesCaller());
}

// The reopen rule at the next run of the same host: a presentation is opened afresh only when the
// add-in opened it, its file changed, it has no document window and nothing unsaved. Each case
// changes one thing from the first run and says what the journal is told.
TEST_F(AddinSessionService, ChangedFileIsReopenedOnlyWhenNobodyHasItInHand) {
    const std::wstring path = L"\\\\server\\shows\\Lobby.pptx";
    struct Case {
        const char* name;
        std::function<void(FakeObject& opened)> between; // after run 1, before run 2
        bool reopened;
        std::wstring note;
    };
    const FileStamp rewritten{2048, 77};
    const std::wstring kept = L"kept although changed since it was opened: ";
    const std::vector<Case> cases = {
        {"unchanged", [](FakeObject&) {}, false, L""},
        {"rewritten", [&](FakeObject&) { desktop.stamps[path] = rewritten; }, true,
         L"reopened: changed since it was opened"},
        {"only its time changed",
         [&](FakeObject&) {
             desktop.stamps[path] = {0, 1};
         },
         true, L"reopened: changed since it was opened"},
        {"open in a window",
         [&](FakeObject& p) {
             desktop.stamps[path] = rewritten;
             p.windows = 1;
         },
         false, kept + L"it is open in a window"},
        {"edited in the host",
         [&](FakeObject& p) {
             desktop.stamps[path] = rewritten;
             p.saved = false;
         },
         false, kept + L"it has unsaved changes"},
        {"windows can't be counted",
         [&](FakeObject&) {
             desktop.stamps[path] = rewritten;
             journal.faultCall = "WindowCount";
         },
         false, kept + L"the host did not say whether it is in use"},
        {"stamp unreadable now",
         [&](FakeObject&) {
             desktop.stamps[path] = rewritten;
             desktop.unreadable.insert(path);
         },
         false, L"kept as it is: its file could not be checked for changes"},
        {"the host won't close it",
         [&](FakeObject&) {
             desktop.stamps[path] = rewritten;
             journal.faultCall = "ClosePresentation \\\\server\\shows\\Lobby.pptx";
         },
         false, L"kept although changed since it was opened: the host did not close it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        journal = Journal();
        host.open.clear();
        desktop.stamps.clear();
        desktop.unreadable.clear();
        module.ForgetHost();
        ASSERT_TRUE(module.CheckHostVersion(host.App()));
        host.openable = {path};

        Fill({{path, 1}});
        EXPECT_EQ(module.PrepareScreenSaver(), L"");
        FakeObject* first = PresentationOf(1);
        ASSERT_NE(first, nullptr);
        module.ExitScreenSaverSession();

        c.between(*first);
        Fill({{path, 1}});
        EXPECT_EQ(module.PrepareScreenSaver(), L"");
        FakeObject* second = PresentationOf(1);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second != first, c.reopened);
        EXPECT_EQ(first->closed, c.reopened);
        EXPECT_EQ(host.open, std::vector<FakeObject*>{second});
        module.BeginScreenSaver();
        std::wstring reason, detail;
        EXPECT_TRUE(module.GetMonitorReport(1, reason, detail));
        EXPECT_EQ(detail, c.note);
        module.EndScreenSaver();
        module.ExitScreenSaverSession();
    }
    // An unchanged file costs one stamp read and no question to the host about the presentation.
    journal = Journal();
    desktop.stamps.clear();
    Fill({{path, 1}});
    module.PrepareScreenSaver();
    EXPECT_EQ(journal.Only({"ReadFileStamp", "WindowCount", "Saved", "ClosePresentation"}),
              std::vector<std::string>{"ReadFileStamp \\\\server\\shows\\Lobby.pptx"});
    // No read may keep the host's thread longer than a second.
    for (uint32_t limit : desktop.stampLimits) {
        EXPECT_GT(limit, 0u);
        EXPECT_LE(limit, 1000u);
    }
}

TEST_F(AddinSessionService, PresentationsTheUserOpenedAreNeverClosed) {
    // Opened by someone else (the user, a macro), without a window and with nothing unsaved:
    // however its file changes, the add-in shows it as it is and never reads its stamp.
    FakeObject* users = host.AddOpen(L"C:\\Mine.pptx");
    Fill({{L"C:\\Mine.pptx", 1}});
    module.PrepareScreenSaver();
    desktop.stamps[L"C:\\Mine.pptx"] = {9, 9};
    module.PrepareScreenSaver();
    EXPECT_EQ(PresentationOf(1), users);
    EXPECT_FALSE(users->closed);
    EXPECT_TRUE(journal.Only({"ReadFileStamp", "ClosePresentation"}).empty());

    // The user closes the add-in's copy and opens the file again: that one is the user's now.
    host.openable.insert(L"C:\\Ours.pptx");
    Fill({{L"C:\\Ours.pptx", 1}});
    module.PrepareScreenSaver();
    host.ClosePresentation(*module.CurrentSession().Entry(1)->Presentation);
    FakeObject* reopenedByUser = host.AddOpen(L"C:\\Ours.pptx");
    desktop.stamps[L"C:\\Ours.pptx"] = {5, 5};
    Fill({{L"C:\\Ours.pptx", 1}});
    module.PrepareScreenSaver();
    EXPECT_EQ(PresentationOf(1), reopenedByUser);
    EXPECT_FALSE(reopenedByUser->closed);
}

TEST_F(AddinSessionService, ReplacedFileThatCantBeOpenedLeavesTheMonitorBlack) {
    // The admin's new file is damaged: the old copy is closed all the same (it is not what the
    // share holds now), and the monitor says why it has no show.
    const std::wstring path = L"C:\\Lobby.pptx";
    host.openable.insert(path);
    Fill({{path, 1}});
    module.PrepareScreenSaver();
    FakeObject* old = PresentationOf(1);
    module.ExitScreenSaverSession();

    desktop.stamps[path] = {1, 2};
    host.openable.clear();
    Fill({{path, 1}});
    EXPECT_EQ(module.PrepareScreenSaver(), path);
    EXPECT_TRUE(old->closed);
    EXPECT_EQ(PresentationOf(1), nullptr);
    EXPECT_TRUE(host.open.empty());
    EXPECT_EQ(module.Opened().Size(), 0u);
    module.BeginScreenSaver();
    std::wstring reason, detail;
    EXPECT_FALSE(module.GetMonitorReport(1, reason, detail));
    EXPECT_EQ(reason, L"Presentation could not be opened: Lobby.pptx");
    EXPECT_EQ(detail, L"changed since it was opened; the new file could not be opened; "
                      L"could not open C:\\Lobby.pptx");
    EXPECT_TRUE(host.Windows().empty());

    // Fixed on the share: the next run opens it and remembers it again.
    host.openable.insert(path);
    Fill({{path, 1}});
    EXPECT_EQ(module.PrepareScreenSaver(), L"");
    EXPECT_EQ(module.Opened().Size(), 1u);
}
