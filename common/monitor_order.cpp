#include "common/monitor_order.h"

namespace kestova {

std::vector<std::size_t> OrderMonitors(const std::vector<MonitorRect>& systemOrder) {
    std::vector<std::size_t> order;
    if (systemOrder.empty())
        return order;
    std::size_t primary = 0;
    for (std::size_t i = 0; i < systemOrder.size(); ++i) {
        if (systemOrder[i].left == 0 && systemOrder[i].top == 0) {
            primary = i;
            break;
        }
    }
    order.reserve(systemOrder.size());
    order.push_back(primary);
    for (std::size_t i = 0; i < systemOrder.size(); ++i) {
        if (i != primary)
            order.push_back(i);
    }
    return order;
}

std::vector<MonitorRect> MonitorsInProductOrder(const std::vector<MonitorRect>& systemOrder) {
    std::vector<MonitorRect> result;
    for (std::size_t index : OrderMonitors(systemOrder))
        result.push_back(systemOrder[index]);
    return result;
}

} // namespace kestova
