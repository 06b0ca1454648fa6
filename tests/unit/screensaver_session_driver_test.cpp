#include "screensaver/session_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

using namespace kestova;

namespace {

using Journal = std::vector<std::string>;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // test data is ASCII
}

// Journals every call as "<name>.<member>", "?" marking a property read, arguments as "&v" (by
// reference) or "v" (by value). A member without a handler is unknown to the object.
class FakeObject : public AutomationObject {
public:
    using Handler = std::function<AutomationValue(std::span<const AutomationArgument>)>;
    FakeObject(Journal& journal, std::string name) : journal_(journal), name_(std::move(name)) {}

    void On(const std::wstring& member, Handler handler) { handlers_[member] = std::move(handler); }
    void Returns(const std::wstring& member, AutomationValue value) {
        On(member, [value](auto) { return value; });
    }
    void Fail(const std::wstring& member) {
        On(member, [member](auto) -> AutomationValue {
            throw AutomationError(5, member, false, L"Failed in " + member);
        });
    }

    AutomationValue Invoke(const std::wstring& member, InvokeKind kind,
                           std::span<const AutomationArgument> arguments, ResultKind) override {
        std::string entry =
            name_ + "." + Narrow(member) + (kind == InvokeKind::PropertyRead ? "?" : "");
        for (size_t i = 0; i < arguments.size(); ++i) {
            entry += i ? "," : "(";
            if (auto* value = std::get_if<int32_t>(&arguments[i]))
                entry += std::to_string(*value);
            else if (auto* number = std::get_if<int32_t*>(&arguments[i]))
                entry += "&" + std::to_string(**number);
            else
                entry += "&'" + Narrow(*std::get<std::wstring*>(arguments[i])) + "'";
        }
        journal_.push_back(entry + (arguments.empty() ? "" : ")"));
        auto handler = handlers_.find(member);
        if (handler == handlers_.end())
            throw AutomationError(static_cast<int32_t>(0x80020006), member, true, {});
        return handler->second(arguments);
    }

private:
    Journal& journal_;
    std::string name_;
    std::map<std::wstring, Handler> handlers_;
};

class FakeProcess : public WatchedProcess {
public:
    FakeProcess(Journal& journal, const bool& ended) : journal_(journal), ended_(ended) {}
    ~FakeProcess() override { journal_.push_back("CloseProcess"); }
    bool HasEnded() noexcept override {
        journal_.push_back("WaitProcess");
        return ended_;
    }

private:
    Journal& journal_;
    const bool& ended_;
};

// The desktop, the host and its add-in list (one entry: ours, ready), all journaling into one
// sequence.
struct World : Desktop, PresentationHost {
    Journal journal;
    std::set<std::wstring> files;
    int32_t monitors = 1;
    bool processEnded = false;
    bool ending = false;            // the run has been ended (by the user's input, say)
    AutomationRef running, started; // handed over once, so a test sees when they are let go
    std::shared_ptr<FakeObject> app = std::make_shared<FakeObject>(journal, "App");
    std::shared_ptr<FakeObject> list = std::make_shared<FakeObject>(journal, "AddIns");
    std::shared_ptr<FakeObject> addIn = std::make_shared<FakeObject>(journal, "Addin");
    std::vector<AutomationRef> entries;
    TSession stored, session;
    std::function<void(TSession&)> load = [this](TSession& s) { s = stored; };

    World() {
        app->Returns(L"Version", std::wstring(L"16.0"));
        app->On(L"COMAddIns", [this](auto) -> AutomationValue { return list; });
        list->On(L"Count", [this](auto) -> AutomationValue { return int32_t(entries.size()); });
        list->On(L"Item", [this](auto arguments) -> AutomationValue {
            return entries.at(size_t(std::get<int32_t>(arguments[0]) - 1));
        });
        addIn->On(L"GetProcessId", [](auto arguments) -> AutomationValue {
            *std::get<int32_t*>(arguments[0]) = 4242;
            return {};
        });
        addIn->Returns(L"IsCOMAddInInitialized", true);
        addIn->Returns(L"ShouldEndScreenSaver", false);
        for (const wchar_t* member :
             {L"InitializeScreenSaverSession", L"AddScreenSaver", L"PrepareScreenSaver",
              L"BeginScreenSaver", L"EndScreenSaver", L"ExitScreenSaverSession"})
            addIn->Returns(member, {});
        AddEntry(L"Kestova Screen Saver", addIn);
        running = app;
    }
    void AddEntry(const std::wstring& description, AutomationRef object) {
        auto entry =
            std::make_shared<FakeObject>(journal, "Entry" + std::to_string(entries.size() + 1));
        entry->Returns(L"Description", description);
        entry->Returns(L"Object", object);
        entries.push_back(entry);
    }
    // A run with these entries, each of whose files exists unless its name starts with '-'.
    SessionDriver Driver(TSessionElements elements) {
        for (const auto& element : elements)
            if (!element.PresName.empty() && element.PresName[0] != L'-')
                files.insert(element.PresName);
        stored.Elements = std::move(elements);
        return SessionDriver(
            *this, *this, [this](TSession& s) { load(s); }, session);
    }
    Journal From(size_t first) const {
        return Journal(journal.begin() + long(first), journal.end());
    }
    Journal Only(const std::string& prefix) const {
        Journal picked;
        std::copy_if(journal.begin(), journal.end(), std::back_inserter(picked),
                     [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        return picked;
    }

    bool FileExists(const std::wstring& path) override { return files.count(path) > 0; }
    int32_t MonitorCount() override { return monitors; }
    void ShowMessageWindow(int32_t monitor, const std::wstring& text) override {
        journal.push_back("Window(" + std::to_string(monitor) + ",'" + Narrow(text) + "')");
    }
    // The layout the run numbered (the first `monitors` of `layout`) and the system's now.
    std::vector<MonitorRect> layout{
        {0, 0, 1280, 1024}, {1280, 0, 1024, 768}, {-800, 0, 800, 600}, {2304, 0, 640, 480}};
    std::vector<MonitorRect> now;
    std::vector<MonitorRect> showsOn; // where a show of the host lies
    static std::string Rect(const MonitorRect& r) {
        return std::to_string(r.width) + "x" + std::to_string(r.height) + "@" +
               std::to_string(r.left) + "," + std::to_string(r.top);
    }
    std::vector<MonitorRect> MonitorLayout() override {
        return {layout.begin(), layout.begin() + monitors};
    }
    std::vector<MonitorRect> MonitorsNow() override { return now; }
    void CoverMonitor(const MonitorRect& r) override {
        journal.push_back("Cover(" + Rect(r) + ")");
    }
    void UncoverMonitor(const MonitorRect& r) override {
        journal.push_back("Uncover(" + Rect(r) + ")");
    }
    bool ShowLiesOn(const MonitorRect& r) override {
        return std::find(showsOn.begin(), showsOn.end(), r) != showsOn.end();
    }
    std::unique_ptr<WatchedProcess> OpenProcess(uint32_t id) override {
        journal.push_back("OpenProcess(" + std::to_string(id) + ")");
        return std::make_unique<FakeProcess>(journal, processEnded);
    }
    void EnableTimer() override { journal.push_back("EnableTimer"); }
    void RequestClose(RunEnd cause) noexcept override {
        journal.push_back(cause == RunEnd::ShowEnded    ? "Close(show ended)"
                          : cause == RunEnd::HostExited ? "Close(host exited)"
                                                        : "Close(?)");
    }
    void AddBreakOutHotKey() override { journal.push_back("HotKey"); }
    void InstallKeyboardHook() override { journal.push_back("KeyboardHook"); }
    void InstallMouseHook() override { journal.push_back("MouseHook"); }
    void DisarmBreakOut() noexcept override { journal.push_back("Disarm"); }
    // Where in the journal the driver waited for the break-out (arming may still be under way
    // on the window's thread while the host is reached).
    size_t armedWait = SIZE_MAX;
    void WaitBreakOutArmed() override { armedWait = journal.size(); }
    void ShowErrorReport(const std::wstring& text) override {
        journal.push_back("Report('" + Narrow(text) + "')");
    }
    std::wstring SystemMessage(int32_t) override { return {}; }
    bool RunEnding() const noexcept override { return ending; }
    uint32_t OwnProcessId() const noexcept override { return 999; }
    AutomationRef Attach() noexcept override {
        journal.push_back("Attach");
        return std::move(running);
    }
    AutomationRef Start() noexcept override {
        journal.push_back("Start");
        return std::move(started);
    }
};

Journal operator+(Journal a, const Journal& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Journal kConnect = {
    "Attach",         "App.COMAddIns?",         "AddIns.Count?",    "App.COMAddIns?",
    "AddIns.Item(1)", "Entry1.Description?",    "App.COMAddIns?",   "AddIns.Item(1)",
    "Entry1.Object?", "Addin.GetProcessId(&0)", "OpenProcess(4242)"};
const Journal kStart = kConnect + Journal{"Addin.IsCOMAddInInitialized"};

TEST(SessionDriver, TwoMonitorsOneFileWholeRunInOrder) {
    World w;
    w.monitors = 2;
    SessionDriver driver = w.Driver({{L"C:\\a.pptx", 1}});
    driver.FormCreate();
    EXPECT_EQ(w.journal,
              (kStart + Journal{"Addin.InitializeScreenSaverSession(&1)",
                                // Watched by the add-in from here on (this fake lacks the member).
                                "Addin.WatchScreenSaverCaller(&999)",
                                "Addin.AddScreenSaver(&1,&'C:\\a.pptx',&1)", "Window(2,'')",
                                "Addin.PrepareScreenSaver", "Addin.BeginScreenSaver",
                                // An add-in without the report: asked once, then as before.
                                "Addin.GetMonitorReport(&1,&'',&'')", "EnableTimer", "KeyboardHook",
                                "MouseHook", "App.Version?"}));
    // Nothing is asked of the add-in that could show something before the break-out is there.
    EXPECT_EQ(w.armedWait, kConnect.size());
    EXPECT_FALSE(driver.MainWindowShown());
    ASSERT_EQ(driver.Outcomes().size(), 2u);
    EXPECT_TRUE(driver.Outcomes()[0].showRunning);
    EXPECT_EQ(driver.Outcomes()[0].presentation, L"C:\\a.pptx");
    EXPECT_FALSE(driver.Outcomes()[1].showRunning);
    EXPECT_EQ(driver.Outcomes()[1].reason, L"");
    size_t mark = w.journal.size();
    driver.TimerTimer();
    EXPECT_EQ(w.From(mark), (Journal{"WaitProcess", "Addin.ShouldEndScreenSaver"}));
    mark = w.journal.size();
    driver.FormDestroy();
    driver.FormDestroy();
    // Disarmed before the add-in hears of the end; the host is never asked to quit.
    EXPECT_EQ(w.From(mark), (Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                     "Addin.ExitScreenSaverSession"}));
}

TEST(SessionDriver, IndicesStayDenseAndMonitorNumbersAsStoredAndExtraEntriesIgnored) {
    World w;
    w.monitors = 3;
    SessionDriver driver = w.Driver({{L"p1", 7}, {L"-p2", 8}, {L"p3", 9}, {L"p4", 4}});
    driver.FormCreate();
    EXPECT_EQ(
        w.From(kStart.size()),
        (Journal{"Addin.InitializeScreenSaverSession(&2)", "Addin.WatchScreenSaverCaller(&999)",
                 "Addin.AddScreenSaver(&1,&'p1',&7)", "Window(2,'File \"-p2\" not found.')",
                 "Addin.AddScreenSaver(&2,&'p3',&9)", "Addin.PrepareScreenSaver",
                 "Addin.BeginScreenSaver", "Addin.GetMonitorReport(&1,&'',&'')", "EnableTimer",
                 "KeyboardHook", "MouseHook", "App.Version?"}));
}

TEST(SessionDriver, EveryHandedOverMonitorWithoutAShowGetsTheAddInsReason) {
    World w;
    w.monitors = 4;
    // Monitor 1 has its show; 2's entry names a monitor the system lacks; 3's presentation is
    // already shown elsewhere; 4's file is missing (Corvane's own text, never asked about).
    w.addIn->On(L"GetMonitorReport", [](auto arguments) -> AutomationValue {
        const int32_t monitor = *std::get<int32_t*>(arguments[0]);
        std::wstring& reason = *std::get<std::wstring*>(arguments[1]);
        std::wstring& detail = *std::get<std::wstring*>(arguments[2]);
        if (monitor == 1) {
            reason = L"p1";
            detail = L"reopened: changed since it was opened";
            return true;
        }
        reason = monitor == 2 ? L"No slide show was started for this monitor."
                              : L"Already shown on monitor 1.";
        detail = monitor == 3 ? L"host said no" : L"";
        return false;
    });
    SessionDriver driver = w.Driver({{L"p1", 1}, {L"p1b", 0}, {L"P1", 3}, {L"-p4", 4}});
    driver.FormCreate();
    EXPECT_EQ(
        w.From(kStart.size() + 5),
        (Journal{"Window(4,'File \"-p4\" not found.')", "Addin.PrepareScreenSaver",
                 "Addin.BeginScreenSaver", "Addin.GetMonitorReport(&1,&'',&'')",
                 "Addin.GetMonitorReport(&2,&'',&'')", "Window(2,'Monitor 0 does not exist.')",
                 "Addin.GetMonitorReport(&3,&'',&'')", "Window(3,'Already shown on monitor 1.')",
                 "EnableTimer", "KeyboardHook", "MouseHook", "App.Version?"}));
    const auto& outcomes = driver.Outcomes();
    ASSERT_EQ(outcomes.size(), 4u);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(outcomes[size_t(i)].monitor, i + 1);
    EXPECT_TRUE(outcomes[0].showRunning);
    // A running show's detail (what became of its changed file) reaches the journal too.
    EXPECT_EQ(outcomes[0].detail, L"reopened: changed since it was opened");
    EXPECT_FALSE(outcomes[1].showRunning);
    EXPECT_EQ(outcomes[1].presentation, L"p1b");
    EXPECT_EQ(outcomes[1].reason, L"Monitor 0 does not exist.");
    EXPECT_EQ(outcomes[2].reason, L"Already shown on monitor 1.");
    EXPECT_EQ(outcomes[2].detail, L"host said no");
    EXPECT_EQ(outcomes[3].reason, L"File \"-p4\" not found.");

    // A report that fails costs only its monitor; the next ones are still asked, the run goes
    // on with its timer armed.
    World failing;
    failing.monitors = 3;
    failing.addIn->On(L"GetMonitorReport", [](auto arguments) -> AutomationValue {
        const int32_t monitor = *std::get<int32_t*>(arguments[0]);
        if (monitor == 1)
            throw AutomationError(5, L"GetMonitorReport", false, L"turned away");
        if (monitor == 3)
            *std::get<std::wstring*>(arguments[1]) = L"Slide show could not be placed: c";
        else
            *std::get<std::wstring*>(arguments[2]) = L"placed after a correction for 144 dpi";
        return monitor != 3;
    });
    SessionDriver second = failing.Driver({{L"a", 1}, {L"b", 2}, {L"c", 3}});
    second.FormCreate();
    EXPECT_EQ(failing.Only("Addin.GetMonitorReport").size(), 3u);
    EXPECT_EQ(failing.Only("Window"),
              (Journal{"Window(1,'No slide show was started for this monitor.')",
                       "Window(3,'Slide show could not be placed: c')"}));
    EXPECT_EQ(failing.Only("EnableTimer").size(), 1u);
    EXPECT_FALSE(second.Outcomes()[0].showRunning);
    EXPECT_EQ(second.Outcomes()[0].detail, L"GetMonitorReport failed: 0x00000005");
    EXPECT_TRUE(second.Outcomes()[1].showRunning);
    EXPECT_EQ(second.Outcomes()[1].detail, L"placed after a correction for 144 dpi");
}

TEST(SessionDriver, MonitorsThatComeAndGoDuringARun) {
    World w;
    w.monitors = 3; // a show on 1, black windows on 2 (no entry) and 3 (file missing)
    SessionDriver driver = w.Driver({{L"a", 1}, {L"", 2}, {L"-c", 3}});
    driver.FormCreate();
    const MonitorRect primary = w.layout[0], second = w.layout[1], left = w.layout[2],
                      extra = w.layout[3];

    // Monitor 2 goes and a new one comes: the gone one's window goes first, the new one is
    // covered; the show and monitor 3's window stay as they are.
    w.now = {primary, left, extra};
    size_t mark = w.journal.size();
    driver.DisplayChanged();
    EXPECT_EQ(w.From(mark), (Journal{"Uncover(1024x768@1280,0)", "Cover(640x480@2304,0)"}));

    // The primary changes its mode under its show, which follows it; monitor 2 comes back
    // where a show already lies (none of this run's black windows over it); nothing else
    // changes. A change that changes no monitor does nothing.
    const MonitorRect bigger{0, 0, 1920, 1080};
    w.now = {bigger, second, left, extra};
    w.showsOn = {bigger, second};
    mark = w.journal.size();
    driver.DisplayChanged();
    driver.DisplayChanged();
    EXPECT_EQ(w.From(mark), Journal{});

    // Both monitors with a show go (nothing of Corvane's to take away) and the primary comes
    // back in its old mode, its show not with it: black.
    w.now = {extra, left, primary};
    w.showsOn.clear();
    mark = w.journal.size();
    driver.DisplayChanged();
    EXPECT_EQ(w.From(mark), Journal{"Cover(1280x1024@0,0)"});

    const auto& changes = driver.Facts().displayChanges;
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].monitors, (std::vector<MonitorRect>{primary, left, extra}));
    ASSERT_EQ(changes[0].gone.size(), 1u);
    EXPECT_EQ(changes[0].gone[0].cover, Cover::Black);
    ASSERT_EQ(changes[1].gone.size(), 1u);
    EXPECT_EQ(changes[1].gone[0].cover, Cover::Show);
    ASSERT_EQ(changes[1].added.size(), 2u);
    EXPECT_EQ(changes[1].added[0].cover, Cover::Show);
    EXPECT_EQ(changes[2].gone.size(), 2u);
    ASSERT_EQ(changes[2].added.size(), 1u);
    EXPECT_EQ(changes[2].added[0].cover, Cover::Black);

    // After the end nothing more is touched.
    driver.FormDestroy();
    w.now = {primary};
    mark = w.journal.size();
    driver.DisplayChanged();
    EXPECT_EQ(w.From(mark), Journal{});
}

TEST(SessionDriver, WithoutHostOnlyNamedMonitorsGetText) {
    World none; // no file at all: the host is not even looked for
    none.monitors = 3;
    none.stored.EnableKeyboard = none.stored.EnableMouse = true;
    SessionDriver first = none.Driver({{L"-gone.pptx", 1}, {L"", 2}});
    first.FormCreate();
    EXPECT_EQ(none.journal, (Journal{"Window(1,'Unable to start Microsoft Office PowerPoint.')",
                                     "Window(2,'')", "Window(3,'')", "HotKey"}));
    EXPECT_EQ(none.armedWait, 0u); // before the first black window too

    World down; // neither running nor startable: the text also where the file exists
    down.monitors = 2;
    down.running = nullptr;
    SessionDriver second = down.Driver({{L"", 1}, {L"a", 2}});
    second.FormCreate();
    EXPECT_EQ(down.journal, (Journal{"Attach", "Start", "Window(1,'')",
                                     "Window(2,'Unable to start Microsoft Office PowerPoint.')",
                                     "KeyboardHook", "MouseHook"}));

    World started; // nothing running: a new instance serves
    started.started = std::move(started.running);
    SessionDriver third = started.Driver({{L"a", 1}});
    third.FormCreate();
    EXPECT_EQ(Journal(started.journal.begin(), started.journal.begin() + 2),
              (Journal{"Attach", "Start"}));
    EXPECT_EQ(started.Only("Addin.BeginScreenSaver").size(), 1u);
}

TEST(SessionDriver, AddInFoundOnlyByExactDescriptionWithAnObjectElseHostReleased) {
    for (auto [description, connected] :
         {std::pair{L"Kestova screen saver", true}, std::pair{L"Kestova Screen Saver ", true},
          std::pair{L"Kestova Screen Saver", false}}) {
        World w;
        w.entries.clear();
        w.AddEntry(description, connected ? AutomationRef(w.addIn) : nullptr);
        std::weak_ptr<FakeObject> app = w.app;
        w.app.reset();
        SessionDriver driver = w.Driver({{L"a", 1}});
        driver.FormCreate();
        EXPECT_TRUE(w.Only("Addin").empty());
        EXPECT_EQ(w.journal.end()[-3], "Window(1,'Kestova Screen Saver server is not available.')");
        EXPECT_TRUE(app.expired());
    }
}

TEST(SessionDriver, FirstOfTwoMatchingAddInsWins) {
    World w;
    auto other = std::make_shared<FakeObject>(w.journal, "Other");
    w.entries.clear();
    w.AddEntry(L"Another add-in", other);
    w.AddEntry(L"Kestova Screen Saver", w.addIn);
    w.AddEntry(L"Kestova Screen Saver", other);
    SessionDriver driver = w.Driver({{L"a", 1}});
    driver.FormCreate();
    EXPECT_EQ(w.Only("Entry1"), (Journal{"Entry1.Description?"}));
    EXPECT_TRUE(w.Only("Entry3").empty());
    EXPECT_TRUE(w.Only("Other").empty());
    EXPECT_EQ(w.Only("Addin.BeginScreenSaver").size(), 1u);
}

TEST(SessionDriver, NotInitialisedAddInGetsOnlyEndAndExit) {
    World w;
    w.monitors = 2;
    w.addIn->Returns(L"IsCOMAddInInitialized", false);
    SessionDriver driver = w.Driver({{L"a", 1}, {L"-b", 2}});
    driver.FormCreate();
    driver.FormDestroy();
    EXPECT_EQ(w.From(kStart.size()),
              (Journal{"Window(1,'Kestova Screen Saver server is not accessible.')",
                       "Window(2,'Kestova Screen Saver server is not accessible.')", "KeyboardHook",
                       "MouseHook", "App.Version?", "Disarm", "CloseProcess",
                       "Addin.EndScreenSaver", "Addin.ExitScreenSaverSession"}));
}

TEST(SessionDriver, TimerEndsRunOnShouldEndOrHostExitAndIgnoresFailures) {
    World w;
    SessionDriver driver = w.Driver({{L"a", 1}});
    driver.FormCreate();
    size_t mark = w.journal.size();
    w.addIn->Returns(L"ShouldEndScreenSaver", true);
    driver.TimerTimer();
    EXPECT_EQ(w.From(mark),
              (Journal{"WaitProcess", "Addin.ShouldEndScreenSaver", "Close(show ended)"}));

    // The host gone: the process wait ends the run although the poll fails.
    w.processEnded = true;
    w.addIn->Fail(L"ShouldEndScreenSaver");
    w.addIn->Fail(L"EndScreenSaver");
    mark = w.journal.size();
    driver.TimerTimer();
    EXPECT_EQ(w.From(mark),
              (Journal{"WaitProcess", "Close(host exited)", "Addin.ShouldEndScreenSaver"}));
    // End and Exit are each tried whatever the other did.
    mark = w.journal.size();
    driver.FormDestroy();
    EXPECT_EQ(w.From(mark), (Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                     "Addin.ExitScreenSaverSession"}));
}

TEST(SessionDriver, FailedProcessIdLeavesOnlyThePoll) {
    World w;
    w.addIn->Fail(L"GetProcessId");
    SessionDriver driver = w.Driver({{L"a", 1}});
    driver.FormCreate();
    EXPECT_TRUE(w.Only("OpenProcess").empty());
    size_t mark = w.journal.size();
    driver.TimerTimer();
    EXPECT_EQ(w.From(mark), (Journal{"Addin.ShouldEndScreenSaver"}));
}

TEST(SessionDriver, EveryUnguardedFailureIsReportedAndTheRunStaysEndable) {
    // `beforeWindows`: the failure comes before the run takes over the screen.
    for (auto [member, beforeWindows] : {std::pair{L"COMAddIns", true},
                                         {L"Count", true},
                                         {L"Item", true},
                                         {L"Description", true},
                                         {L"Object", true},
                                         {L"IsCOMAddInInitialized", false},
                                         {L"InitializeScreenSaverSession", false},
                                         {L"AddScreenSaver", false},
                                         {L"PrepareScreenSaver", false},
                                         {L"BeginScreenSaver", false}}) {
        World w;
        w.monitors = 2;
        for (FakeObject* object : {w.app.get(), w.list.get(), w.addIn.get(),
                                   static_cast<FakeObject*>(w.entries[0].get())})
            object->Fail(member); // only one of them is ever asked for it
        SessionDriver driver = w.Driver({{L"a", 1}});
        driver.FormCreate();
        const std::string name = Narrow(member);
        // The host's version is still asked for the journal, last, when the host is held.
        EXPECT_EQ(w.From(w.journal.size() - 4),
                  (Journal{"Report('Failed in " + name + ".')", "KeyboardHook", "MouseHook",
                           "App.Version?"}))
            << name;
        EXPECT_EQ(driver.MainWindowShown(), beforeWindows) << name;
        EXPECT_TRUE(w.Only("EnableTimer").empty()) << name;
        const size_t mark = w.journal.size();
        driver.FormDestroy();
        EXPECT_EQ(w.From(mark),
                  (beforeWindows ? Journal{"Disarm"}
                                 : Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                           "Addin.ExitScreenSaverSession"}))
            << name;
    }
}

TEST(SessionDriver, SettingsFailureIsReportedAndShowsTheMainWindow) {
    World w;
    w.load = [](TSession& s) {
        s.EnableKeyboard = true;
        throw SettingsError(L"Invalid data type for 'Count'");
    };
    SessionDriver driver = w.Driver({});
    driver.FormCreate();
    EXPECT_EQ(w.journal,
              (Journal{"Report('Invalid data type for 'Count'')", "HotKey", "MouseHook"}));
    EXPECT_TRUE(driver.MainWindowShown());
    // The journal tells it as the settings' failure, not as a second one of the start.
    EXPECT_EQ(driver.Facts().settingsError, L"Invalid data type for 'Count'");
    EXPECT_EQ(driver.Facts().failure, L"");
    EXPECT_TRUE(driver.Outcomes().empty());
}

// The user's input during the start makes every later call fail (E_ABORT): the start ends
// there, without a report, and the journal hears of a start ended by that input, not a failure.
TEST(SessionDriver, StartEndedByTheUserIsNoFailure) {
    World w;
    w.monitors = 2;
    w.addIn->On(L"PrepareScreenSaver", [&w](auto) -> AutomationValue {
        w.ending = true;
        throw AutomationError(static_cast<int32_t>(0x80004004), L"PrepareScreenSaver", false, {});
    });
    SessionDriver driver = w.Driver({{L"C:\\a.pptx", 1}});
    driver.FormCreate();
    EXPECT_TRUE(w.Only("Report").empty());
    EXPECT_TRUE(w.Only("Addin.BeginScreenSaver").empty());
    EXPECT_TRUE(driver.Facts().endedDuringStart);
    EXPECT_EQ(driver.Facts().failure, L"");
    const size_t mark = w.journal.size();
    driver.FormDestroy();
    EXPECT_EQ(w.From(mark), (Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                     "Addin.ExitScreenSaverSession"}));
}

// What the run journal learns from the driver: each monitor's show or black window with its
// text, the entries as read, and how the host was reached.
TEST(SessionDriver, OutcomesAndFactsSayWhatEachMonitorShowed) {
    World w;
    w.monitors = 3;
    w.stored.EnableMouse = true;
    SessionDriver driver = w.Driver({{L"p1", 1}, {L"-p2", 2}, {L"", 3}, {L"p4", 4}, {L"", 5}});
    driver.FormCreate();
    const auto& o = driver.Outcomes();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_TRUE(o[0].monitor == 1 && o[0].showRunning && o[0].presentation == L"p1");
    EXPECT_TRUE(o[1].monitor == 2 && !o[1].showRunning && o[1].presentation == L"-p2");
    EXPECT_EQ(o[1].reason, L"File \"-p2\" not found.");
    EXPECT_TRUE(o[2].monitor == 3 && !o[2].showRunning && o[2].reason.empty());
    const RunFacts& f = driver.Facts();
    ASSERT_EQ(f.entries.size(), 3u);
    EXPECT_TRUE(f.entries[0].exists && !f.entries[1].exists && f.entries[1].path == L"-p2");
    EXPECT_EQ(f.entries[1].storedMonitor, 2);
    EXPECT_EQ(f.entriesBeyondMonitors, 2u);
    EXPECT_TRUE(!f.enableKeyboard && f.enableMouse);
    EXPECT_EQ(f.host, HostContact::Attached);
    EXPECT_EQ(f.hostVersion, L"16.0");
    EXPECT_TRUE(f.addInFound && f.failure.empty());

    // Started, no version answered, add-in not initialised: every named monitor says so.
    World started;
    started.started = std::move(started.running);
    started.app->Fail(L"Version");
    started.addIn->Returns(L"IsCOMAddInInitialized", false);
    SessionDriver second = started.Driver({{L"a", 1}});
    second.FormCreate();
    EXPECT_EQ(second.Facts().host, HostContact::Started);
    EXPECT_EQ(second.Facts().hostVersion, L"");
    ASSERT_EQ(second.Outcomes().size(), 1u);
    EXPECT_EQ(second.Outcomes()[0].reason, L"Kestova Screen Saver server is not accessible.");

    World down; // neither attached nor started; a file that no one looks for leaves it alone
    down.running = nullptr;
    SessionDriver third = down.Driver({{L"a", 1}});
    third.FormCreate();
    EXPECT_EQ(third.Facts().host, HostContact::Unavailable);
    World none;
    SessionDriver fourth = none.Driver({{L"-a", 1}});
    fourth.FormCreate();
    EXPECT_EQ(fourth.Facts().host, HostContact::NotContacted);

    // A failed start: its report's text, and the monitors reached before it.
    World failing;
    failing.monitors = 2;
    failing.addIn->Fail(L"PrepareScreenSaver");
    SessionDriver fifth = failing.Driver({{L"a", 1}});
    fifth.FormCreate();
    EXPECT_EQ(fifth.Facts().failure, L"Failed in PrepareScreenSaver.");
    EXPECT_EQ(fifth.Outcomes().size(), 2u);
}

TEST(SessionDriver, BreakOutFollowsTheTwoFlags) {
    for (auto [keyboard, mouse, armed] :
         {std::tuple{false, false, Journal{"KeyboardHook", "MouseHook"}},
          {false, true, Journal{"KeyboardHook"}},
          {true, false, Journal{"HotKey", "MouseHook"}},
          {true, true, Journal{"HotKey"}}}) {
        World w;
        w.stored.EnableKeyboard = keyboard;
        w.stored.EnableMouse = mouse;
        SessionDriver driver = w.Driver({});
        driver.FormCreate();
        EXPECT_EQ(w.journal, Journal{"Window(1,'')"} + armed);
    }
}

} // namespace
