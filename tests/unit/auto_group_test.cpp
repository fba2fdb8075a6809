#include "organizers/placement/auto_group.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_desktop.h"
#include "tests/support/grid_builder.h"
#include "tests/support/live_snapshot.h"

namespace {

using desktop_access::Cell;
using desktop_access::DesktopProxy;
using desktop_access::IconRecord;
using namespace organizers::placement;

// Automatic grouping keeps the user's order and never asks its sorter.
struct NotAsked : organizers::sorting::Sorter {
    void sort(std::vector<IconRecord>&) override { ADD_FAILURE() << "the sorter was asked"; }
};

std::u16string nameOf(int column, int row) {
    const std::string text = std::to_string(column) + "," + std::to_string(row);
    return std::u16string(text.begin(), text.end());
}

bool onCell(const IconRecord& icon, const DesktopProxy& proxy, Cell cell) {
    return icon.left == fake::cellX(proxy, cell.column) && icon.top == fake::cellY(proxy, cell.row);
}

// Fills a 10 x 8 grid except for the free cells, then adds one more icon a few pixels off the
// start cell, which is taken: where does that icon end up?
Cell destinationFrom(Cell start, const std::set<std::pair<int, int>>& free) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 10, 8);
    for (int column = 0; column < 10; ++column)
        for (int row = 0; row < 8; ++row)
            if (!free.contains({column, row}))
                proxy.icons.push_back(fake::iconInCell(nameOf(column, row), proxy, column, row));
    proxy.icons.push_back(fake::iconInCell(u"moved", proxy, start.column, start.row, 7, -5));
    snapToGrid(proxy);
    return cellOf(proxy.icons.back(), proxy.grid());
}

TEST(SnapToGridTest, SearchRunsDownRightUpLeftFromFiveThree) {
    // Radius 1 gives (5,4), (5,3), (5,2), (4,2); radius 2 gives (5,5), (6,3), (5,1), (3,2). The
    // diagonal neighbours (6,4), (4,4) and (6,2) are never tried.
    const std::vector<std::pair<int, int>> order{{5, 4}, {5, 2}, {4, 2}, {5, 5},
                                                 {6, 3}, {5, 1}, {3, 2}};
    for (std::size_t first = 0; first < order.size(); ++first) {
        std::set<std::pair<int, int>> free{{6, 4}, {4, 4}, {6, 2}};
        free.insert(order.begin() + static_cast<std::ptrdiff_t>(first), order.end());
        EXPECT_EQ(destinationFrom({5, 3}, free), (Cell{order[first].first, order[first].second}))
            << "first free candidate " << first;
    }
}

TEST(SnapToGridTest, SearchFromTheCornerTruncatesTowardZero) {
    // Radius 1 gives (0,1) and then (0,0) three times; radius 2 gives (0,2) before (1,0).
    EXPECT_EQ(destinationFrom({0, 0}, {{0, 1}, {1, 0}}), (Cell{0, 1}));
    EXPECT_EQ(destinationFrom({0, 0}, {{1, 0}, {0, 2}, {1, 1}}), (Cell{0, 2}));
    EXPECT_EQ(destinationFrom({0, 0}, {{1, 0}, {1, 1}}), (Cell{1, 0}));
}

TEST(SnapToGridTest, IconsLeftOfTheGridComeInAlongTheirRow) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 10, 8);
    // Column -3: the right-hand line reaches (0,2) at radius 3, and (1,2) at radius 5.
    proxy.icons.push_back(fake::iconAt(u"minus3", -300, fake::cellY(proxy, 2)));
    ASSERT_EQ(cellOf(proxy.icons[0], proxy.grid()), (Cell{-3, 2}));
    // Far off: a bound on the search must let this one reach the grid.
    proxy.icons.push_back(fake::iconAt(u"far", -80'000, fake::cellY(proxy, 5)));
    snapToGrid(proxy);
    EXPECT_TRUE(onCell(proxy.icons[0], proxy, {0, 2}));
    EXPECT_TRUE(onCell(proxy.icons[1], proxy, {0, 5}));

    proxy.icons = {fake::iconInCell(u"there", proxy, 0, 2),
                   fake::iconAt(u"minus3", -300, fake::cellY(proxy, 2))};
    snapToGrid(proxy);
    EXPECT_TRUE(onCell(proxy.icons[1], proxy, {1, 2}));
}

TEST(SnapToGridTest, SharedCellGoesToTheFirstAndIsNotGivenOutAgain) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 10, 8);
    proxy.icons = {
        fake::iconInCell(u"first", proxy, 5, 3, 3, 3),
        fake::iconInCell(u"second", proxy, 5, 3, 10, 9),
        fake::iconInCell(u"c", proxy, 6, 4),
        fake::iconInCell(u"e", proxy, 6, 5),
        fake::iconInCell(u"f", proxy, 6, 3),
        fake::iconInCell(u"d", proxy, 6, 4, -5, 2),
    };
    snapToGrid(proxy);
    EXPECT_TRUE(onCell(proxy.icons[0], proxy, {5, 3}));
    EXPECT_TRUE(onCell(proxy.icons[1], proxy, {5, 4}));
    // Radius 1 from (6,4) ends at (5,3), where "first" still stands; radius 2 starts at (6,6).
    EXPECT_TRUE(onCell(proxy.icons[5], proxy, {6, 6}));
}

TEST(SnapToGridTest, AreaLeftOfZeroKeepsIconsOnBothMonitorsInTheirCells) {
    fake::reset();
    desktop_access::Desktop desktop;
    desktop.areas = {{-1920, 0, 0, 1080}, {0, 0, 1920, 1080}};
    // Cells are 79 pixels and start at x = -1916: column 2 is on the left monitor, column 30 on
    // the primary one, column 24 spans both.
    desktop.addIcon(u"left", -1916 + 2 * 79, 4 + 79)
        .addIcon(u"left, off", -1916 + 20 * 79 + 5, 4 + 3 * 79 - 6)
        .addIcon(u"primary", -1916 + 30 * 79, 4 + 2 * 79)
        .addIcon(u"across", -1916 + 24 * 79 + 6, 4);
    DesktopProxy proxy = test_support::liveSnapshot(desktop, {});
    ASSERT_EQ(proxy.originX, -1916);
    snapToGrid(proxy);
    EXPECT_TRUE(onCell(proxy.icons[0], proxy, {2, 1}));
    EXPECT_TRUE(onCell(proxy.icons[1], proxy, {20, 3}));
    EXPECT_TRUE(onCell(proxy.icons[2], proxy, {30, 2}));
    EXPECT_TRUE(onCell(proxy.icons[3], proxy, {24, 0}));
}

TEST(SnapToGridTest, FullOrEmptyGridsAndAbsurdPlacesLeaveIconsWhereTheyAre) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 5, 4);
    for (int column = 0; column < 5; ++column)
        for (int row = 0; row < 4; ++row)
            proxy.icons.push_back(fake::iconInCell(nameOf(column, row), proxy, column, row, 2, 1));
    for (int extra = 0; extra < 6; ++extra)
        proxy.icons.push_back(fake::iconInCell(u"heap" + nameOf(extra, 0), proxy, 2, 2, extra, 9));
    proxy.icons.push_back(fake::iconAt(u"min", INT_MIN, INT_MIN));
    proxy.icons.push_back(fake::iconAt(u"max", INT_MAX, INT_MAX));
    proxy.icons.push_back(fake::iconAt(u"far", -2'000'000'000, fake::cellY(proxy, 2)));
    const auto before = proxy.icons;
    snapToGrid(proxy);
    for (std::size_t i = 0; i < proxy.icons.size(); ++i) {
        const bool snapped = i < 20;
        EXPECT_EQ(proxy.icons[i].left, before[i].left - (snapped ? 2 : 0)) << i;
        EXPECT_EQ(proxy.icons[i].top, before[i].top - (snapped ? 1 : 0)) << i;
    }

    for (auto [columns, rows, cell] :
         {std::tuple{0, 4, 80}, std::tuple{5, 0, 80}, std::tuple{5, 4, 0}}) {
        DesktopProxy empty;
        fake::setGrid(empty, columns, rows, cell);
        empty.icons = {fake::iconAt(u"a", 13, 17), fake::iconAt(u"b", 13, 17)};
        snapToGrid(empty);
        EXPECT_EQ(empty.icons[1].left, 13);
        EXPECT_EQ(empty.icons[1].top, 17);
    }
}

// The snap as written out step by step, its search tried radius by radius up to a generous limit.
std::vector<IconRecord> referenceSnap(const DesktopProxy& proxy) {
    std::vector<IconRecord> icons = proxy.icons;
    std::map<std::pair<int, int>, std::u16string> map;
    for (const IconRecord& icon : icons) {
        const Cell cell = cellOf(icon, proxy.grid());
        map.try_emplace({cell.column, cell.row}, icon.name);
    }
    const auto inside = [&](int column, int row) {
        return column >= 0 && column < proxy.columns && row >= 0 && row < proxy.rows;
    };
    const auto accepted = [&](int column, int row) {
        return inside(column, row) && !map.contains({column, row});
    };
    for (IconRecord& icon : icons) {
        const Cell cell = cellOf(icon, proxy.grid());
        if (map[{cell.column, cell.row}] == icon.name && inside(cell.column, cell.row)) {
            placeInCell(icon, proxy.grid(), cell);
            continue;
        }
        std::optional<Cell> found;
        if (accepted(cell.column, cell.row))
            found = cell;
        const long limit =
            4L * (std::abs(cell.column) + std::abs(cell.row) + proxy.columns + proxy.rows) + 10;
        for (long radius = 1; !found && radius <= limit; ++radius) {
            for (double angle = 0.0; !found && angle < 6.283; angle += 1.57075) {
                const int column = static_cast<int>(cell.column + radius * std::sin(angle));
                const int row = static_cast<int>(cell.row + radius * std::cos(angle));
                if (accepted(column, row))
                    found = Cell{column, row};
            }
        }
        if (found) {
            placeInCell(icon, proxy.grid(), *found);
            map[{found->column, found->row}] = icon.name;
        }
    }
    return icons;
}

// Random desktops on areas that start at 0 and left of or above it, crowded and sparse, with
// icons up to 50 cells outside the grid: the search that skips the radii where no line meets the
// grid finds what the plain search finds; every icon ends on a cell of its own inside the grid or
// where it stood; and once every icon has a cell, snapping again changes nothing.
TEST(SnapToGridTest, SweepMatchesThePlainSearchAndSettles) {
    std::mt19937 random(5);
    int settled = 0;
    for (int round = 0; round < 300; ++round) {
        DesktopProxy proxy;
        const std::int32_t columns = std::uniform_int_distribution<int>(1, 15)(random);
        const std::int32_t rows = std::uniform_int_distribution<int>(1, 10)(random);
        const std::int32_t cell = std::uniform_int_distribution<int>(30, 110)(random);
        fake::setGrid(proxy, columns, rows, cell, random() % 2 ? 0 : -1920,
                      random() % 2 ? 0 : -1080);
        const int count = std::uniform_int_distribution<int>(0, columns * rows)(random);
        for (int i = 0; i < count; ++i) {
            const bool far = random() % 5 == 0;
            const int column = far ? std::uniform_int_distribution<int>(-50, columns + 50)(random)
                                   : std::uniform_int_distribution<int>(0, columns - 1)(random);
            const int row = far ? std::uniform_int_distribution<int>(-50, rows + 50)(random)
                                : std::uniform_int_distribution<int>(0, rows - 1)(random);
            // Never exactly on a cell, so that an icon found on one was put there.
            const int jitter =
                (1 + static_cast<int>(random() % (cell / 6))) * (random() % 2 ? 1 : -1);
            proxy.icons.push_back(
                fake::iconInCell(nameOf(i, round), proxy, column, row, jitter, -jitter));
        }
        const auto before = proxy.icons;
        const auto expected = referenceSnap(proxy);
        snapToGrid(proxy);

        std::set<std::pair<int, int>> taken;
        bool everyIconOnACell = true;
        for (std::size_t i = 0; i < proxy.icons.size(); ++i) {
            const IconRecord& icon = proxy.icons[i];
            EXPECT_EQ(icon.left, expected[i].left) << "icon " << i;
            EXPECT_EQ(icon.top, expected[i].top) << "icon " << i;
            const Cell at = cellOf(icon, proxy.grid());
            if (at.column >= 0 && at.column < columns && at.row >= 0 && at.row < rows &&
                onCell(icon, proxy, at)) {
                EXPECT_TRUE(taken.insert({at.column, at.row}).second) << "icon " << i;
            } else {
                everyIconOnACell = false;
                EXPECT_EQ(icon.left, before[i].left) << "icon " << i;
                EXPECT_EQ(icon.top, before[i].top) << "icon " << i;
            }
        }
        if (everyIconOnACell) {
            ++settled;
            const auto once = proxy.icons;
            snapToGrid(proxy);
            for (std::size_t i = 0; i < once.size(); ++i) {
                EXPECT_EQ(proxy.icons[i].left, once[i].left) << "icon " << i;
                EXPECT_EQ(proxy.icons[i].top, once[i].top) << "icon " << i;
            }
        }
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    EXPECT_GT(settled, 60);
}

TEST(AutoGroupTest, FirstRefreshWithoutAStoredStateMovesOnlyWhatNoScreenShowsOrWhatIsDoubled) {
    fake::reset();
    desktop_access::Desktop desktop;
    desktop.areas = {{0, 0, 1920, 1080}};
    desktop.addIcon(u"a", 13, 900).addIcon(u"b", 13, 903).addIcon(u"c", -500, 77);
    desktop.addIcon(u"d", 600, 301); // on the screen, off the grid, alone: it stays
    DesktopProxy proxy = test_support::liveSnapshot(desktop, {});
    ASSERT_TRUE(proxy.previous);
    ASSERT_TRUE(proxy.previous->icons.empty());
    const auto before = proxy.icons;
    const desktop_access::Grid grid = proxy.grid();
    NotAsked sorter;
    for (bool locked : {false, true}) {
        AutoGroup placer;
        placer.locked = locked;
        placer.place(proxy, sorter);
        for (std::size_t i : {0, 3}) {
            EXPECT_EQ(proxy.icons[i].left, before[i].left);
            EXPECT_EQ(proxy.icons[i].top, before[i].top);
        }
        // "b" shared a's cell and "c" stood left of every screen: each went to the nearest free
        // usable cell.
        EXPECT_EQ(cellOf(proxy.icons[1], grid), (Cell{0, 10}));
        EXPECT_EQ(cellOf(proxy.icons[2], grid), (Cell{0, 1}));
        EXPECT_EQ(proxy.icons[2].left, grid.cellCorner(Cell{0, 1}).x);
    }
}

class AutoGroupPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::setGrid(live, 20, 12);
        live.previous = std::make_shared<DesktopProxy>();
        fake::setGrid(*live.previous, 20, 12);
        // Cell size and origin alone are no change of size.
        live.previous->cellWidth = 70;
        live.previous->originY = 9;
        live.icons = {fake::iconInCell(u"a", live, 3, 3, 5, 5), fake::iconInCell(u"b", live, 4, 4),
                      fake::iconInCell(u"new", live, 7, 7, 6, 6),
                      fake::iconInCell(u"b", live, 9, 9)};
        live.previous->icons = {fake::iconAt(u"gone", 1, 1), fake::iconInCell(u"b", live, 1, 1),
                                fake::iconInCell(u"a", live, 10, 4),
                                fake::iconInCell(u"b", live, 2, 2)};
    }
    void place(bool locked) {
        AutoGroup placer;
        placer.locked = locked;
        placer.place(live, sorter);
    }
    DesktopProxy live;
    NotAsked sorter;
};

TEST_F(AutoGroupPathTest, UnlockedSnaps) {
    place(false);
    EXPECT_TRUE(onCell(live.icons[0], live, {3, 3}));
    EXPECT_TRUE(onCell(live.icons[2], live, {7, 7}));
}

TEST_F(AutoGroupPathTest, LockedRestoresStoredPlacesAndLeavesNewIcons) {
    place(true);
    EXPECT_TRUE(onCell(live.icons[0], live, {10, 4}));
    // The last stored record of a label wins, and only the first live icon of it takes it.
    EXPECT_TRUE(onCell(live.icons[1], live, {2, 2}));
    EXPECT_EQ(live.icons[2].left, fake::cellX(live, 7) + 6);
    EXPECT_TRUE(onCell(live.icons[3], live, {9, 9}));
}

TEST_F(AutoGroupPathTest, LockedStillCarriesGroupsOverToANewSize) {
    live.previous->icons = {fake::iconInCell(u"a", live, 10, 4)};
    fake::setGrid(live, 30, 15);
    live.icons.resize(1);
    place(true);
    EXPECT_TRUE(onCell(live.icons[0], live, {15, 5}));
}

} // namespace
