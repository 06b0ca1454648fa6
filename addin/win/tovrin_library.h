#pragma once

// Tovrin.dll, loaded on first use from this library's own folder only: a Tovrin.dll planted in
// the current folder of the host or on PATH must never be loaded into the host's process.
#include "addin/window_support.h"
#include "common/win/unique_handle.h"

#include <string>

namespace kestova::addin::win {

class TovrinLibrary : public WindowSupport {
public:
    // `folder` (with trailing backslash) holds Tovrin.dll; empty: the folder of this module.
    explicit TovrinLibrary(std::wstring folder = {}) noexcept;

    bool StartScreenSaverSession() override;
    std::optional<int32_t> GetMonitorCount() override;
    bool MonitorInfo(int32_t monitorNum, PixelRect& rect) override;
    std::optional<int32_t> GetSSWHandle(const HostObject& window) override;
    bool RegisterSlideShowWindow(int32_t handle) override;
    bool DeregisterSlideShowWindow(int32_t handle) override;
    bool EndScreenSaverSession() override;

    // The loaded library, loading it if needed; null when it can't be loaded.
    [[nodiscard]] HMODULE Module();

private:
    template <typename Function> Function* Bind(const char* name);

    std::wstring folder_;
    kestova::win::UniqueModule module_;
};

} // namespace kestova::addin::win
