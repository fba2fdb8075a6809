#include <gtest/gtest.h>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/icon_moving.h"
#include "tests/support/live_snapshot.h"
#include "tests/windows/desktop_host.h"
#include "winapi/text_win32.h"

namespace {

using test_support::DesktopHost;
using test_support::HostDescription;

HostDescription someIcons(int count) {
    HostDescription description;
    description.icons = test_support::gridOfIcons(count, 4);
    description.icons[1].label = std::wstring(259, L'L');
    description.workAreas = {{0, 0, 1600, 1160}, {1600, 0, 2880, 984}};
    return description;
}

TEST(DesktopEndToEnd, LiveSnapshotHoldsWhatTheDesktopHolds) {
    const HostDescription description = someIcons(9);
    DesktopHost host(description);
    const test_support::HostReport held = host.report();

    desktop_access::DesktopProxy proxy =
        test_support::liveSnapshot(desktop_access::getDesktop(), L"");
    ASSERT_EQ(proxy.icons.size(), held.icons.size());
    LONG widest = 0, tallest = 0;
    for (std::size_t i = 0; i < held.icons.size(); ++i) {
        SCOPED_TRACE(i);
        const desktop_access::IconRecord& record = proxy.icons[i];
        const test_support::ReportedIcon& icon = held.icons[i];
        EXPECT_EQ(record.name, winapi::fromWide(icon.label));
        EXPECT_EQ(record.icon.index, int(i));
        EXPECT_EQ(record.icon.desktop, &desktop_access::getDesktop());
        EXPECT_EQ(
            (RECT{record.left, record.top, record.left + record.width, record.top + record.height}),
            icon.box);
        EXPECT_EQ((POINT{record.left + record.offsetX, record.top + record.offsetY}),
                  icon.position);
        EXPECT_EQ(icon.position, (POINT{description.icons[i].x, description.icons[i].y}));
        widest = std::max(widest, icon.box.right - icon.box.left);
        tallest = std::max(tallest, icon.box.bottom - icon.box.top);
    }
    // The grid comes from the union of the work areas (and the origin) and the largest box.
    EXPECT_EQ(proxy.cellWidth, widest + 4);
    EXPECT_EQ(proxy.cellHeight, tallest + 4);
    EXPECT_EQ(proxy.originX, 4);
    EXPECT_EQ(proxy.originY, 4);
    EXPECT_EQ(proxy.areaWidth, 2880);
    EXPECT_EQ(proxy.areaHeight, 1160 - 4);
    EXPECT_EQ(proxy.columns, 2880 / proxy.cellWidth);
    EXPECT_EQ(proxy.rows, (1160 - 4) / proxy.cellHeight);
}

// Moves every icon of a live snapshot to new places and waits for the moving thread to end.
void moveAndWait(DesktopHost& host, const std::function<POINT(int)>& target) {
    desktop_access::DesktopProxy proxy =
        test_support::liveSnapshot(desktop_access::getDesktop(), L"");
    std::vector<desktop_access::IconRecord> placed = proxy.icons;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const POINT to = target(int(i));
        placed[i].left = to.x - placed[i].offsetX;
        placed[i].top = to.y - placed[i].offsetY;
    }
    desktop_access::applyPlaces(proxy.icons, placed);
    ASSERT_TRUE(desktop_access::waitForGlides(10000)) << "the glide did not end";
    const test_support::HostReport held = host.report();
    ASSERT_EQ(held.icons.size(), proxy.icons.size());
    for (std::size_t i = 0; i < held.icons.size(); ++i)
        EXPECT_EQ(held.icons[i].position, target(int(i))) << "icon " << i;
}

TEST(DesktopEndToEnd, ApplyGlidesAFewIconsToTheirTargets) {
    DesktopHost host(someIcons(3));
    // Few icons take several halving steps, in both directions and by odd distances.
    moveAndWait(host, [](int i) { return POINT{700 - 211 * i, 35 + 333 * i}; });
}

TEST(DesktopEndToEnd, ApplyMovesManyIconsAtOnce) {
    DesktopHost host(someIcons(12));
    moveAndWait(host, [](int i) { return POINT{1500 - 90 * (i % 6), 900 - 120 * (i / 6)}; });
    // And back, from where the first animation left them.
    moveAndWait(host, [](int i) { return POINT{60 + 90 * i, 40}; });
}

} // namespace
