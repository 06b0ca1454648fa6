#pragma once

// What the session driver needs of the machine it runs on, beside the presentation host.
#include "common/monitor_order.h"
#include "screensaver/run_end.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestova {

// The host's process, opened for waiting. Destroying it closes the handle.
class WatchedProcess {
public:
    virtual ~WatchedProcess() = default;
    // True when the process has ended or the wait on it failed; never blocks.
    [[nodiscard]] virtual bool HasEnded() noexcept = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // An existing file: an empty path and a directory are not.
    [[nodiscard]] virtual bool FileExists(const std::wstring& path) = 0;
    // Monitors in the product's numbering, counted once per process.
    [[nodiscard]] virtual int32_t MonitorCount() = 0;
    // A black window over monitor `monitor`, showing `text` in its middle (nothing when empty).
    virtual void ShowMessageWindow(int32_t monitor, const std::wstring& text) = 0;

    // Display changes during a run. The monitors as the run numbers them (taken once, like the
    // count), and as the system has them now, both in the product's order.
    [[nodiscard]] virtual std::vector<MonitorRect> MonitorLayout() = 0;
    [[nodiscard]] virtual std::vector<MonitorRect> MonitorsNow() = 0;
    // A plain black window over `rect`; taking away the black windows that were put over it.
    virtual void CoverMonitor(const MonitorRect& rect) = 0;
    virtual void UncoverMonitor(const MonitorRect& rect) = 0;
    // True when a slide show window of the host covers most of `rect`.
    [[nodiscard]] virtual bool ShowLiesOn(const MonitorRect& rect) = 0;
    // Null when the process can't be opened.
    [[nodiscard]] virtual std::unique_ptr<WatchedProcess> OpenProcess(uint32_t processId) = 0;
    // Starts the one-second watch of the run's end.
    virtual void EnableTimer() = 0;
    // The main window's ordinary close, saying why; asking again changes nothing.
    virtual void RequestClose(RunEnd cause) noexcept = 0;
    // True once the user's input (or anything else) has ended the run, also while it starts.
    [[nodiscard]] virtual bool RunEnding() const noexcept = 0;
    // This program's process, which the add-in watches for the session's sake.
    [[nodiscard]] virtual uint32_t OwnProcessId() const noexcept = 0;

    // Break-out pieces; results are never looked at.
    virtual void AddBreakOutHotKey() = 0;       // atom + Ctrl+Alt+Esc on the main window
    virtual void InstallKeyboardHook() = 0;     // low-level, desktop-wide
    virtual void InstallMouseHook() = 0;        // low-level, desktop-wide
    virtual void DisarmBreakOut() noexcept = 0; // removes whatever of the three is in place
    // Returns once the break-out asked for so far is in place: the host may be reached before
    // that, but nothing of the run may appear on the screen.
    virtual void WaitBreakOutArmed() {}

    // The general error report (message box); `text` is final.
    virtual void ShowErrorReport(const std::wstring& text) = 0;
    // The system's text for a failure code; empty when it has none.
    [[nodiscard]] virtual std::wstring SystemMessage(int32_t code) = 0;
};

} // namespace kestova
