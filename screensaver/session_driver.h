#pragma once

// The run mode's session driver: what TMainForm does from its creation to its destruction,
// over the desktop and the late-bound objects of the presentation host and the add-in.
#include "screensaver/automation.h"
#include "screensaver/desktop.h"
#include "screensaver/monitor_outcome.h"
#include "screensaver/presentation_host.h"
#include "screensaver/run_journal.h"
#include "settings/session.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestova {

// The message windows' texts, for a monitor whose entry names a presentation that won't run.
inline constexpr wchar_t kUnableToStartText[] = L"Unable to start Microsoft Office PowerPoint.";
inline constexpr wchar_t kServerNotAvailableText[] =
    L"Kestova Screen Saver server is not available.";
inline constexpr wchar_t kServerNotAccessibleText[] =
    L"Kestova Screen Saver server is not accessible.";
// While the host keeps the start waiting (a prompt of its own is up, say), on every monitor
// that has neither a show nor a message window yet.
inline constexpr wchar_t kHostBusyText[] = L"PowerPoint is busy or waiting for an answer.";
[[nodiscard]] std::wstring FileNotFoundText(const std::wstring& name);
// For a monitor handed to the add-in whose report could not be had.
inline constexpr wchar_t kNoShowText[] = L"No slide show was started for this monitor.";
// For a monitor whose stored entry names a monitor number the system does not have.
[[nodiscard]] std::wstring NoSuchMonitorText(int32_t monitorNum);

class SessionDriver {
public:
    using SettingsLoader = std::function<void(TSession&)>;

    SessionDriver(Desktop& desktop, PresentationHost& host, SettingsLoader loadSession,
                  TSession& session = Session);
    SessionDriver(const SessionDriver&) = delete;
    SessionDriver& operator=(const SessionDriver&) = delete;

    // The whole start of a run. Never throws: a failure goes to the error report, and the
    // break-out is armed in every case so that the user can always end the run.
    void FormCreate() noexcept;
    // One tick of the one-second watch.
    void TimerTimer() noexcept;
    // The end of the run; runs once, later calls do nothing.
    void FormDestroy() noexcept;
    // The system's monitors changed during the run: a monitor that is new gets a plain black
    // window, one that is gone loses its black window; shows are left to the host.
    void DisplayChanged() noexcept;

    // True when creation failed before the run took over the screen: the main window is then
    // shown, empty, so that the failed start is seen and can be closed.
    [[nodiscard]] bool MainWindowShown() const noexcept { return showMainWindow_; }

    // One element per monitor, in monitor order, filled while the run starts: what each monitor
    // shows.
    [[nodiscard]] const std::vector<MonitorOutcome>& Outcomes() const noexcept { return outcomes_; }
    // What the start saw of the settings and the host, for the run journal.
    [[nodiscard]] const RunFacts& Facts() const noexcept { return facts_; }

private:
    int32_t CountPresentations();
    void ConnectPowerPoint();
    AutomationRef FindAddIn(const AutomationRef& application, const std::wstring& description);
    void StartShows(int32_t count);
    void WatchedByAddIn() noexcept;
    void CoverMonitorsWithoutShow();
    void ArmBreakOut();
    void ReadHostVersion() noexcept;
    std::wstring MessageFor(const std::wstring& name, bool sessionReady) const;

    Desktop& desktop_;
    PresentationHost& host_;
    SettingsLoader loadSession_;
    TSession& session_;

    AutomationRef PowerPointApp;
    AutomationRef AddInObject;
    bool PowerPointAvailable = false;
    bool AddInAvailable = false;
    std::unique_ptr<WatchedProcess> PowerPointProcess;

    struct CoveredMonitor {
        MonitorRect rect;
        Cover cover = Cover::Nothing;
    };
    std::vector<CoveredMonitor> layout_; // what lies on each monitor since the last change
    bool layoutKnown_ = false;           // taken from the start at the first change

    std::vector<MonitorOutcome> outcomes_;
    std::vector<int32_t> handedOver_; // stored MonitorNum of each entry given to the add-in
    RunFacts facts_;
    bool versionRead_ = false;
    bool showMainWindow_ = true;
    bool ticking_ = false;
    bool destroyed_ = false;
};

} // namespace kestova
