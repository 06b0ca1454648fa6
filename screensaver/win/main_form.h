#pragma once

// TMainForm: the run mode's hidden main window. It hosts the session driver, its timer, the
// break-out and the message windows, and is the Desktop the driver works on.
//
// The driver runs on a session thread of its own (multithreaded apartment), so that every call
// into the host, however long it waits, leaves this window's thread free: the hooks and the hot
// key keep working, and the end of a run takes every window of the run off the screen at once.
// Windows, hooks and the hot key belong to the window's thread; the driver reaches them through
// sent messages. The session thread begins before the window is made: reading the settings and
// reaching the host need no window and go on meanwhile; the break-out is armed as soon as both
// the settings and the window are there, and before anything of the run appears.
#include "common/win/unique_handle.h"
#include "screensaver/desktop.h"
#include "screensaver/presentation_host.h"
#include "screensaver/session_driver.h"
#include "screensaver/win/break_out.h"
#include "screensaver/win/run_journal_writer.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kestova::win {

inline constexpr wchar_t kMainFormClass[] = L"TMainForm";
inline constexpr UINT kTimerInterval = 1000;
// PROCESS_TERMINATE | SYNCHRONIZE, as the host's process is opened for waiting.
inline constexpr DWORD kHostProcessAccess = 0x00100001;
// After the input that ends a run, the process leaves at the latest after kLeaveAfter, whatever
// the host does: the add-in, watching this process, ends the session once the host answers.
inline constexpr DWORD kLeaveAfter = 4000;
// What the leaving process gives the journal's block on top of that: the writer's first use
// (the monitors, the folder) may still be under way when the run ends soon after its start.
// Both together stay within 5 s of the input.
inline constexpr DWORD kJournalAbandonWaitMs = 800;
// The exit code of a run that left without the host's answer (a normal run ends with 0).
inline constexpr UINT kAbandonedRunExitCode = 3;
// A start call that waits this long: monitors without a show get the host-busy window.
inline constexpr ULONGLONG kStartWaitNotice = 3000;
// How often the window thread looks at a call that is out (and for the host's own windows).
inline constexpr UINT kHostWatchInterval = 250;

class TMainForm final : public Desktop {
public:
    TMainForm(HINSTANCE instance, PresentationHost& host, SessionDriver::SettingsLoader loadSession,
              TSession& session = Session);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;
    ~TMainForm() override;

    // Starts the session thread, which runs FormCreate and shows the window afterwards when the
    // start failed before the run took over the screen, then creates the window (hidden).
    // False when no window could be made (the start then goes no further; Destroy ends it).
    [[nodiscard]] bool Create();
    // Pumps this thread's messages until FormCreate has returned; false after `milliseconds`.
    [[nodiscard]] bool WaitStarted(DWORD milliseconds);
    // Ends the run if that has not begun, waits for the session thread's FormDestroy, then
    // destroys the window with everything it owns.
    void Destroy() noexcept;

    [[nodiscard]] HWND handle() const noexcept { return window_; }
    [[nodiscard]] const BreakOut* breakOut() const noexcept { return breakOut_.get(); }

    // Desktop (called on the session thread)
    bool FileExists(const std::wstring& path) override;
    int32_t MonitorCount() override;
    void ShowMessageWindow(int32_t monitor, const std::wstring& text) override;
    std::vector<MonitorRect> MonitorLayout() override;
    std::vector<MonitorRect> MonitorsNow() override;
    void CoverMonitor(const MonitorRect& rect) override;
    void UncoverMonitor(const MonitorRect& rect) override;
    bool ShowLiesOn(const MonitorRect& rect) override;
    std::unique_ptr<WatchedProcess> OpenProcess(uint32_t processId) override;
    void EnableTimer() override;
    void RequestClose(RunEnd cause) noexcept override;
    bool RunEnding() const noexcept override { return ending_; }
    uint32_t OwnProcessId() const noexcept override { return ::GetCurrentProcessId(); }
    void AddBreakOutHotKey() override;
    void InstallKeyboardHook() override;
    void InstallMouseHook() override;
    void DisarmBreakOut() noexcept override;
    void WaitBreakOutArmed() override;
    void ShowErrorReport(const std::wstring& text) override;
    std::wstring SystemMessage(int32_t code) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI SessionMain(void* form);
    static DWORD WINAPI Watchdog(void* form);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void WMHotKey() noexcept;
    void SessionLoop() noexcept;
    // Runs `work` on the window's thread and waits for it; skipped once the run is ending.
    void OnWindowThread(const std::function<void()>& work);
    // Window thread: the run's end as the user sees it, at once, whatever the host does.
    void BeginEnd() noexcept;
    // Window thread, every kHostWatchInterval: what a host that keeps a call waiting means for
    // the screen.
    void WatchHost() noexcept;
    void CoverWaitingMonitors() noexcept;
    [[nodiscard]] HostBusyNotes BusyNotes();
    void ArmEarly(bool keyboard, bool mouse);
    // Window thread: the window and the break-out object; false when there is no window.
    [[nodiscard]] bool MakeWindow() noexcept;
    void ArmOnWindowThread(bool keyboard, bool mouse) noexcept;

    HINSTANCE instance_;
    SessionDriver driver_;
    HWND window_ = nullptr; // destroyed by Destroy() (or by the system, which tells WM_DESTROY)
    std::unique_ptr<BreakOut> breakOut_;
    std::vector<HWND> forms_;      // the message windows; window thread only
    std::vector<int32_t> covered_; // their monitors
    std::vector<std::pair<HWND, MonitorRect>> formMonitors_; // the monitor each was put over
    std::vector<HWND> waitingForms_;  // the host-busy windows while the start waits
    std::atomic<uint32_t> hostId_{0}; // the host's process, once the add-in told it
    bool launched_ = false;           // the session thread was started: Destroy has a run to end
    std::atomic<bool> ending_{false};
    std::atomic<bool> startKeptWaiting_{false};
    std::mutex notesLock_;
    std::wstring hostWindow_;     // title of the host's own window seen while a call waited
    UniqueHandle started_;        // FormCreate has returned
    UniqueHandle endRequested_;   // the session thread may run FormDestroy
    UniqueHandle ticks_;          // the one-second timer
    UniqueHandle displayChanged_; // the system's monitors changed (auto-reset)
    UniqueHandle sessionEnded_;   // FormDestroy has returned
    UniqueHandle windowMade_;     // window_ is set (or stays null) and the early arming is done
    DWORD windowThread_ = 0;
    std::mutex armLock_;
    bool windowTried_ = false; // under armLock_: arming is the window thread's to do now
    std::optional<std::pair<bool, bool>> pendingArm_; // under armLock_: keyboard, mouse
    UniqueHandle sessionThread_;
    UniqueHandle watchdog_;
    RunJournal journal_; // its destruction waits, briefly, for the run's block to be written
};

// The run mode from start to end: creates TMainForm, runs the message loop until it closes and
// destroys it. Returns the program's exit code.
int RunMainForm(HINSTANCE instance, PresentationHost& host,
                SessionDriver::SettingsLoader loadSession);
// The same with the real presentation host and the settings in the registry.
int RunMainForm(HINSTANCE instance);

} // namespace kestova::win
