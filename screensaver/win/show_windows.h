#pragma once

// Where the host's slide shows lie, as Corvane sees them from outside: for a monitor that comes
// during a run, whose black window must not go over a show that is already there.
#include "common/monitor_order.h"

#include <cstdint>

namespace kestova::win {

// True when a visible window without a caption (a slide show; the host's document windows have
// one) of process `processId` covers more than half of `monitor`. False for process 0.
[[nodiscard]] bool HostShowCovers(uint32_t processId, const MonitorRect& monitor);

} // namespace kestova::win
