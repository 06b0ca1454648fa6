#pragma once

// The library's state between StartScreenSaverSession and EndScreenSaverSession: the monitor
// layout the session's shows are placed on and the slide show windows registered with it.
#include "common/monitor_order.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace kestova::tovrin {

class SlideShowWindows {
public:
    // `monitors` in the product's numbering, taken once so that every show of the session is
    // placed against the same layout.
    void Start(std::vector<MonitorRect> monitors);
    void End();
    void Register(int32_t handle);
    void Deregister(int32_t handle);

    // The session's layout; outside a session, none (the caller looks at the system then).
    [[nodiscard]] std::optional<std::vector<MonitorRect>> SessionMonitors() const;
    [[nodiscard]] std::set<int32_t> Registered() const;

private:
    mutable std::mutex mutex_; // exports may be called from any thread of the host
    bool inSession_ = false;
    std::vector<MonitorRect> monitors_;
    std::set<int32_t> registered_;
};

} // namespace kestova::tovrin
