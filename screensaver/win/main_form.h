#pragma once

// TMainForm: the run mode's hidden main window. It hosts the session driver, its timer, the
// break-out and the message windows, and is the Desktop the driver works on.
#include "screensaver/desktop.h"
#include "screensaver/presentation_host.h"
#include "screensaver/session_driver.h"
#include "screensaver/win/break_out.h"
#include "screensaver/win/run_journal_writer.h"

#include <windows.h>

#include <memory>

namespace kestova::win {

inline constexpr wchar_t kMainFormClass[] = L"TMainForm";
inline constexpr UINT_PTR kTimerId = 1;
inline constexpr UINT kTimerInterval = 1000;
// PROCESS_TERMINATE | SYNCHRONIZE, as the host's process is opened for waiting.
inline constexpr DWORD kHostProcessAccess = 0x00100001;

class TMainForm final : public Desktop {
public:
    TMainForm(HINSTANCE instance, PresentationHost& host, SessionDriver::SettingsLoader loadSession,
              TSession& session = Session);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;
    ~TMainForm() override;

    // Creates the window (hidden) and runs FormCreate; shows the window afterwards when the
    // start failed before the run took over the screen. False when no window could be made.
    [[nodiscard]] bool Create();
    // FormDestroy, then the window with everything it owns (timer, message windows).
    void Destroy() noexcept;

    [[nodiscard]] HWND handle() const noexcept { return window_; }
    [[nodiscard]] const BreakOut* breakOut() const noexcept { return breakOut_.get(); }

    // Desktop
    bool FileExists(const std::wstring& path) override;
    int32_t MonitorCount() override;
    void ShowMessageWindow(int32_t monitor, const std::wstring& text) override;
    std::unique_ptr<WatchedProcess> OpenProcess(uint32_t processId) override;
    void EnableTimer() override;
    void RequestClose(RunEnd cause) noexcept override;
    void AddBreakOutHotKey() override;
    void InstallKeyboardHook() override;
    void InstallMouseHook() override;
    void DisarmBreakOut() noexcept override;
    void ShowErrorReport(const std::wstring& text) override;
    std::wstring SystemMessage(int32_t code) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void WMHotKey() noexcept;

    HINSTANCE instance_;
    SessionDriver driver_;
    HWND window_ = nullptr; // destroyed by Destroy() (or by the system, which tells WM_DESTROY)
    std::unique_ptr<BreakOut> breakOut_;
    RunJournal journal_; // its destruction waits, briefly, for the run's block to be written
    bool closing_ = false;
};

// The run mode from start to end: creates TMainForm, runs the message loop until it closes and
// destroys it. Returns the program's exit code.
int RunMainForm(HINSTANCE instance, PresentationHost& host,
                SessionDriver::SettingsLoader loadSession);
// The same with the real presentation host and the settings in the registry.
int RunMainForm(HINSTANCE instance);

} // namespace kestova::win
