// The work behind BeginScreenSaver and EndScreenSaver: starting each prepared show and laying its
// window over the entry's monitor, and exiting the shows again.
#include "addin/main_module.h"

#include "addin/attempt.h"
#include "addin/monitor_report_text.h"
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
    entry.ShowWindow = StageSlideShow(entry.Presentation, entry.MonitorNum, &staging);
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
    if (entry.ShowWindowHandle == 0)
        because(WindowNotFoundText, L"The slide show window has no window handle.");
    else if (staging != Staging::Placed)
        because(NotPlacedText, L"The host refused the window's position or size.");
    else {
        entry.Placed = true;
        entry.Reason.clear();
        entry.Detail.clear();
    }
}

HostRef MainModule::StageSlideShow(const HostRef& presentation, int32_t monitorNum,
                                   Staging* outcome) noexcept {
    HostRef window;
    Staging staging = Staging::NotStarted;
    {
        DesktopUpdateLock lock(desktop_);
        PixelRect monitor;
        // An empty rectangle is no monitor either: the show would shrink to nothing.
        const bool haveMonitor =
            Attempt([&] { return windowSupport_.MonitorInfo(monitorNum, monitor); }) &&
            monitor.width > 0 && monitor.height > 0;
        if (!haveMonitor) {
            // Not started at all: a show the add-in can't place would cover whatever monitor
            // the host chose, another show's maybe.
            staging = Staging::NoMonitor;
        } else {
            Attempt([&] {
                if (presentation)
                    window = host_.RunSlideShow(*presentation);
            });
            if (window)
                staging = PlaceShowWindow(*window, monitor) ? Staging::Placed : Staging::NotPlaced;
        }
    }
    if (outcome)
        *outcome = staging;
    return window;
}

bool MainModule::PlaceShowWindow(const HostObject& window, const PixelRect& monitor) noexcept {
    // Each property is set on its own: one the host refuses keeps its value, the others still go.
    bool placed = true;
    float x = static_cast<float>(monitor.left);
    float y = static_cast<float>(monitor.top);
    if (PixelsToPoints(x, y)) {
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Left, x); });
        placed &= Attempt([&] { return host_.SetWindowPlacement(window, WindowEdge::Top, y); });
    } else {
        placed = false;
    }
    x = static_cast<float>(monitor.width);
    y = static_cast<float>(monitor.height);
    if (PixelsToPoints(x, y)) {
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
