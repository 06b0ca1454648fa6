#include "screensaver/session_driver.h"

#include "common/error_text.h"
#include "common/product.h"
#include "screensaver/error_report_text.h"

#include <algorithm>
#include <new>

namespace kestova {

namespace {

// A call on an empty reference (a member that answered with nothing) fails like a null pointer.
constexpr int32_t kNullObject = static_cast<int32_t>(0x80004003);

AutomationObject& Require(const AutomationRef& object, const wchar_t* member) {
    if (!object)
        throw AutomationError(kNullObject, member, false, {});
    return *object;
}

std::wstring HexCode(int32_t code) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text.push_back(kDigits[(static_cast<uint32_t>(code) >> shift) & 0xF]);
    return text;
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return wide;
}

} // namespace

std::wstring FileNotFoundText(const std::wstring& name) {
    return L"File \"" + name + L"\" not found.";
}

std::wstring NoSuchMonitorText(int32_t monitorNum) {
    return L"Monitor " + std::to_wstring(monitorNum) + L" does not exist.";
}

SessionDriver::SessionDriver(Desktop& desktop, PresentationHost& host, SettingsLoader loadSession,
                             TSession& session)
    : desktop_(desktop), host_(host), loadSession_(std::move(loadSession)), session_(session) {}

void SessionDriver::FormCreate() noexcept {
    bool failed = false;
    std::wstring report;
    try {
        loadSession_(session_);
        facts_.enableKeyboard = session_.EnableKeyboard;
        facts_.enableMouse = session_.EnableMouse;
        facts_.ignoredPolicies = session_.IgnoredPolicies;
        PowerPointApp.reset();
        AddInObject.reset();
        PowerPointAvailable = false;
        AddInAvailable = false;
        outcomes_.clear();
        handedOver_.clear();
        const int32_t count = CountPresentations();
        if (count > 0)
            ConnectPowerPoint();
        showMainWindow_ = false;
        StartShows(count);
    } catch (const AutomationError& error) {
        failed = true;
        try {
            report = AutomationFailureText(
                error, [this](int32_t code) { return desktop_.SystemMessage(code); });
        } catch (...) {
            report = L"Out of memory.";
        }
    } catch (const SettingsError& error) {
        failed = true;
        report = WithFullStop(error.message());
        facts_.settingsError = report;
    } catch (const std::bad_alloc&) {
        failed = true;
        report = L"Out of memory.";
    } catch (const std::exception& error) {
        failed = true;
        report = WithFullStop(Widen(error.what()));
    } catch (...) {
        failed = true;
    }
    try {
        // A start cut short by the input that ended the run did not fail: nothing to report.
        if (failed && facts_.settingsError.empty() && desktop_.RunEnding()) {
            failed = false;
            facts_.endedDuringStart = true;
        }
        if (failed && facts_.settingsError.empty())
            facts_.failure = report.empty() ? L"An unknown error ended the start." : report;
        // Reported before arming: the hooks would otherwise take the very input that closes the
        // message box for a request to end the run.
        if (failed)
            desktop_.ShowErrorReport(report);
        // Armed after a failure too: whatever windows the failed start left on top of the
        // monitors, the user's input still ends the run.
        ArmBreakOut();
        // Only once the run is up: the extra call on the host delays nothing the user sees.
        ReadHostVersion();
    } catch (...) {
    }
}

void SessionDriver::ReadHostVersion() noexcept {
    if (!PowerPointApp || versionRead_)
        return;
    versionRead_ = true;
    try {
        // For the run journal only: a host that won't tell leaves the version unknown.
        facts_.hostVersion = ReadString(*PowerPointApp, L"Version");
    } catch (...) {
    }
}

int32_t SessionDriver::CountPresentations() {
    const auto& elements = session_.Elements;
    const int32_t monitors = desktop_.MonitorCount();
    int32_t count = 0;
    for (int32_t i = 1; i <= monitors; ++i) {
        if (static_cast<size_t>(i) > elements.size())
            break;
        const bool exists = desktop_.FileExists(elements[i - 1].PresName);
        if (exists)
            ++count;
        facts_.entries.push_back({i, elements[i - 1].PresName, exists, elements[i - 1].MonitorNum});
    }
    if (monitors >= 0 && elements.size() > static_cast<size_t>(monitors))
        facts_.entriesBeyondMonitors = elements.size() - static_cast<size_t>(monitors);
    return count;
}

void SessionDriver::ConnectPowerPoint() {
    facts_.host = HostContact::Unavailable;
    PowerPointApp = host_.Attach();
    if (PowerPointApp) {
        PowerPointAvailable = true;
        facts_.host = HostContact::Attached;
    }
    if (!PowerPointApp) {
        PowerPointApp = host_.Start();
        if (PowerPointApp) {
            PowerPointAvailable = true;
            facts_.host = HostContact::Started;
        }
    }
    if (PowerPointApp) {
        AddInObject = FindAddIn(PowerPointApp, kProductCaption);
        AddInAvailable = AddInObject != nullptr;
        facts_.addInFound = AddInAvailable;
        if (!AddInAvailable) {
            ReadHostVersion(); // the last chance: the host is let go now
            PowerPointApp.reset();
        }
    }
    if (AddInAvailable) {
        int32_t ProcessId = 0;
        try {
            const AutomationArgument arguments[] = {&ProcessId};
            CallMethod(*AddInObject, L"GetProcessId", arguments);
            PowerPointProcess = desktop_.OpenProcess(static_cast<uint32_t>(ProcessId));
        } catch (...) {
            // The host's exit then goes unwatched; ShouldEndScreenSaver still ends the run.
        }
    }
}

AutomationRef SessionDriver::FindAddIn(const AutomationRef& application,
                                       const std::wstring& description) {
    AutomationRef result;
    // The collection is fetched afresh for every read: nothing of the host's is kept between
    // calls but the Application itself.
    auto item = [&](int32_t position) {
        AutomationRef addIns = ReadObject(Require(application, L"COMAddIns"), L"COMAddIns");
        const AutomationArgument arguments[] = {position};
        return CallObject(Require(addIns, L"Item"), L"Item", arguments);
    };
    const int32_t n = ReadInteger(
        Require(ReadObject(Require(application, L"COMAddIns"), L"COMAddIns"), L"Count"), L"Count");
    for (int32_t i = 1; i <= n; ++i) {
        // Exact comparison: the add-in's FriendlyName must be the product caption as it stands.
        if (ReadString(Require(item(i), L"Description"), L"Description") == description) {
            result = ReadObject(Require(item(i), L"Object"), L"Object");
            break;
        }
    }
    return result;
}

std::wstring SessionDriver::MessageFor(const std::wstring& name, bool sessionReady) const {
    if (!PowerPointAvailable)
        return kUnableToStartText;
    if (!AddInAvailable)
        return kServerNotAvailableText;
    if (!sessionReady)
        return kServerNotAccessibleText;
    return FileNotFoundText(name);
}

void SessionDriver::StartShows(int32_t Count) {
    desktop_.WaitBreakOutArmed();
    bool SessionReady = false;
    if (AddInAvailable) {
        SessionReady = CallBoolean(*AddInObject, L"IsCOMAddInInitialized");
        if (SessionReady) {
            const AutomationArgument arguments[] = {&Count};
            CallMethod(*AddInObject, L"InitializeScreenSaverSession", arguments);
            WatchedByAddIn();
        }
    }
    int32_t Index = 1;
    const auto& elements = session_.Elements;
    const int32_t monitors = desktop_.MonitorCount();
    for (int32_t i = 1; i <= monitors; ++i) {
        std::wstring name;
        if (static_cast<size_t>(i) <= elements.size()) {
            name = elements[i - 1].PresName;
            if (desktop_.FileExists(name) && SessionReady) {
                int32_t monitorNum = elements[i - 1].MonitorNum;
                const AutomationArgument arguments[] = {&Index, &name, &monitorNum};
                CallMethod(*AddInObject, L"AddScreenSaver", arguments);
                ++Index;
                // The add-in's slide show covers this monitor, unless it reports otherwise.
                outcomes_.push_back({i, true, name, {}, {}});
                handedOver_.push_back(elements[i - 1].MonitorNum);
                continue;
            }
        }
        std::wstring text = name.empty() ? std::wstring() : MessageFor(name, SessionReady);
        outcomes_.push_back({i, false, name, text, {}});
        desktop_.ShowMessageWindow(i, text);
    }
    if (SessionReady) {
        CallMethod(*AddInObject, L"PrepareScreenSaver");
        CallMethod(*AddInObject, L"BeginScreenSaver");
        CoverMonitorsWithoutShow();
        desktop_.EnableTimer();
    }
}

void SessionDriver::WatchedByAddIn() noexcept {
    // From here on the add-in ends the session itself should this process leave without
    // ending it (a host that hangs or turns calls away). An older add-in lacks the member; any
    // other failure leaves the run as it was.
    try {
        int32_t processId = static_cast<int32_t>(desktop_.OwnProcessId());
        const AutomationArgument arguments[] = {&processId};
        CallMethod(*AddInObject, L"WatchScreenSaverCaller", arguments);
    } catch (...) {
    }
}

void SessionDriver::CoverMonitorsWithoutShow() {
    std::size_t handed = 0;
    for (MonitorOutcome& outcome : outcomes_) {
        if (!outcome.showRunning)
            continue;
        const int32_t monitorNum = handedOver_.at(handed++);
        int32_t monitor = outcome.monitor;
        std::wstring reason, detail;
        try {
            const AutomationArgument arguments[] = {&monitor, &reason, &detail};
            if (std::get<bool>(AddInObject->Invoke(L"GetMonitorReport", InvokeKind::Method,
                                                   arguments, ResultKind::Boolean))) {
                // How the show came to lie there, if that took more, and whether its file was
                // opened afresh, or why not.
                outcome.detail = detail;
                continue;
            }
        } catch (const AutomationError& error) {
            // An add-in without the member (an older one): the run goes on as it always did,
            // trusting the shows to cover their monitors.
            if (error.unknownMember)
                return;
            // Any other failure costs only this monitor: the next ones are still asked.
            reason = kNoShowText;
            try {
                detail = L"GetMonitorReport failed: " + HexCode(error.code);
            } catch (...) {
            }
        } catch (...) {
            reason = kNoShowText;
        }
        // A failure from here on leaves this monitor as it is: the shows already run, and the
        // timer after this must still be armed.
        try {
            // The add-in speaks of monitors by number; a stored number the system lacks is
            // told as such rather than as a monitor without a presentation.
            if (monitorNum < 1 || monitorNum > desktop_.MonitorCount())
                reason = NoSuchMonitorText(monitorNum);
            outcome.showRunning = false;
            outcome.reason = reason;
            outcome.detail = detail;
            desktop_.ShowMessageWindow(outcome.monitor, reason);
        } catch (...) {
        }
    }
}

void SessionDriver::DisplayChanged() noexcept {
    if (destroyed_)
        return;
    try {
        if (!layoutKnown_) {
            // What the start left on each monitor of the layout it numbered.
            const std::vector<MonitorRect> start = desktop_.MonitorLayout();
            for (std::size_t i = 0; i < start.size(); ++i) {
                Cover cover = Cover::Nothing;
                if (i < outcomes_.size())
                    cover = outcomes_[i].showRunning ? Cover::Show : Cover::Black;
                layout_.push_back({start[i], cover});
            }
            layoutKnown_ = true;
        }
        DisplayChangeFact change;
        change.monitors = desktop_.MonitorsNow();
        auto listed = [](const std::vector<MonitorRect>& monitors, const MonitorRect& rect) {
            return std::find(monitors.begin(), monitors.end(), rect) != monitors.end();
        };
        // Gone first: the system moves a vanished monitor's windows onto the others, where a
        // black one would lie over another monitor's show. A show is the host's to deal with.
        for (auto it = layout_.begin(); it != layout_.end();) {
            if (listed(change.monitors, it->rect)) {
                ++it;
                continue;
            }
            if (it->cover == Cover::Black)
                desktop_.UncoverMonitor(it->rect);
            change.gone.push_back({it->rect, it->cover});
            it = layout_.erase(it);
        }
        for (const MonitorRect& rect : change.monitors) {
            if (std::any_of(layout_.begin(), layout_.end(),
                            [&](const CoveredMonitor& known) { return known.rect == rect; }))
                continue;
            // No new show mid-run: a plain black window, unless a show of the host already
            // lies there (its monitor came back, or changed its mode under it).
            Cover cover = Cover::Show;
            if (!desktop_.ShowLiesOn(rect)) {
                desktop_.CoverMonitor(rect);
                cover = Cover::Black;
            }
            layout_.push_back({rect, cover});
            change.added.push_back({rect, cover});
        }
        if (!change.gone.empty() || !change.added.empty())
            facts_.displayChanges.push_back(std::move(change));
    } catch (...) {
        // Whatever was not done stays as it was; the next change looks again.
    }
}

void SessionDriver::ArmBreakOut() {
    if (session_.EnableKeyboard)
        desktop_.AddBreakOutHotKey();
    else
        desktop_.InstallKeyboardHook();
    if (!session_.EnableMouse)
        desktop_.InstallMouseHook();
}

void SessionDriver::TimerTimer() noexcept {
    // A tick that arrives while a call of the last one is still out (the automation layer pumps
    // messages while it waits) or after the end has begun has nothing to add.
    if (ticking_ || destroyed_)
        return;
    ticking_ = true;
    if (PowerPointProcess && PowerPointProcess->HasEnded())
        desktop_.RequestClose(RunEnd::HostExited);
    if (AddInObject) {
        try {
            if (CallBoolean(*AddInObject, L"ShouldEndScreenSaver"))
                desktop_.RequestClose(RunEnd::ShowEnded);
        } catch (...) {
            // Asked again at the next tick.
        }
    }
    ticking_ = false;
}

void SessionDriver::FormDestroy() noexcept {
    if (destroyed_)
        return;
    destroyed_ = true;
    desktop_.DisarmBreakOut();
    PowerPointProcess.reset();
    if (AddInObject) {
        try {
            CallMethod(*AddInObject, L"EndScreenSaver");
        } catch (...) {
        }
        try {
            CallMethod(*AddInObject, L"ExitScreenSaverSession");
        } catch (...) {
        }
    }
    // The host is never asked to quit, also when this run started it.
    AddInObject.reset();
    PowerPointApp.reset();
}

} // namespace kestova
