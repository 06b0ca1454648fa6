// The work behind BeginScreenSaver and EndScreenSaver: starting each prepared show and laying its
// window over the entry's monitor, and exiting the shows again.
#include "addin/main_module.h"

#include "addin/attempt.h"
#include "addin/monitor_report_text.h"
#include "addin/pixels_to_points.h"

#include <cmath>

namespace kestova::addin {

namespace {

// The system-wide window-update lock. While the whole desktop is locked nothing paints, also
// not a prompt of the host's: it is held only while nothing can ask the user anything. Only a
// lock this guard took is released: unlocking without owning it would end another program's lock.
class DesktopUpdateLock {
public:
    explicit DesktopUpdateLock(Desktop& desktop) noexcept : desktop_(desktop) { Take(); }
    DesktopUpdateLock(const DesktopUpdateLock&) = delete;
    DesktopUpdateLock& operator=(const DesktopUpdateLock&) = delete;
    ~DesktopUpdateLock() { Release(); }

    void Take() noexcept {
        if (!locked_)
            locked_ = Attempt([&] { return desktop_.LockUpdate(); });
    }
    void Release() noexcept {
        if (locked_)
            Attempt([&] { desktop_.UnlockUpdate(); });
        locked_ = false;
    }

private:
    Desktop& desktop_;
    bool locked_ = false;
};

// Within a pixel on every edge: the host rounds points to whole pixels.
bool Covers(const PixelRect& window, const PixelRect& monitor) {
    auto near = [](int64_t a, int64_t b) { return a - b <= 1 && b - a <= 1; };
    return near(window.left, monitor.left) && near(window.top, monitor.top) &&
           near(int64_t{window.left} + window.width, int64_t{monitor.left} + monitor.width) &&
           near(int64_t{window.top} + window.height, int64_t{monitor.top} + monitor.height);
}

// The pixels per inch the host applied to a window, read off the size it made of points worked
// out at the screen's setting: a host aware of each monitor's own setting converts with the
// one of the monitor the window lies on.
int32_t AppliedPixelsPerInch(int32_t madePixels, int32_t wantedPixels, int32_t screenPpi) {
    return static_cast<int32_t>(std::lround(static_cast<double>(madePixels) * screenPpi /
                                            static_cast<double>(wantedPixels)));
}

std::wstring RectText(const PixelRect& r) {
    return std::to_wstring(r.width) + L"x" + std::to_wstring(r.height) + L" at (" +
           std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")";
}

} // namespace

void MainModule::BeginScreenSaver() noexcept {
    Busy busy(*this);
    Attempt([&] {
        EventSink_ = host_.NewEventSink([this] { HostApp_SlideShowEnd(); });
        return EventSink_ && EventSink_->SetHostApp(HostPPTApp_);
    });
    ShouldEnd_ = false;
    Attempt([&] { return windowSupport_.StartScreenSaverSession(); });

    const int32_t count = CurrentSession_.Count;
    for (int32_t i = 1; i <= count; ++i) {
        ScreenSaverEntry* entry = CurrentSession_.Entry(i);
        if (!entry)
            break;
        StageEntry(i, *entry);
    }
}

void MainModule::StageEntry(int32_t index, ScreenSaverEntry& entry) noexcept {
    entry.Placed = false;
    const bool prepared = entry.Presentation != nullptr;
    // The reason stays PrepareScreenSaver's when the presentation never opened.
    auto because = [&](auto&& text, const wchar_t* detail) {
        if (prepared)
            Attempt([&] {
                entry.Reason = text(entry.PresName);
                entry.Detail = detail;
            });
    };
    if (!prepared && entry.Reason.empty())
        Attempt([&] { entry.Reason = OpenFailedText(entry.PresName); });

    // Asked per entry: the count is the library's to give, and it may change between shows.
    std::optional<int32_t> monitors;
    Attempt([&] { monitors = windowSupport_.GetMonitorCount(); });
    // Without a count nobody can say where the monitor is: no show rather than a show that
    // covers the wrong monitor.
    if (!monitors) {
        because(NotPlacedText, L"The number of monitors could not be read.");
        return;
    }
    if (entry.MonitorNum < 1 || entry.MonitorNum > *monitors) {
        const int32_t monitorNum = entry.MonitorNum;
        because([monitorNum](const std::wstring&) { return NoSuchMonitorText(monitorNum); }, L"");
        return;
    }
    // One show per presentation: the host hands a running show's window back for a second Run,
    // and placing it would take it off the earlier monitor.
    if (prepared) {
        for (int32_t j = 1; j < index; ++j) {
            const ScreenSaverEntry* earlier = CurrentSession_.Entry(j);
            bool same = false;
            Attempt([&] {
                same = earlier && earlier->ShowWindow &&
                       desktop_.SamePath(earlier->PresName, entry.PresName);
            });
            if (same) {
                const int32_t shownOn = earlier->MonitorNum;
                because([shownOn](const std::wstring&) { return AlreadyShownText(shownOn); }, L"");
                return;
            }
        }
    }

    Staging staging = Staging::NotStarted;
    PixelRect monitor;
    entry.ShowWindow = StageSlideShow(entry.Presentation, entry.MonitorNum, &staging, &monitor);
    if (!entry.ShowWindow) {
        if (staging == Staging::NoMonitor)
            because(NotPlacedText, L"The monitor's rectangle could not be read.");
        else
            because(NotStartedText, L"");
        return;
    }
    Attempt([&] {
        auto handle = windowSupport_.GetSSWHandle(*entry.ShowWindow);
        if (handle)
            entry.ShowWindowHandle = *handle;
        return handle.has_value();
    });
    Attempt([&] { return windowSupport_.RegisterSlideShowWindow(entry.ShowWindowHandle); });
    if (entry.ShowWindowHandle == 0) {
        because(WindowNotFoundText, L"The slide show window has no window handle.");
        return;
    }
    std::wstring detail;
    if (CheckPlacement(*entry.ShowWindow, entry.ShowWindowHandle, monitor,
                       staging == Staging::Placed, detail)) {
        entry.Placed = true;
        entry.Reason.clear();
        Attempt([&] { entry.Detail = detail; });
    } else {
        because(NotPlacedText, detail.empty() ? L"The host refused the window's position or size."
                                              : detail.c_str());
    }
}

bool MainModule::CheckPlacement(const HostObject& window, int32_t handle, const PixelRect& monitor,
                                bool written, std::wstring& detail) noexcept {
    std::optional<PixelRect> lies;
    Attempt([&] { lies = desktop_.WindowRect(handle); });
    // Where the window can't be looked at, the host's word on the four values stands.
    if (!lies)
        return written;
    if (Covers(*lies, monitor))
        return true;
    // Once more, converted as the window's own setting calls for; never moved behind the host's
    // back, which would put it back.
    std::optional<PixelsPerInch> screen;
    Attempt([&] { screen = desktop_.ScreenPixelsPerInch(); });
    if (screen && screen->x > 0 && screen->y > 0 && lies->width > 0 && lies->height > 0) {
        const PixelsPerInch applied{AppliedPixelsPerInch(lies->width, monitor.width, screen->x),
                                    AppliedPixelsPerInch(lies->height, monitor.height, screen->y)};
        if (applied.x > 0 && applied.y > 0 && (applied.x != screen->x || applied.y != screen->y)) {
            {
                DesktopUpdateLock lock(desktop_);
                (void)PlaceShowWindow(window, monitor, &applied);
            }
            std::wstring dpi;
            Attempt([&] {
                dpi =
                    std::to_wstring(applied.x) +
                    (applied.x == applied.y ? std::wstring() : L"x" + std::to_wstring(applied.y)) +
                    L" dpi";
            });
            lies.reset();
            Attempt([&] { lies = desktop_.WindowRect(handle); });
            if (lies && Covers(*lies, monitor)) {
                Attempt([&] { detail = L"placed after a correction for " + dpi; });
                return true;
            }
            Attempt([&] {
                detail = L"The window lay at " + (lies ? RectText(*lies) : L"an unknown place") +
                         L" for a monitor of " + RectText(monitor) +
                         L", also after a correction for " + dpi + L".";
            });
            return false;
        }
    }
    Attempt([&] {
        detail = L"The window lay at " + RectText(*lies) + L" for a monitor of " +
                 RectText(monitor) + L".";
    });
    return false;
}

HostRef MainModule::StageSlideShow(const HostRef& presentation, int32_t monitorNum,
                                   Staging* outcome, PixelRect* monitorOut) noexcept {
    HostRef window;
    Staging staging = Staging::NotStarted;
    PixelRect monitor;
    {
        // Taken before the show starts, so that it first paints where it is placed.
        DesktopUpdateLock lock(desktop_);
        // An empty rectangle is no monitor either: the show would shrink to nothing.
        const bool haveMonitor =
            Attempt([&] { return windowSupport_.MonitorInfo(monitorNum, monitor); }) &&
            monitor.width > 0 && monitor.height > 0;
        if (!haveMonitor) {
            // Not started at all: a show the add-in can't place would cover whatever monitor
            // the host chose, another show's maybe.
            staging = Staging::NoMonitor;
        } else {
            // A host that asks the user something inside Run (a prompt of its own) must be able
            // to paint it: the lock goes as soon as Run is seen waiting, and comes back for the
            // placing.
            Attempt([&] { desktop_.StartLockWatch([&lock] { lock.Release(); }); });
            Attempt([&] {
                if (presentation)
                    window = host_.RunSlideShow(*presentation);
            });
            Attempt([&] { desktop_.StopLockWatch(); });
            if (window) {
                lock.Take();
                staging = PlaceShowWindow(*window, monitor) ? Staging::Placed : Staging::NotPlaced;
            }
        }
    }
    if (outcome)
        *outcome = staging;
    if (monitorOut)
        *monitorOut = monitor;
    return window;
}

bool MainModule::PlaceShowWindow(const HostObject& window, const PixelRect& monitor,
                                 const PixelsPerInch* ppi) noexcept {
    // Each property is set on its own: one the host refuses keeps its value, the others still go.
    auto convert = [&](float& x, float& y) {
        if (!ppi)
            return PixelsToPoints(x, y);
        x = PointsFromPixels(x, ppi->x);
        y = PointsFromPixels(y, ppi->y);
        return true;
    };
    bool placed = true;
    float x = static_cast<float>(monitor.left);
    float y = static_cast<float>(monitor.top);
    if (convert(x, y)) {
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Left, x); });
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Top, y); });
    } else {
        placed = false;
    }
    x = static_cast<float>(monitor.width);
    y = static_cast<float>(monitor.height);
    if (convert(x, y)) {
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Width, x); });
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Height, y); });
    } else {
        placed = false;
    }
    return placed;
}

bool MainModule::PixelsToPoints(float& x, float& y) noexcept {
    std::optional<PixelsPerInch> ppi;
    Attempt([&] { ppi = desktop_.ScreenPixelsPerInch(); });
    if (!ppi || ppi->x <= 0 || ppi->y <= 0)
        return false;
    x = PointsFromPixels(x, ppi->x);
    y = PointsFromPixels(y, ppi->y);
    return true;
}

void MainModule::EndScreenSaver() noexcept {
    Busy busy(*this);
    const int32_t count = CurrentSession_.Count;
    for (int32_t i = 1; i <= count; ++i) {
        ScreenSaverEntry* entry = CurrentSession_.Entry(i);
        if (!entry)
            break;
        // Every show this session started is exited, also one whose window handle read 0: it
        // was announced to the library under that handle and still runs.
        if (entry->ShowWindowHandle == 0 && !entry->ShowWindow)
            continue;
        const int32_t handle = entry->ShowWindowHandle;
        Attempt([&] { return windowSupport_.DeregisterSlideShowWindow(handle); });
        entry->ShowWindowHandle = 0;
        entry->Placed = false;
        Attempt([&] { return entry->ShowWindow && host_.ExitSlideShow(*entry->ShowWindow); });
        entry->ShowWindow.reset();
    }
    Attempt([&] { return windowSupport_.EndScreenSaverSession(); });
    // Disconnected only now, so the end of the shows just exited is still seen.
    if (EventSink_)
        Attempt([&] { return EventSink_->SetHostApp(nullptr); });
    EventSink_.reset();
}

} // namespace kestova::addin
