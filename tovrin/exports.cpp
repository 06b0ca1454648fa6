// The library's seven functions, stdcall with undecorated names (see tovrin.def). Each traps
// everything: nothing may unwind into the host's process.
#include "common/monitor_order.h"
#include "common/win/monitors.h"
#include "tovrin/slide_show_windows.h"
#include "tovrin/window_handle.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

namespace {

kestova::tovrin::SlideShowWindows& Session() {
    static kestova::tovrin::SlideShowWindows session;
    return session;
}

// The monitors as Corvane numbers them: the session's layout while one runs, else the system's
// current one (the host outlives many display changes).
std::vector<kestova::MonitorRect> Monitors() {
    if (auto monitors = Session().SessionMonitors())
        return *monitors;
    return kestova::MonitorsInProductOrder(kestova::win::EnumerateSystemMonitors());
}

template <typename Body> auto Trapped(Body&& body, decltype(body()) onFailure) noexcept {
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

} // namespace

extern "C" {

int32_t WINAPI TovrinStartScreenSaverSession() {
    return Trapped(
        [] {
            Session().Start(
                kestova::MonitorsInProductOrder(kestova::win::EnumerateSystemMonitors()));
            return 1;
        },
        0);
}

int32_t WINAPI TovrinGetMonitorCount() {
    return Trapped([] { return static_cast<int32_t>(Monitors().size()); }, 0);
}

// Numbers outside 1 to the count leave the outputs as they were.
int32_t WINAPI TovrinGetMonitorInfo(int32_t monitorNum, int32_t* left, int32_t* top, int32_t* width,
                                    int32_t* height) {
    return Trapped(
        [&] {
            auto monitors = Monitors();
            if (monitorNum < 1 || static_cast<std::size_t>(monitorNum) > monitors.size())
                return 0;
            const kestova::MonitorRect& r = monitors[static_cast<std::size_t>(monitorNum) - 1];
            if (left)
                *left = r.left;
            if (top)
                *top = r.top;
            if (width)
                *width = r.width;
            if (height)
                *height = r.height;
            return 1;
        },
        0);
}

int32_t WINAPI TovrinGetSSWHandle(VARIANT window) {
    return kestova::tovrin::SlideShowWindowHandle(window);
}

int32_t WINAPI TovrinRegisterSlideShowWindow(int32_t handle) {
    return Trapped(
        [&] {
            Session().Register(handle);
            return 1;
        },
        0);
}

int32_t WINAPI TovrinDeregisterSlideShowWindow(int32_t handle) {
    return Trapped(
        [&] {
            Session().Deregister(handle);
            return 1;
        },
        0);
}

int32_t WINAPI TovrinEndScreenSaverSession() {
    return Trapped(
        [] {
            Session().End();
            return 1;
        },
        0);
}

} // extern "C"
