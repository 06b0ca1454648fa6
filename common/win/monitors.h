#pragma once

#include "common/monitor_order.h"

#include <vector>

namespace kestova::win {

// Every monitor's full rectangle, in the order EnumDisplayMonitors reports them.
std::vector<MonitorRect> EnumerateSystemMonitors();

} // namespace kestova::win
