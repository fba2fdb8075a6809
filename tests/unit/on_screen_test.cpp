// Icons on real screens: usable cells, the edge aligners passing over the rest, what is left
// off-screen or doubled moved to the nearest free usable cell, newcomers placed near where the
// shell put them, and a locked display showing what it showed last.
#include "organizers/placement/on_screen.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <random>
#include <tuple>

#include "organizers/placement/auto_group.h"
#include "organizers/placement/edge_align.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/grid_builder.h"

namespace {

using desktop_access::Cell;
using desktop_access::DesktopProxy;
using desktop_access::Grid;
using desktop_access::IconRecord;
using desktop_access::Rect;
using namespace organizers::placement;

struct InOrder : organizers::sorting::Sorter {
    void sort(std::vector<IconRecord>&) override {}
};

std::u16string label(int number) {
    const std::string text = "icon " + std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

// A live snapshot over work areas, with icons whose box corners stand where given.
struct Screen {
    explicit Screen(std::vector<Rect> areas) {
        proxy.workAreas = std::move(areas);
        const Grid grid = Grid::measure(proxy.workAreas, 75, 75);
        proxy.columns = grid.columns;
        proxy.rows = grid.rows;
        proxy.areaWidth = grid.areaWidth;
        proxy.areaHeight = grid.areaHeight;
        proxy.cellWidth = grid.cellWidth;
        proxy.cellHeight = grid.cellHeight;
        proxy.originX = grid.originX;
        proxy.originY = grid.originY;
        proxy.previous = std::make_shared<DesktopProxy>();
    }
    Screen& icon(int column, int row, int dx = 0, int dy = 0) {
        proxy.icons.push_back(
            fake::iconInCell(label(int(proxy.icons.size())), proxy, column, row, dx, dy));
        return *this;
    }
    Cell cellOf(std::size_t index) const {
        return desktop_access::cellOf(proxy.icons[index], grid());
    }
    Grid grid() const { return proxy.grid(); }
    DesktopProxy proxy;
};

TEST(OnScreenTest, ACellIsUsableWhenTheScreensShowItsBoxWhole) {
    // Taskbar at the top; a smaller monitor on the right, its bottom 56 pixels above the primary's.
    const std::vector<Rect> areas{{0, 40, 1920, 1080}, {1920, 0, 3200, 1024}};
    const Grid grid = Grid::measure(areas, 75, 75);
    EXPECT_FALSE(grid.isUsable({0, 0}, areas)) << "under the taskbar";
    EXPECT_TRUE(grid.isUsable({0, 1}, areas));
    EXPECT_TRUE(grid.isUsable({24, 1}, areas)) << "across both monitors, shown whole";
    EXPECT_FALSE(grid.isUsable({24, 0}, areas)) << "partly under the taskbar";
    EXPECT_TRUE(grid.isUsable({30, 11}, areas));
    EXPECT_FALSE(grid.isUsable({30, 12}, areas)) << "in the gap below the smaller monitor";
    EXPECT_TRUE(grid.isUsable({30, 12}, {})) << "without work areas every cell counts";
    EXPECT_FALSE(grid.isUsable({grid.columns, 0}, areas)) << "outside the grid";
}

TEST(OnScreenTest, EdgeAlignersPassOverPlacesNoScreenShowsWhole) {
    // Taskbar on the left: column 0 lies under it, so the left edge starts at column 1.
    Screen left({{48, 0, 1920, 1080}});
    for (int i = 0; i < 15; ++i)
        left.icon(9, 9);
    InOrder inOrder;
    LeftAlign().place(left.proxy, inOrder);
    EXPECT_EQ(left.cellOf(0), (Cell{1, 0}));
    EXPECT_EQ(left.cellOf(13), (Cell{2, 0}));

    // Right edge over a primary monitor and a shorter one on its right: the fill down the last
    // column stops where the smaller monitor ends and goes on in the next column.
    Screen right({{0, 0, 1920, 1040}, {1920, 0, 3200, 700}});
    for (int i = 0; i < 12; ++i)
        right.icon(0, 0);
    RightAlign().place(right.proxy, inOrder);
    for (const IconRecord& icon : right.proxy.icons)
        EXPECT_TRUE(onScreen(icon, right.proxy.workAreas)) << icon.left << ", " << icon.top;
    EXPECT_EQ(right.proxy.icons[8].left, right.proxy.icons[0].left - right.proxy.cellWidth)
        << "eight cells fit down the smaller monitor";

    // Where every cell is usable the fill is the one it always was.
    Screen plain({{0, 0, 1920, 1040}});
    for (int i = 0; i < 15; ++i)
        plain.icon(9, 9);
    TopAlign().place(plain.proxy, inOrder);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(plain.cellOf(std::size_t(i)),
                  (Cell{i % plain.proxy.columns, i / plain.proxy.columns}));
}

TEST(OnScreenTest, WhatStandsOffScreenOrDoubledGoesToTheNearestFreeUsableCell) {
    Screen screen({{0, 0, 1920, 1040}, {1920, 0, 3200, 700}});
    screen.icon(3, 3).icon(3, 3, 5, 5).icon(30, 11).icon(8, 2, 9, -7).icon(4, 3);
    std::vector<bool> pinned{false, false, false, false, true};
    const IconRecord offGrid = screen.proxy.icons[3];
    keepOnScreen(screen.proxy.icons, screen.grid(), screen.proxy.workAreas, pinned);
    EXPECT_EQ(screen.cellOf(0), (Cell{3, 3}));
    EXPECT_EQ(screen.cellOf(1), (Cell{3, 2})) << "doubled: the nearest free cell, the upper first";
    EXPECT_EQ(screen.cellOf(2), (Cell{30, 7})) << "below the smaller monitor: up onto it";
    EXPECT_EQ(screen.proxy.icons[3].left, offGrid.left) << "on a screen, alone: it stays as it is";
    EXPECT_EQ(screen.cellOf(4), (Cell{4, 3})) << "pinned: never moved";

    // With no free usable cell an icon stays where it stands.
    Screen full({{0, 0, 200, 200}});
    full.icon(0, 0).icon(1, 0).icon(0, 1).icon(1, 1).icon(1, 1);
    const IconRecord last = full.proxy.icons.back();
    keepOnScreen(full.proxy.icons, full.grid(), full.proxy.workAreas);
    EXPECT_EQ(full.proxy.icons.back().left, last.left);
    EXPECT_EQ(full.proxy.icons.back().top, last.top);
}

TEST(OnScreenTest, AnIconJustArrivedTakesTheNearestFreeCellFromWhereTheShellPutIt) {
    // The stored desktop knew the others. The newcomer lands on (5, 5), whose neighbours above
    // and below are taken: the search of the others' snap would go on to (4, 4); the nearest
    // free cell is (4, 5).
    Screen screen({{0, 0, 1920, 1040}});
    screen.icon(5, 5).icon(5, 4).icon(5, 6).icon(5, 5, 6, 4);
    screen.proxy.icons.back().name = u"new";
    for (std::size_t i = 0; i + 1 < screen.proxy.icons.size(); ++i)
        screen.proxy.previous->icons.push_back(screen.proxy.icons[i]);
    fake::setGrid(*screen.proxy.previous, screen.proxy.columns, screen.proxy.rows, 79);
    screen.proxy.previous->areaWidth = screen.proxy.areaWidth;
    screen.proxy.previous->areaHeight = screen.proxy.areaHeight;
    InOrder sorter;
    AutoGroup().place(screen.proxy, sorter);
    EXPECT_EQ(screen.cellOf(0), (Cell{5, 5}));
    EXPECT_EQ(screen.cellOf(3), (Cell{4, 5}));
    EXPECT_EQ(screen.proxy.icons[3].left, screen.grid().cellCorner(Cell{4, 5}).x);

    // Dropped on a free cell, it is snapped onto that cell.
    screen.proxy.icons[3] = fake::iconInCell(u"new", screen.proxy, 12, 7, -9, 11);
    AutoGroup().place(screen.proxy, sorter);
    EXPECT_EQ(screen.cellOf(3), (Cell{12, 7}));
    EXPECT_EQ(screen.proxy.icons[3].top, screen.grid().cellCorner(Cell{12, 7}).y);
}

// On random grids, crowded and sparse, with a taskbar and a smaller second monitor, and starts
// inside and outside the grid: the nearest free usable cell is the one the whole grid, looked
// through cell by cell, gives (by distance, then the upper row, then the left column).
TEST(OnScreenTest, TheNearestFreeCellIsTheNearestOfAll) {
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        const std::vector<Rect> areas{{0, 40, 1280, 1024}, {1280, 0, 1280 + 640, 560}};
        const Grid grid = Grid::measure(areas, 75, 75);
        FreeCells cells(grid, areas);
        ASSERT_TRUE(cells.indexed());
        const int taken = std::uniform_int_distribution<int>(0, grid.columns * grid.rows)(random);
        for (int i = 0; i < taken; ++i)
            cells.take({std::uniform_int_distribution<int>(0, grid.columns - 1)(random),
                        std::uniform_int_distribution<int>(0, grid.rows - 1)(random)});
        const Cell start{std::uniform_int_distribution<int>(-5, grid.columns + 5)(random),
                         std::uniform_int_distribution<int>(-5, grid.rows + 5)(random)};
        const Cell from{std::clamp(start.column, 0, grid.columns - 1),
                        std::clamp(start.row, 0, grid.rows - 1)};
        std::optional<std::tuple<long, int, int>> best;
        for (int row = 0; row < grid.rows; ++row)
            for (int column = 0; column < grid.columns; ++column)
                if (cells.free({column, row})) {
                    const long dx = column - from.column, dy = row - from.row;
                    best = std::min(best.value_or(std::tuple{LONG_MAX, 0, 0}),
                                    std::tuple{dx * dx + dy * dy, row, column});
                }
        const std::optional<Cell> found = cells.nearestFree(start);
        ASSERT_EQ(found.has_value(), best.has_value()) << "round " << round;
        if (found) {
            EXPECT_EQ(found->row, std::get<1>(*best)) << "round " << round;
            EXPECT_EQ(found->column, std::get<2>(*best)) << "round " << round;
        }
    }
}

TEST(OnScreenTest, LockedADisplayShowsWhatItShowedLast) {
    // The store holds where icons stood when it was last written (an opening writes the places
    // as they stand, a hand move included); the display remembers its last arrangement.
    Screen screen({{0, 0, 1920, 1040}});
    screen.icon(2, 2).icon(7, 3).icon(9, 9);
    desktop_access::Layouts layouts;
    std::vector<desktop_access::Place> places;
    for (const desktop_access::IconRecord& icon : screen.proxy.icons)
        places.push_back({icon.name, icon.left, icon.top});
    layouts.remember(screen.proxy.configuration(), places);
    screen.proxy.icons[1] = fake::iconInCell(label(1), screen.proxy, 11, 6); // moved by hand
    screen.proxy.previous->icons = screen.proxy.icons;
    fake::setGrid(*screen.proxy.previous, screen.proxy.columns, screen.proxy.rows, 79);
    screen.proxy.previous->areaWidth = screen.proxy.areaWidth;
    screen.proxy.previous->areaHeight = screen.proxy.areaHeight;
    InOrder sorter;
    AutoGroup locked;
    locked.locked = true;
    locked.memory.layouts = &layouts;
    locked.place(screen.proxy, sorter);
    EXPECT_EQ(screen.cellOf(1), (Cell{7, 3})) << "moved by hand: back to the display's place";
    EXPECT_EQ(screen.cellOf(2), (Cell{9, 9}));

    // Unlocked, a move by hand is taken in: snapped where it was dropped.
    screen.proxy.icons[1] = fake::iconInCell(label(1), screen.proxy, 11, 6, 8, -6);
    AutoGroup().place(screen.proxy, sorter);
    EXPECT_EQ(screen.cellOf(1), (Cell{11, 6}));
}

} // namespace
