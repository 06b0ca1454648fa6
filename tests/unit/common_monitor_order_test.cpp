#include "common/monitor_order.h"

#include <gtest/gtest.h>

using kestova::MonitorRect;
using kestova::OrderMonitors;

namespace {

std::vector<MonitorRect> Corners(std::initializer_list<std::pair<int, int>> corners) {
    std::vector<MonitorRect> rects;
    for (auto [x, y] : corners)
        rects.push_back({x, y, 100, 100});
    return rects;
}

} // namespace

TEST(MonitorOrder, PrimaryAtOriginComesFirstOthersKeepSystemOrder) {
    using Order = std::vector<std::size_t>;
    EXPECT_EQ(OrderMonitors(Corners({{0, 0}})), (Order{0}));
    EXPECT_EQ(OrderMonitors(Corners({{0, 0}, {1920, 0}})), (Order{0, 1}));
    EXPECT_EQ(OrderMonitors(Corners({{-1280, 0}, {0, 0}})), (Order{1, 0}));
    EXPECT_EQ(OrderMonitors(Corners({{1920, 0}, {-1280, 0}, {0, 0}})), (Order{2, 0, 1}));
}

TEST(MonitorOrder, WithoutMonitorAtOriginTheSystemOrderStands) {
    EXPECT_EQ(OrderMonitors(Corners({{100, 0}, {1380, 0}})), (std::vector<std::size_t>{0, 1}));
    // Both coordinates must be zero: a corner at (0, 768) is not the primary.
    EXPECT_EQ(OrderMonitors(Corners({{1024, 0}, {0, 768}, {0, 0}})),
              (std::vector<std::size_t>{2, 0, 1}));
}

TEST(MonitorOrder, FirstOfTwoMonitorsAtOriginWinsAndEmptyStaysEmpty) {
    EXPECT_EQ(OrderMonitors(Corners({{5, 5}, {0, 0}, {0, 0}})),
              (std::vector<std::size_t>{1, 0, 2}));
    EXPECT_TRUE(OrderMonitors({}).empty());
}

TEST(MonitorOrder, RectanglesFollowTheNumbering) {
    std::vector<MonitorRect> system{
        {1920, 0, 1024, 768}, {-1280, 0, 1280, 1024}, {0, 0, 1920, 1080}};
    auto ordered = kestova::MonitorsInProductOrder(system);
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_EQ(ordered[0], (MonitorRect{0, 0, 1920, 1080}));
    EXPECT_EQ(ordered[1], (MonitorRect{1920, 0, 1024, 768}));
    EXPECT_EQ(ordered[2], (MonitorRect{-1280, 0, 1280, 1024}));
}
