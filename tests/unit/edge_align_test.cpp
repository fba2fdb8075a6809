#include "organizers/placement/edge_align.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

#include "tests/support/grid_builder.h"

namespace {

using desktop_access::DesktopProxy;
using desktop_access::IconRecord;
using namespace organizers::placement;

// Orders by usage, lowest first, so that a test knows the order the fill must follow.
struct ByUsage : organizers::sorting::Sorter {
    void sort(std::vector<IconRecord>& icons) override {
        ++calls;
        std::sort(icons.begin(), icons.end(),
                  [](const IconRecord& a, const IconRecord& b) { return a.usage < b.usage; });
    }
    int calls = 0;
};

struct Failing : organizers::sorting::Sorter {
    void sort(std::vector<IconRecord>&) override { throw std::runtime_error("shell gone"); }
};

void addIcons(DesktopProxy& proxy, int count, std::mt19937& random) {
    std::vector<std::uint32_t> usage(static_cast<std::size_t>(count));
    std::iota(usage.begin(), usage.end(), 0u);
    std::shuffle(usage.begin(), usage.end(), random);
    for (int i = 0; i < count; ++i) {
        proxy.icons.push_back(fake::iconAt(u"icon",
                                           static_cast<std::int32_t>(random() % 4000) - 2000,
                                           static_cast<std::int32_t>(random() % 2000) - 1000));
        proxy.icons.back().usage = usage[static_cast<std::size_t>(i)];
    }
}

TEST(EdgeAlignTest, MirroredColumnsAndRowsFromTheFarEdge) {
    DesktopProxy proxy;
    proxy.areaWidth = 1920;
    proxy.areaHeight = 1036;
    proxy.cellWidth = proxy.cellHeight = 80;
    proxy.originX = proxy.originY = 4;
    proxy.columns = 24;
    proxy.rows = 12;
    EXPECT_EQ(mirrorX({4, 9}, proxy), (desktop_access::Point{1836, 9}));
    EXPECT_EQ(mirrorX({84, 9}, proxy), (desktop_access::Point{1756, 9}));
    EXPECT_EQ(mirrorY({9, 4}, proxy), (desktop_access::Point{9, 952}));
    EXPECT_EQ(keepPoint({-7, 5}, proxy), (desktop_access::Point{-7, 5}));

    // A second monitor left of the primary one: the area runs from -1920 to 1920.
    proxy.originX = -1916;
    proxy.areaWidth = 3840;
    EXPECT_EQ(mirrorX({-1916, 9}, proxy), (desktop_access::Point{1836, 9}));
    EXPECT_EQ(mirrorX({-1836, 9}, proxy), (desktop_access::Point{1756, 9}));
}

TEST(EdgeAlignTest, MoreIconsThanCellsRunPastTheArea) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 3, 1); // area 0 to 280
    for (std::uint32_t i = 0; i < 5; ++i) {
        proxy.icons.push_back(fake::iconAt(u"icon", 0, 0));
        proxy.icons.back().usage = i;
    }
    ByUsage sorter;
    RightAlign().place(proxy, sorter);
    std::vector<std::int32_t> xs;
    for (const auto& icon : proxy.icons)
        xs.push_back(icon.left);
    EXPECT_EQ(xs, (std::vector<std::int32_t>{196, 116, 36, -44, -124}));
    EXPECT_EQ(proxy.icons[4].top, 4);
}

TEST(EdgeAlignTest, SorterFailureWritesNoPosition) {
    DesktopProxy proxy;
    fake::setGrid(proxy, 5, 5);
    proxy.icons.push_back(fake::iconAt(u"a", 333, 444));
    Failing sorter;
    EXPECT_THROW(LeftAlign().place(proxy, sorter), std::runtime_error);
    EXPECT_THROW(BottomAlign().place(proxy, sorter), std::runtime_error);
    EXPECT_EQ(proxy.icons[0].left, 333);
    EXPECT_EQ(proxy.icons[0].top, 444);
}

// Many grids (areas that start at 0 and left of or above it, degenerate column and row counts,
// fewer and more icons than cells), every aligner, locked or not: each icon lands on the cell the
// fill order gives it in sorter order, the mirrored aligners reflect the plain ones within the
// area, and while cells remain every icon has a cell of its own inside the area.
TEST(EdgeAlignTest, SweepFillsCellsInSorterOrder) {
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        const std::int32_t areaLeft = std::array{0, -1920, -1280}[random() % 3];
        const std::int32_t areaTop = std::array{0, -1080}[random() % 2];
        const std::int32_t cell = std::array{43, 80, 107}[random() % 3];
        const std::int32_t columns = std::array{0, 1, 2, 5, 24}[random() % 5];
        const std::int32_t rows = std::array{0, 1, 3, 13}[random() % 4];
        DesktopProxy proxy;
        fake::setGrid(proxy, columns, rows, cell, areaLeft, areaTop);
        addIcons(proxy, std::uniform_int_distribution<int>(0, 2 * columns * rows + 5)(random),
                 random);

        const auto placed = [&](Placer&& placer, bool locked) {
            DesktopProxy copy;
            fake::setGrid(copy, columns, rows, cell, areaLeft, areaTop);
            copy.icons = proxy.icons;
            placer.locked = locked;
            ByUsage sorter;
            placer.place(copy, sorter);
            EXPECT_EQ(sorter.calls, 1);
            return copy.icons;
        };
        const bool locked = random() % 2 == 0;
        const auto left = placed(LeftAlign(), locked);
        const auto right = placed(RightAlign(), !locked);
        const auto top = placed(TopAlign(), locked);
        const auto bottom = placed(BottomAlign(), !locked);

        const std::int64_t areaRight = std::int64_t{areaLeft} + proxy.areaWidth;
        const std::int64_t areaBottom = std::int64_t{areaTop} + proxy.areaHeight;
        std::set<std::pair<std::int32_t, std::int32_t>> cellsLeft, cellsRight, cellsTop,
            cellsBottom;
        for (std::size_t i = 0; i < left.size(); ++i) {
            const auto index = static_cast<std::int32_t>(i);
            ASSERT_EQ(left[i].usage, i);
            ASSERT_EQ(top[i].usage, i);
            const std::int32_t perColumn = std::max(rows, 1);
            const std::int32_t perRow = std::max(columns, 1);
            EXPECT_EQ(left[i].left, fake::cellX(proxy, index / perColumn));
            EXPECT_EQ(left[i].top, fake::cellY(proxy, index % perColumn));
            EXPECT_EQ(top[i].left, fake::cellX(proxy, index % perRow));
            EXPECT_EQ(top[i].top, fake::cellY(proxy, index / perRow));
            // Mirrored: as far from the area's left end as the plain box is from its right end.
            EXPECT_EQ(right[i].left - areaLeft, areaRight - (left[i].left + cell));
            EXPECT_EQ(right[i].top, left[i].top);
            EXPECT_EQ(bottom[i].top - areaTop, areaBottom - (top[i].top + cell));
            EXPECT_EQ(bottom[i].left, top[i].left);

            if (index < columns * rows) {
                for (const auto* icon : {&left[i], &right[i], &top[i], &bottom[i]}) {
                    EXPECT_GE(icon->left, areaLeft - 4);
                    EXPECT_LE(icon->left + cell, areaRight + 4);
                    EXPECT_GE(icon->top, areaTop - 4);
                    EXPECT_LE(icon->top + cell, areaBottom + 4);
                }
                EXPECT_TRUE(cellsLeft.insert({left[i].left, left[i].top}).second);
                EXPECT_TRUE(cellsRight.insert({right[i].left, right[i].top}).second);
                EXPECT_TRUE(cellsTop.insert({top[i].left, top[i].top}).second);
                EXPECT_TRUE(cellsBottom.insert({bottom[i].left, bottom[i].top}).second);
            }
        }
        if (HasFailure())
            FAIL() << "round " << round;
    }
}

} // namespace
