#include "screensaver/win/monitor_order.h"

#include "common/win/monitors.h"

namespace kestova::win {

namespace {

// One snapshot serves both the count and the order, so that they can never disagree.
std::vector<MonitorRect>& Ordered() {
    static std::vector<MonitorRect> monitors;
    return monitors;
}

} // namespace

void BuildMonitorOrder() {
    if (Ordered().empty())
        Ordered() = MonitorsInProductOrder(EnumerateSystemMonitors());
}

const std::vector<MonitorRect>& MonitorOrder() {
    BuildMonitorOrder();
    return Ordered();
}

int32_t MonitorCount() {
    return static_cast<int32_t>(MonitorOrder().size());
}

void GetMonitorBounds(int32_t n, int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
    const auto& order = MonitorOrder();
    if (n < 1 || n > static_cast<int32_t>(order.size()))
        return;
    const MonitorRect& monitor = order[static_cast<size_t>(n - 1)];
    left = monitor.left;
    top = monitor.top;
    width = monitor.width;
    height = monitor.height;
}

} // namespace kestova::win
