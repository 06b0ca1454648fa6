// Every call the add-in makes to the host, the window support library or the desktop may fail or
// throw; whichever one does, every operation still finishes, and a whole session leaves no
// reference behind and the desktop unlocked.
#include "addin/main_module.h"
#include "addin_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestova::addin;
using namespace kestova::addin::testing;

namespace {

// Runs two sessions on two monitors with one presentation already open and one to open, whose
// file changes before the second, so that it is opened afresh.
void RunSession(FakeHost& host, FakeWindowSupport& windows, FakeDesktop& desktop,
                MainModule& module) {
    host.AddOpen(L"C:\\open.pptx");
    host.openable.insert(L"C:\\new.pptx");
    windows.monitors = {{0, 0, 1024, 768}, {-800, 0, 800, 600}};
    module.CheckHostVersion(host.App());
    for (int run = 0; run < 2; ++run) {
        module.InitializeScreenSaverSession(2);
        module.AddScreenSaver(1, L"C:\\open.pptx", 1);
        module.AddScreenSaver(2, L"C:\\new.pptx", 2);
        module.PrepareScreenSaver();
        module.BeginScreenSaver();
        host.EndAnyShow();
        (void)module.ShouldEndScreenSaver();
        module.EndScreenSaver();
        module.ExitScreenSaverSession();
        desktop.stamps[L"C:\\new.pptx"] = {1, 1};
    }
}

std::vector<std::string> CallsOfACleanSession() {
    Journal journal;
    FakeHost host{journal};
    FakeWindowSupport windows{journal};
    FakeDesktop desktop{journal};
    MainModule module{host, windows, desktop};
    RunSession(host, windows, desktop, module);
    std::vector<std::string> names;
    for (const auto& call : journal.calls)
        if (std::find(names.begin(), names.end(), call) == names.end())
            names.push_back(call);
    return names;
}

} // namespace

TEST(AddinFaultSweep, EveryCallFailingOrThrowingLeavesNothingBehind) {
    std::vector<std::string> calls = CallsOfACleanSession();
    ASSERT_GE(calls.size(), 20u);
    for (const std::string& call : calls) {
        for (FaultMode mode : {FaultMode::Fail, FaultMode::Throw}) {
            SCOPED_TRACE(call + (mode == FaultMode::Throw ? " (throws)" : " (fails)"));
            Journal journal;
            journal.faultCall = call;
            journal.faultMode = mode;
            FakeHost host{journal};
            FakeWindowSupport windows{journal};
            FakeDesktop desktop{journal};
            MainModule module{host, windows, desktop};
            RunSession(host, windows, desktop, module);

            // Nothing but the add-in's records of what it opened holds a host object.
            EXPECT_EQ(host.HeldRefs(), static_cast<int>(module.Opened().Size()));
            for (FakeObject* window : host.Windows())
                EXPECT_EQ(window->refs, 0);
            if (call != "UnlockUpdate") {
                EXPECT_FALSE(desktop.locked);
            }
            EXPECT_FALSE(host.sinkConnected);
            EXPECT_EQ(host.sinksAlive, 0);
            EXPECT_EQ(module.CurrentSession().Count, 0);
            // A show that was started is exited, unless its handle was never known.
            if (call != "GetSSWHandle" && call != "ExitSlideShow") {
                for (FakeObject* window : host.Windows())
                    EXPECT_TRUE(window->exited);
            }
            module.ForgetHost();
            EXPECT_EQ(host.app.refs, 0);
            EXPECT_EQ(host.HeldRefs(), 0);
        }
    }
}

TEST(AddinFaultSweep, FaultsOnLaterCallsOfTheSameKindSkipOnlyThatStep) {
    // The second presentation's window refuses its placement; the first is placed in full.
    Journal journal;
    journal.faultCall = "SetWindowPlacement Left";
    journal.faultAt = 2;
    journal.faultMode = FaultMode::Throw;
    FakeHost host{journal};
    FakeWindowSupport windows{journal};
    FakeDesktop desktop{journal};
    MainModule module{host, windows, desktop};
    host.openable = {L"C:\\a.pptx", L"C:\\b.pptx"};
    windows.monitors = {{0, 0, 960, 480}, {960, 0, 960, 480}};
    module.CheckHostVersion(host.App());
    module.InitializeScreenSaverSession(2);
    module.AddScreenSaver(1, L"C:\\a.pptx", 1);
    module.AddScreenSaver(2, L"C:\\b.pptx", 2);
    module.PrepareScreenSaver();
    module.BeginScreenSaver();
    auto windowsStarted = host.Windows();
    ASSERT_EQ(windowsStarted.size(), 2u);
    EXPECT_EQ(windowsStarted[0]->placement[0], 0.0f);
    EXPECT_EQ(windowsStarted[1]->placement[0], -1.0f);
    EXPECT_EQ(windowsStarted[1]->placement[1], 0.0f);
    EXPECT_EQ(windowsStarted[1]->placement[2], 720.0f);
}
