// The work behind BeginScreenSaver and EndScreenSaver: starting each prepared show and laying its
// window over the entry's monitor, and exiting the shows again.
#include "addin/main_module.h"

#include "addin/attempt.h"
#include "addin/pixels_to_points.h"

namespace kestova::addin {

namespace {

// The system-wide window-update lock, held around starting and placing one show. Only a lock
// this guard took is released: unlocking without owning it would end another program's lock.
class DesktopUpdateLock {
public:
    explicit DesktopUpdateLock(Desktop& desktop) noexcept : desktop_(desktop) {
        locked_ = Attempt([&] { return desktop_.LockUpdate(); });
    }
    DesktopUpdateLock(const DesktopUpdateLock&) = delete;
    DesktopUpdateLock& operator=(const DesktopUpdateLock&) = delete;
    ~DesktopUpdateLock() {
        if (locked_)
            Attempt([&] { desktop_.UnlockUpdate(); });
    }

private:
    Desktop& desktop_;
    bool locked_ = false;
};

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
        // Asked per entry: the count is the library's to give, and it may change between shows.
        std::optional<int32_t> monitors;
        Attempt([&] { monitors = windowSupport_.GetMonitorCount(); });
        // Without a count nobody can say where the monitor is: no show rather than a show that
        // covers the wrong monitor.
        if (!monitors || entry->MonitorNum > *monitors)
            continue;
        entry->ShowWindow = StageSlideShow(entry->Presentation, entry->MonitorNum);
        if (!entry->ShowWindow)
            continue;
        Attempt([&] {
            auto handle = windowSupport_.GetSSWHandle(*entry->ShowWindow);
            if (handle)
                entry->ShowWindowHandle = *handle;
            return handle.has_value();
        });
        Attempt([&] { return windowSupport_.RegisterSlideShowWindow(entry->ShowWindowHandle); });
    }
}

HostRef MainModule::StageSlideShow(const HostRef& presentation, int32_t monitorNum) noexcept {
    HostRef window;
    DesktopUpdateLock lock(desktop_);
    PixelRect monitor;
    const bool haveMonitor =
        Attempt([&] { return windowSupport_.MonitorInfo(monitorNum, monitor); });
    Attempt([&] {
        if (presentation)
            window = host_.RunSlideShow(*presentation);
    });
    // A monitor rectangle that could not be read would shrink the show to nothing: it then
    // stays where the host put it.
    if (window && haveMonitor)
        PlaceShowWindow(*window, monitor);
    return window;
}

void MainModule::PlaceShowWindow(const HostObject& window, const PixelRect& monitor) noexcept {
    // Each property is set on its own: one the host refuses keeps its value, the others still go.
    float x = static_cast<float>(monitor.left);
    float y = static_cast<float>(monitor.top);
    if (PixelsToPoints(x, y)) {
        Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Left, x); });
        Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Top, y); });
    }
    x = static_cast<float>(monitor.width);
    y = static_cast<float>(monitor.height);
    if (PixelsToPoints(x, y)) {
        Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Width, x); });
        Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Height, y); });
    }
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
        if (entry->ShowWindowHandle == 0)
            continue;
        const int32_t handle = entry->ShowWindowHandle;
        Attempt([&] { return windowSupport_.DeregisterSlideShowWindow(handle); });
        entry->ShowWindowHandle = 0;
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
