#pragma once

// The product's monitor numbering as Corvane uses it: worked out once per process from the
// system's monitors and never rebuilt, so that the settings' numbers keep meaning the monitors
// they meant at the start. Monitors that come and go later are dealt with by their rectangles
// (SessionDriver::DisplayChanged).
#include "common/monitor_order.h"

#include <cstdint>
#include <vector>

namespace kestova::win {

// The monitors' rectangles in monitor-number order (filled by BuildMonitorOrder).
const std::vector<MonitorRect>& MonitorOrder();
// Fills the order on first use; later calls do nothing.
void BuildMonitorOrder();
// The number of monitors, taken once per process.
[[nodiscard]] int32_t MonitorCount();
// The full rectangle of monitor `n` (from 1); leaves the outputs alone when there is no such
// monitor.
void GetMonitorBounds(int32_t n, int32_t& left, int32_t& top, int32_t& width, int32_t& height);

} // namespace kestova::win
