#pragma once

// All add-in state: the current screen saver session, the host, the end-of-show flag and the
// event receiver. The add-in's COM classes hold no session state; each of their methods forwards
// to one procedure here. Every procedure traps every failure itself.
#include "addin/desktop.h"
#include "addin/opened_presentations.h"
#include "addin/presentation_host.h"
#include "addin/window_support.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestova::addin {

class StampBudget;

struct ScreenSaverEntry {
    std::wstring PresName; // exactly as the caller gave it
    int32_t MonitorNum = 0;
    HostRef Presentation;
    HostRef ShowWindow;
    int32_t ShowWindowHandle = 0; // non-zero while a started show awaits EndScreenSaver
    // What the entry's monitor shows, as GetMonitorReport tells it: set by PrepareScreenSaver
    // and BeginScreenSaver.
    bool Placed = false; // its show runs, its window is known and was seen over MonitorNum
    std::wstring Reason; // one line for the monitor's black window when not placed
    std::wstring Detail; // the host's error text, what went wrong in placing or the correction
                         // a placed show took; may be empty
    // What PrepareScreenSaver did about a file changed since the add-in opened it (reopened, or
    // kept and why), for the run journal; empty when there was nothing to tell.
    std::wstring FreshnessNote;
};

// How far staging one show got.
enum class Staging {
    NoMonitor,  // the monitor's rectangle could not be read: no show started
    NotStarted, // the host did not start the show
    NotPlaced,  // the show runs, but the host refused (part of) its place
    Placed,     // the show runs over its monitor
};

struct ScreenSaverSession {
    int32_t Count = 0;
    std::vector<ScreenSaverEntry> Entries; // Entries[0] is entry 1

    // Entry `index` (1-based), or null outside the array.
    [[nodiscard]] ScreenSaverEntry* Entry(int32_t index) noexcept;
    [[nodiscard]] const ScreenSaverEntry* Entry(int32_t index) const noexcept;
};

class MainModule {
public:
    MainModule(PresentationHost& host, WindowSupport& windowSupport, Desktop& desktop) noexcept;
    MainModule(const MainModule&) = delete;
    MainModule& operator=(const MainModule&) = delete;

    // Start-up check: keeps `application` as the host; true when its version is 9 or later,
    // otherwise shows the version notice and gives false.
    bool CheckHostVersion(HostRef application) noexcept;

    void InitializeScreenSaverSession(int32_t count) noexcept;
    void AddScreenSaver(int32_t index, const std::wstring& presName, int32_t monitorNum) noexcept;
    // Empty, or the PresName of the first entry that could be neither found nor opened. The
    // entries after a refused one are prepared all the same.
    std::wstring PrepareScreenSaver() noexcept;
    void BeginScreenSaver() noexcept;
    void EndScreenSaver() noexcept;
    void ExitScreenSaverSession() noexcept;
    [[nodiscard]] bool ShouldEndScreenSaver() const noexcept { return ShouldEnd_; }
    // The caller of the session, right after InitializeScreenSaverSession: should process
    // `processId` end without ExitScreenSaverSession (the host kept it waiting, or turned its
    // calls away, and it left), the session is ended as EndScreenSaver and ExitScreenSaverSession
    // would end it. The process is opened at once, while the caller waits for this call, so a
    // reused process id can't stand in for it later. The session's end forgets the caller.
    void WatchScreenSaverCaller(int32_t processId) noexcept;
    // One look at the watched caller. Does nothing while another operation runs or while the
    // host is modal: the end waits until the host is itself again.
    void CheckScreenSaverCaller() noexcept;
    [[nodiscard]] bool WatchesCaller() const noexcept { return CallerWatched_; }
    void HostApp_SlideShowEnd() noexcept { ShouldEnd_ = true; }
    // True when a show of the current session runs placed over monitor `monitorNum` (`reason`
    // is then its presentation's path, `detail` empty or the correction it took); otherwise
    // `reason` is the line for that monitor's black window and `detail` what the host or the
    // placing said, possibly empty.
    bool GetMonitorReport(int32_t monitorNum, std::wstring& reason, std::wstring& detail) noexcept;

    // The host is shutting down: a session still running is ended and the session's references
    // on the host's objects are released while the host can still take them back.
    void ReleaseSessionAtShutdown() noexcept;
    // Nothing of the add-in can be called any more: let go of every host reference.
    void ForgetHost() noexcept;

    [[nodiscard]] HostRef FindOpenPresentation(const std::wstring& presName) noexcept;
    // Starts the show and lays its window over the monitor; a monitor whose rectangle can't be
    // read gets no show. `outcome` (when given) tells how far it got.
    [[nodiscard]] HostRef StageSlideShow(const HostRef& presentation, int32_t monitorNum,
                                         Staging* outcome = nullptr,
                                         PixelRect* monitor = nullptr) noexcept;
    // Turns a pair of pixel values into points in place; false (and unchanged) when the screen's
    // pixels per inch can't be read.
    bool PixelsToPoints(float& x, float& y) noexcept;

    [[nodiscard]] const ScreenSaverSession& CurrentSession() const noexcept {
        return CurrentSession_;
    }
    [[nodiscard]] const HostRef& HostPPTApp() const noexcept { return HostPPTApp_; }
    [[nodiscard]] bool HasEventSink() const noexcept { return EventSink_ != nullptr; }
    [[nodiscard]] const OpenedPresentations& Opened() const noexcept { return Opened_; }

    // The file's stamp, within what is left of `budget`; none when it can't be read in time.
    [[nodiscard]] std::optional<FileStamp> ReadStamp(const std::wstring& path,
                                                     StampBudget& budget) noexcept;

private:
    // Marks an operation that calls the host, which may let a check run in the middle of it.
    class Busy {
    public:
        explicit Busy(MainModule& module) noexcept : module_(module) { ++module_.busy_; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        ~Busy() { --module_.busy_; }

    private:
        MainModule& module_;
    };

    void ForgetCaller() noexcept;
    // Opens the file for an entry and remembers it as the add-in's own.
    [[nodiscard]] HostRef OpenAndRemember(const std::wstring& presName, std::wstring& failure,
                                          StampBudget& budget) noexcept;
    // `found`, or the file opened afresh when the reopen rule says so (null when that open
    // failed); `note` tells the journal what was done or why not.
    [[nodiscard]] HostRef Refreshed(const std::wstring& presName, HostRef found, std::wstring& note,
                                    std::wstring& failure, StampBudget& budget) noexcept;
    // True while shows of the current session may still run (begun and not yet ended).
    [[nodiscard]] bool ShowsMayRun() const noexcept;
    // Converts at the screen's pixels per inch unless `ppi` is given.
    bool PlaceShowWindow(const HostObject& window, const PixelRect& monitor,
                         const PixelsPerInch* ppi = nullptr) noexcept;
    // True when window `handle` lies over `monitor` (to a pixel), after one correction if need
    // be; `written`: whether the host took all four values. `detail` says what was seen.
    bool CheckPlacement(const HostObject& window, int32_t handle, const PixelRect& monitor,
                        bool written, std::wstring& detail) noexcept;
    // Why the entry's monitor has no show, before or instead of staging it.
    void StageEntry(int32_t index, ScreenSaverEntry& entry) noexcept;

    PresentationHost& host_;
    WindowSupport& windowSupport_;
    Desktop& desktop_;

    ScreenSaverSession CurrentSession_;
    HostRef HostPPTApp_;
    bool ShouldEnd_ = false;
    std::unique_ptr<EventSink> EventSink_;
    OpenedPresentations Opened_;
    std::unique_ptr<CallerProcess> Caller_;
    bool CallerWatched_ = false;
    int busy_ = 0;
};

} // namespace kestova::addin
