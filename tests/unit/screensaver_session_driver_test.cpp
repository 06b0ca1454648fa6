#include "screensaver/session_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

using namespace kestova;

namespace {

using Journal = std::vector<std::string>;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // test data is ASCII
}

// An automation object that journals every call as "<name>.<member>" with "?" for a property
// read and the arguments as "&v" (by reference) or "v" (by value).
class FakeObject : public AutomationObject {
public:
    using Handler = std::function<AutomationValue(std::span<const AutomationArgument>)>;

    FakeObject(Journal& journal, std::string name) : journal_(journal), name_(std::move(name)) {}

    void On(const std::wstring& member, Handler handler) { handlers_[member] = std::move(handler); }
    void Fail(const std::wstring& member, AutomationError error) {
        On(member, [error](auto) -> AutomationValue { throw error; });
    }

    AutomationValue Invoke(const std::wstring& member, InvokeKind kind,
                           std::span<const AutomationArgument> arguments, ResultKind) override {
        std::string entry =
            name_ + "." + Narrow(member) + (kind == InvokeKind::PropertyRead ? "?" : "");
        std::string list;
        for (const auto& argument : arguments) {
            list += list.empty() ? "" : ",";
            if (auto* value = std::get_if<int32_t>(&argument))
                list += std::to_string(*value);
            else if (auto* number = std::get_if<int32_t*>(&argument))
                list += "&" + std::to_string(**number);
            else
                list += "&'" + Narrow(*std::get<std::wstring*>(argument)) + "'";
        }
        if (!arguments.empty())
            entry += "(" + list + ")";
        journal_.push_back(entry);
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

// Only the entries that start with `prefix`.
Journal Pick(const Journal& journal, const std::string& prefix) {
    Journal picked;
    for (const auto& entry : journal)
        if (entry.rfind(prefix, 0) == 0)
            picked.push_back(entry);
    return picked;
}

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

class FakeDesktop : public Desktop {
public:
    explicit FakeDesktop(Journal& journal) : journal_(journal) {}

    std::set<std::wstring> files;
    int32_t monitors = 1;
    bool processEnded = false;
    bool processOpens = true;

    bool FileExists(const std::wstring& path) override { return files.count(path) > 0; }
    int32_t MonitorCount() override { return monitors; }
    void ShowMessageWindow(int32_t monitor, const std::wstring& text) override {
        journal_.push_back("Window(" + std::to_string(monitor) + ",'" + Narrow(text) + "')");
    }
    std::unique_ptr<WatchedProcess> OpenProcess(uint32_t processId) override {
        journal_.push_back("OpenProcess(" + std::to_string(processId) + ")");
        return processOpens ? std::make_unique<FakeProcess>(journal_, processEnded) : nullptr;
    }
    void EnableTimer() override { journal_.push_back("EnableTimer"); }
    void RequestClose() noexcept override { journal_.push_back("Close"); }
    void AddBreakOutHotKey() override { journal_.push_back("HotKey"); }
    void InstallKeyboardHook() override { journal_.push_back("KeyboardHook"); }
    void InstallMouseHook() override { journal_.push_back("MouseHook"); }
    void DisarmBreakOut() noexcept override { journal_.push_back("Disarm"); }
    void ShowErrorReport(const std::wstring& text) override {
        journal_.push_back("Report('" + Narrow(text) + "')");
    }
    std::wstring SystemMessage(int32_t) override { return {}; }

private:
    Journal& journal_;
};

class FakeHost : public PresentationHost {
public:
    explicit FakeHost(Journal& journal) : journal_(journal) {}
    AutomationRef running, started;
    // Hands its reference over, so that a test sees when the driver lets go of it.
    AutomationRef Attach() noexcept override {
        journal_.push_back("Attach");
        return std::move(running);
    }
    AutomationRef Start() noexcept override {
        journal_.push_back("Start");
        return std::move(started);
    }

private:
    Journal& journal_;
};

// A host Application with a list of add-ins, and the add-in's object with good answers.
class DriverTest : public ::testing::Test {
protected:
    DriverTest() {
        addIn->On(L"GetProcessId", [](auto arguments) -> AutomationValue {
            *std::get<int32_t*>(arguments[0]) = 4242;
            return {};
        });
        addIn->On(L"IsCOMAddInInitialized",
                  [this](auto) -> AutomationValue { return initialized; });
        for (const wchar_t* member :
             {L"InitializeScreenSaverSession", L"AddScreenSaver", L"PrepareScreenSaver",
              L"BeginScreenSaver", L"EndScreenSaver", L"ExitScreenSaverSession"})
            addIn->On(member, [](auto) -> AutomationValue { return {}; });
        addIn->On(L"ShouldEndScreenSaver", [this](auto) -> AutomationValue { return shouldEnd; });
        application->On(L"COMAddIns", [this](auto) -> AutomationValue { return addIns; });
        addIns->On(L"Count", [this](auto) -> AutomationValue {
            return static_cast<int32_t>(entries.size());
        });
        addIns->On(L"Item", [this](auto arguments) -> AutomationValue {
            return entries.at(static_cast<size_t>(std::get<int32_t>(arguments[0]) - 1));
        });
        AddEntry(L"Kestova Screen Saver", addIn);
        host.running = application;
    }

    std::shared_ptr<FakeObject> AddEntry(const std::wstring& description, AutomationRef object) {
        auto entry =
            std::make_shared<FakeObject>(journal, "Entry" + std::to_string(entries.size() + 1));
        entry->On(L"Description", [description](auto) -> AutomationValue { return description; });
        entry->On(L"Object", [object](auto) -> AutomationValue { return object; });
        entries.push_back(entry);
        return entry;
    }

    // Journal entries from `first` on.
    Journal From(size_t first) const { return Journal(journal.begin() + first, journal.end()); }
    Journal Only(const std::string& prefix) const { return Pick(journal, prefix); }

    Journal journal;
    FakeDesktop desktop{journal};
    FakeHost host{journal};
    TSession session;
    std::function<void(TSession&)> load = [this](TSession& target) { target = stored; };
    TSession stored;
    std::shared_ptr<FakeObject> application = std::make_shared<FakeObject>(journal, "App");
    std::shared_ptr<FakeObject> addIns = std::make_shared<FakeObject>(journal, "AddIns");
    std::shared_ptr<FakeObject> addIn = std::make_shared<FakeObject>(journal, "Addin");
    std::vector<AutomationRef> entries;
    bool initialized = true;
    bool shouldEnd = false;
    SessionDriver driver{desktop, host, [this](TSession& s) { load(s); }, session};
};

const Journal kFindAndConnect = {
    "Attach",         "App.COMAddIns?",         "AddIns.Count?",    "App.COMAddIns?",
    "AddIns.Item(1)", "Entry1.Description?",    "App.COMAddIns?",   "AddIns.Item(1)",
    "Entry1.Object?", "Addin.GetProcessId(&0)", "OpenProcess(4242)"};

Journal Concat(Journal a, const Journal& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(DriverTest, TwoMonitorsOneFileWholeRunInOrder) {
    desktop.monitors = 2;
    desktop.files = {L"C:\\a.pptx"};
    stored.Elements = {{L"C:\\a.pptx", 1}};
    driver.FormCreate();
    EXPECT_EQ(journal,
              Concat(kFindAndConnect,
                     {"Addin.IsCOMAddInInitialized", "Addin.InitializeScreenSaverSession(&1)",
                      "Addin.AddScreenSaver(&1,&'C:\\a.pptx',&1)", "Window(2,'')",
                      "Addin.PrepareScreenSaver", "Addin.BeginScreenSaver", "EnableTimer",
                      "KeyboardHook", "MouseHook"}));
    EXPECT_FALSE(driver.MainWindowShown());

    size_t mark = journal.size();
    driver.TimerTimer();
    EXPECT_EQ(From(mark), (Journal{"WaitProcess", "Addin.ShouldEndScreenSaver"}));

    mark = journal.size();
    driver.FormDestroy();
    driver.FormDestroy();
    // Disarmed before the add-in hears of the end; the host is never asked to quit.
    EXPECT_EQ(From(mark), (Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                   "Addin.ExitScreenSaverSession"}));
}

TEST_F(DriverTest, MissingMiddleFileKeepsIndicesDenseAndMonitorNumbersAsStored) {
    desktop.monitors = 3;
    desktop.files = {L"p1", L"p3"};
    stored.Elements = {{L"p1", 7}, {L"p2", 8}, {L"p3", 9}};
    driver.FormCreate();
    EXPECT_EQ(Only("Addin.InitializeScreenSaverSession"),
              (Journal{"Addin.InitializeScreenSaverSession(&2)"}));
    EXPECT_EQ(From(kFindAndConnect.size() + 2),
              (Journal{"Addin.AddScreenSaver(&1,&'p1',&7)", "Window(2,'File \"p2\" not found.')",
                       "Addin.AddScreenSaver(&2,&'p3',&9)", "Addin.PrepareScreenSaver",
                       "Addin.BeginScreenSaver", "EnableTimer", "KeyboardHook", "MouseHook"}));
}

TEST_F(DriverTest, EntriesBeyondTheMonitorsAreNeitherCountedNorHandedOver) {
    desktop.monitors = 1;
    desktop.files = {L"p1", L"p2", L"p3"};
    stored.Elements = {{L"p1", 1}, {L"p2", 2}, {L"p3", 3}};
    driver.FormCreate();
    EXPECT_EQ(Only("Addin.InitializeScreenSaverSession"),
              (Journal{"Addin.InitializeScreenSaverSession(&1)"}));
    EXPECT_EQ(Only("Addin.AddScreenSaver"), (Journal{"Addin.AddScreenSaver(&1,&'p1',&1)"}));
    EXPECT_TRUE(Only("Window").empty());
}

TEST_F(DriverTest, NoFileMeansNoHostAndOnlyNamedMonitorsGetText) {
    desktop.monitors = 3;
    stored.Elements = {{L"gone.pptx", 1}, {L"", 2}};
    stored.EnableKeyboard = true;
    stored.EnableMouse = true;
    driver.FormCreate();
    EXPECT_EQ(journal, (Journal{"Window(1,'Unable to start Microsoft Office PowerPoint.')",
                                "Window(2,'')", "Window(3,'')", "HotKey"}));
    driver.TimerTimer(); // never enabled in this state, and nothing to watch anyway
    driver.FormDestroy();
    EXPECT_EQ(journal.back(), "Disarm");
}

TEST_F(DriverTest, HostNeitherAttachedNorStartedShowsUnableOnExistingFilesToo) {
    host.running = nullptr;
    desktop.monitors = 2;
    desktop.files = {L"a"};
    stored.Elements = {{L"", 1}, {L"a", 2}};
    driver.FormCreate();
    EXPECT_EQ(journal, (Journal{"Attach", "Start", "Window(1,'')",
                                "Window(2,'Unable to start Microsoft Office PowerPoint.')",
                                "KeyboardHook", "MouseHook"}));
}

TEST_F(DriverTest, StartedHostIsUsedWhenNoneRuns) {
    host.started = std::move(host.running);
    desktop.files = {L"a"};
    stored.Elements = {{L"a", 1}};
    driver.FormCreate();
    EXPECT_EQ(journal[0], "Attach");
    EXPECT_EQ(journal[1], "Start");
    EXPECT_EQ(Only("Addin.BeginScreenSaver").size(), 1u);
}

TEST_F(DriverTest, AddInFoundOnlyByExactDescriptionWithAnObject) {
    struct Case {
        std::wstring description;
        bool connected;
    };
    for (const Case& c : {Case{L"Kestova screen saver", true}, Case{L"Kestova Screen Saver ", true},
                          Case{L"Kestova Screen Saver", false}}) {
        Journal local;
        FakeDesktop localDesktop(local);
        FakeHost localHost(local);
        auto app = std::make_shared<FakeObject>(local, "App");
        auto list = std::make_shared<FakeObject>(local, "AddIns");
        auto entry = std::make_shared<FakeObject>(local, "Entry1");
        app->On(L"COMAddIns", [list](auto) -> AutomationValue { return list; });
        list->On(L"Count", [](auto) -> AutomationValue { return 1; });
        list->On(L"Item", [entry](auto) -> AutomationValue { return entry; });
        entry->On(L"Description", [c](auto) -> AutomationValue { return c.description; });
        AutomationRef object = c.connected ? addIn : nullptr;
        entry->On(L"Object", [object](auto) -> AutomationValue { return object; });
        std::weak_ptr<FakeObject> watch = app;
        localHost.running = std::move(app);
        localDesktop.files = {L"a"};
        TSession localSession;
        SessionDriver localDriver(
            localDesktop, localHost,
            [](TSession& s) {
                s.Elements = {{L"a", 1}};
            },
            localSession);
        localDriver.FormCreate();
        EXPECT_EQ(Pick(local, "Addin").size(), 0u);
        EXPECT_EQ(local[local.size() - 3],
                  "Window(1,'Kestova Screen Saver server is not available.')");
        EXPECT_TRUE(watch.expired()) << "the host is released at once";
    }
}

TEST_F(DriverTest, FirstOfTwoMatchingAddInsWins) {
    auto other = std::make_shared<FakeObject>(journal, "Other");
    entries.clear();
    AddEntry(L"Another add-in", other);
    AddEntry(L"Kestova Screen Saver", addIn);
    AddEntry(L"Kestova Screen Saver", other);
    desktop.files = {L"a"};
    stored.Elements = {{L"a", 1}};
    driver.FormCreate();
    EXPECT_EQ(Only("Entry1"), (Journal{"Entry1.Description?"}));
    EXPECT_EQ(Only("Entry3"), Journal{});
    EXPECT_EQ(Only("Other"), Journal{});
    EXPECT_EQ(Only("Addin.BeginScreenSaver").size(), 1u);
}

TEST_F(DriverTest, NotInitialisedAddInGetsOnlyEndAndExit) {
    initialized = false;
    desktop.monitors = 2;
    desktop.files = {L"a"};
    stored.Elements = {{L"a", 1}, {L"b", 2}};
    driver.FormCreate();
    EXPECT_EQ(From(kFindAndConnect.size()),
              (Journal{"Addin.IsCOMAddInInitialized",
                       "Window(1,'Kestova Screen Saver server is not accessible.')",
                       "Window(2,'Kestova Screen Saver server is not accessible.')", "KeyboardHook",
                       "MouseHook"}));
    driver.FormDestroy();
    EXPECT_EQ(Only("Addin.E"), (Journal{"Addin.EndScreenSaver", "Addin.ExitScreenSaverSession"}));
}

TEST_F(DriverTest, TimerEndsRunOnShouldEndOrHostExitAndIgnoresFailures) {
    desktop.files = {L"a"};
    stored.Elements = {{L"a", 1}};
    driver.FormCreate();
    size_t mark = journal.size();
    shouldEnd = true;
    driver.TimerTimer();
    EXPECT_EQ(From(mark), (Journal{"WaitProcess", "Addin.ShouldEndScreenSaver", "Close"}));

    // The host gone: the process wait ends the run although the poll fails.
    shouldEnd = false;
    desktop.processEnded = true;
    addIn->Fail(L"ShouldEndScreenSaver", AutomationError(static_cast<int32_t>(0x800706BA),
                                                         L"ShouldEndScreenSaver", false, {}));
    mark = journal.size();
    driver.TimerTimer();
    EXPECT_EQ(From(mark), (Journal{"WaitProcess", "Close", "Addin.ShouldEndScreenSaver"}));

    // End and Exit are each tried whatever the other did.
    addIn->Fail(L"EndScreenSaver",
                AutomationError(static_cast<int32_t>(0x800706BA), L"EndScreenSaver", false, {}));
    mark = journal.size();
    driver.FormDestroy();
    EXPECT_EQ(From(mark), (Journal{"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                                   "Addin.ExitScreenSaverSession"}));
}

TEST_F(DriverTest, UnopenableProcessLeavesOnlyThePoll) {
    addIn->Fail(L"GetProcessId", AutomationError(1, L"GetProcessId", false, {}));
    desktop.files = {L"a"};
    stored.Elements = {{L"a", 1}};
    driver.FormCreate();
    EXPECT_TRUE(Only("OpenProcess").empty());
    size_t mark = journal.size();
    driver.TimerTimer();
    EXPECT_EQ(From(mark), (Journal{"Addin.ShouldEndScreenSaver"}));
}

TEST_F(DriverTest, EveryUnguardedFailureIsReportedAndTheRunStaysEndable) {
    // Each member fails in turn; `beforeWindows`: before the run takes over the screen.
    const std::pair<std::wstring, bool> cases[] = {{L"COMAddIns", true},
                                                   {L"Count", true},
                                                   {L"Item", true},
                                                   {L"Description", true},
                                                   {L"Object", true},
                                                   {L"IsCOMAddInInitialized", false},
                                                   {L"InitializeScreenSaverSession", false},
                                                   {L"AddScreenSaver", false},
                                                   {L"PrepareScreenSaver", false},
                                                   {L"BeginScreenSaver", false}};
    for (const auto& [member, beforeWindows] : cases) {
        Journal local;
        FakeDesktop localDesktop(local);
        FakeHost localHost(local);
        auto app = std::make_shared<FakeObject>(local, "App");
        auto list = std::make_shared<FakeObject>(local, "AddIns");
        auto entry = std::make_shared<FakeObject>(local, "Entry1");
        auto object = std::make_shared<FakeObject>(local, "Addin");
        app->On(L"COMAddIns", [list](auto) -> AutomationValue { return list; });
        list->On(L"Count", [](auto) -> AutomationValue { return 1; });
        list->On(L"Item", [entry](auto) -> AutomationValue { return entry; });
        entry->On(L"Description",
                  [](auto) -> AutomationValue { return std::wstring(L"Kestova Screen Saver"); });
        entry->On(L"Object", [object](auto) -> AutomationValue { return object; });
        for (const wchar_t* name : {L"GetProcessId", L"InitializeScreenSaverSession",
                                    L"AddScreenSaver", L"PrepareScreenSaver", L"BeginScreenSaver",
                                    L"EndScreenSaver", L"ExitScreenSaverSession"})
            object->On(name, [](auto) -> AutomationValue { return {}; });
        object->On(L"IsCOMAddInInitialized", [](auto) -> AutomationValue { return true; });
        for (auto* fake : {app.get(), list.get(), entry.get(), object.get()})
            fake->Fail(member, AutomationError(5, member, false, L"Failed in " + member));
        localHost.running = app;
        localDesktop.monitors = 2;
        localDesktop.files = {L"a"};
        TSession localSession;
        SessionDriver localDriver(
            localDesktop, localHost,
            [](TSession& s) {
                s.Elements = {{L"a", 1}};
            },
            localSession);
        localDriver.FormCreate();
        const std::string report = "Report('Failed in " + Narrow(member) + ".')";
        ASSERT_GE(local.size(), 3u) << Narrow(member);
        EXPECT_EQ(Journal(local.end() - 3, local.end()),
                  (Journal{report, "KeyboardHook", "MouseHook"}))
            << Narrow(member);
        EXPECT_EQ(localDriver.MainWindowShown(), beforeWindows) << Narrow(member);
        EXPECT_EQ(std::count(local.begin(), local.end(), std::string("EnableTimer")), 0);
        local.clear();
        localDriver.FormDestroy();
        const Journal held = {"Disarm", "CloseProcess", "Addin.EndScreenSaver",
                              "Addin.ExitScreenSaverSession"};
        EXPECT_EQ(local, beforeWindows ? Journal{"Disarm"} : held) << Narrow(member);
    }
}

TEST_F(DriverTest, SettingsFailureIsReportedAndShowsTheMainWindow) {
    load = [](TSession& s) {
        s.EnableKeyboard = true;
        throw SettingsError(L"Invalid data type for 'Count'");
    };
    driver.FormCreate();
    EXPECT_EQ(journal,
              (Journal{"Report('Invalid data type for 'Count'')", "HotKey", "MouseHook"}));
    EXPECT_TRUE(driver.MainWindowShown());
}

TEST_F(DriverTest, BreakOutFollowsTheTwoFlags) {
    struct Case {
        bool keyboard, mouse;
        Journal armed;
    };
    for (const Case& c :
         {Case{false, false, {"KeyboardHook", "MouseHook"}}, Case{false, true, {"KeyboardHook"}},
          Case{true, false, {"HotKey", "MouseHook"}}, Case{true, true, {"HotKey"}}}) {
        Journal local;
        FakeDesktop localDesktop(local);
        FakeHost localHost(local);
        TSession localSession;
        SessionDriver localDriver(
            localDesktop, localHost,
            [c](TSession& s) {
                s.EnableKeyboard = c.keyboard;
                s.EnableMouse = c.mouse;
            },
            localSession);
        localDriver.FormCreate();
        EXPECT_EQ(local, Concat({"Window(1,'')"}, c.armed));
    }
}

} // namespace
