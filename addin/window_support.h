#pragma once

// The window support library (Tovrin.dll) as the add-in calls it. Each call may fail (the library
// or the function is missing); a failed call leaves its outputs as they were.
#include "addin/presentation_host.h"

#include <cstdint>
#include <optional>

namespace kestova::addin {

// A monitor's full rectangle in virtual-screen pixels.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

class WindowSupport {
public:
    virtual ~WindowSupport() = default;

    virtual bool StartScreenSaverSession() = 0;
    [[nodiscard]] virtual std::optional<int32_t> GetMonitorCount() = 0;
    // GetMonitorInfo: monitor `monitorNum` in the product's numbering; `rect` untouched on
    // failure. (Named apart from the Windows function, whose name is a macro.)
    virtual bool MonitorInfo(int32_t monitorNum, PixelRect& rect) = 0;
    // The window handle of a slide show window object; 0 means none.
    [[nodiscard]] virtual std::optional<int32_t> GetSSWHandle(const HostObject& window) = 0;
    virtual bool RegisterSlideShowWindow(int32_t handle) = 0;
    virtual bool DeregisterSlideShowWindow(int32_t handle) = 0;
    virtual bool EndScreenSaverSession() = 0;
};

} // namespace kestova::addin
