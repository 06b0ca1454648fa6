#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestova {

// A monitor's full area (taskbar included) in virtual-screen pixels.
struct MonitorRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    friend bool operator==(const MonitorRect&, const MonitorRect&) = default;
};

// The product's one monitor numbering: the primary monitor (the first one whose corner is at the
// origin, else the system's first) becomes monitor 1, the others keep the system's order.
// Returns indices into `systemOrder`; position k holds monitor number k + 1.
std::vector<std::size_t> OrderMonitors(const std::vector<MonitorRect>& systemOrder);

// The rectangles of `systemOrder` rearranged into monitor-number order.
std::vector<MonitorRect> MonitorsInProductOrder(const std::vector<MonitorRect>& systemOrder);

} // namespace kestova
