// The monitors setting over monitor sets of two and three work areas of different sizes and
// offsets, the primary on either side: for every method and both settings, no icon off every
// screen, no two in one cell, and each icon on the monitor the setting names while it has room.
#include "organizers/placement/monitors.h"

#include <random>
#include <set>

#include <gtest/gtest.h>

#include "organizers/placement/on_screen.h"
#include "organizers/plan.h"

namespace {

using desktop_access::Rect;
using namespace organizers;
using placement::monitorOf;
using placement::primaryMonitor;

const std::vector<std::vector<Rect>> monitorSets = {
    {{0, 0, 1920, 1040}, {1920, 0, 3200, 1024}},                         // second on the right
    {{0, 40, 1366, 768}, {-1280, -200, 0, 824}},                         // left, taskbar on top
    {{0, 0, 1600, 860}, {1600, 120, 3520, 1200}, {-1024, 300, 0, 1068}}, // three, offset
};

// Icons at random places, by turns on each monitor.
DesktopProxy desktopOn(const std::vector<Rect>& areas, std::int64_t count, std::mt19937& random) {
    DesktopProxy desktop;
    static_cast<Grid&>(desktop) = Grid::measure(areas, 75, 75);
    desktop.workAreas = areas;
    for (std::int64_t made = 0; made < count; ++made) {
        const Rect& area = areas[std::size_t(made) % areas.size()];
        IconRecord icon;
        icon.name = u"icon " + std::u16string(1, char16_t(u'A' + made));
        icon.left = area.left + int(random() % unsigned(area.right - area.left - 80));
        icon.top = area.top + int(random() % unsigned(area.bottom - area.top - 80));
        icon.width = icon.height = 75;
        icon.usage = random() % 50;
        desktop.icons.push_back(icon);
    }
    return desktop;
}

TEST(MonitorsTest, EverySettingKeepsIconsOnScreenApartAndOnTheirMonitor) {
    std::mt19937 random(20261210u);
    for (const std::vector<Rect>& areas : monitorSets)
        for (const std::int32_t monitors : {MonitorsPrimary, MonitorsEach})
            for (std::int32_t method = ArrangeAuto; method <= ArrangeBottom; ++method)
                for (const bool beyondThePrimary : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << areas.size() << " monitors, setting " << monitors << ", method "
                                 << method << (beyondThePrimary ? ", crowded" : ""));
                    const Grid grid = Grid::measure(areas, 75, 75);
                    const std::size_t primary = primaryMonitor(areas);
                    const std::int64_t room =
                        placement::FreeCells(grid, {&areas[primary], 1}).freeCount();
                    const DesktopProxy before =
                        desktopOn(areas, beyondThePrimary ? room + 20 : 12, random);
                    const std::vector<IconRecord> after =
                        *plan(before, {}, {SortUsage, method, false, monitors});
                    std::set<std::pair<int, int>> taken;
                    for (const IconRecord& icon : after) {
                        EXPECT_TRUE(placement::onScreen(icon, areas))
                            << icon.left << "," << icon.top;
                        const Cell cell = cellOf(icon, grid);
                        EXPECT_TRUE(taken.insert({cell.column, cell.row}).second);
                        if (monitors == MonitorsPrimary && !beyondThePrimary) {
                            EXPECT_EQ(monitorOf(icon, areas), primary);
                        }
                    }
                    for (const IconRecord& icon : before.icons) {
                        const auto placed = std::find_if(after.begin(), after.end(), [&](auto& a) {
                            return a.name == icon.name;
                        });
                        if (monitors == MonitorsEach && !beyondThePrimary) {
                            EXPECT_EQ(monitorOf(*placed, areas), monitorOf(icon, areas));
                        }
                    }
                }
}

TEST(MonitorsTest, EdgesAreEachMonitorsOwnAndThePrimaryHoldsTheOrigin) {
    const std::vector<Rect>& areas = monitorSets[2];
    EXPECT_EQ(primaryMonitor(areas), 0u);
    EXPECT_EQ(primaryMonitor(monitorSets[1]), 0u); // the taskbar keeps (0, 0) off it
    std::mt19937 random(7);
    const DesktopProxy before = desktopOn(areas, 5, random);
    for (const std::int32_t method : {ArrangeLeft, ArrangeTop}) {
        const std::vector<IconRecord> after =
            *plan(before, {}, {SortUsage, method, false, MonitorsEach});
        for (std::size_t monitor = 0; monitor < areas.size(); ++monitor) {
            // The first icon of each monitor stands in its top-left usable cell.
            const auto first = std::find_if(after.begin(), after.end(), [&](auto& icon) {
                return monitorOf(icon, areas) == monitor;
            });
            ASSERT_NE(first, after.end());
            placement::FreeCells cells(before.grid(), {&areas[monitor], 1});
            const Cell corner = cellOf(*first, before.grid());
            EXPECT_FALSE(cells.usable({corner.column - 1, corner.row}));
            EXPECT_FALSE(cells.usable({corner.column, corner.row - 1}));
        }
    }
}

TEST(MonitorsTest, AValueOutsideTheSettingDecidesNothing) {
    std::mt19937 random(1);
    const DesktopProxy before = desktopOn(monitorSets[0], 3, random);
    EXPECT_FALSE(plan(before, {}, {SortUsage, ArrangeLeft, false, 3}));
    EXPECT_FALSE(plan(before, {}, {SortUsage, ArrangeAuto, false, -1}));
}

} // namespace
