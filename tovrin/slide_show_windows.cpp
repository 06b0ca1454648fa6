#include "tovrin/slide_show_windows.h"

namespace kestova::tovrin {

void SlideShowWindows::Start(std::vector<MonitorRect> monitors) {
    std::lock_guard lock(mutex_);
    inSession_ = true;
    monitors_ = std::move(monitors);
    registered_.clear();
}

void SlideShowWindows::End() {
    std::lock_guard lock(mutex_);
    inSession_ = false;
    monitors_.clear();
    registered_.clear();
}

void SlideShowWindows::Register(int32_t handle) {
    std::lock_guard lock(mutex_);
    registered_.insert(handle);
}

void SlideShowWindows::Deregister(int32_t handle) {
    std::lock_guard lock(mutex_);
    registered_.erase(handle);
}

std::optional<std::vector<MonitorRect>> SlideShowWindows::SessionMonitors() const {
    std::lock_guard lock(mutex_);
    if (!inSession_)
        return std::nullopt;
    return monitors_;
}

std::set<int32_t> SlideShowWindows::Registered() const {
    std::lock_guard lock(mutex_);
    return registered_;
}

} // namespace kestova::tovrin
