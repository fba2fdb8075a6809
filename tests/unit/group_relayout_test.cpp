#include "organizers/placement/group_relayout.h"

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/grid_builder.h"

namespace {

using desktop_access::Cell;
using desktop_access::DesktopProxy;
using desktop_access::IconRecord;
using desktop_access::Rect;
using namespace organizers::placement;

std::u16string label(int number) {
    const std::string text = "icon " + std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

// A stored arrangement on an old grid and a live desktop of the same icons, scattered, on a new
// grid of 80-pixel cells.
class Relayout {
  public:
    Relayout(int oldColumns, int oldRows, int columns, int rows) {
        fake::setGrid(live, columns, rows);
        live.previous = std::make_shared<DesktopProxy>();
        fake::setGrid(*live.previous, oldColumns, oldRows);
    }
    Relayout& stored(const std::u16string& name, int column, int row, int dx = 0, int dy = 0) {
        live.previous->icons.push_back(fake::iconInCell(name, *live.previous, column, row, dx, dy));
        live.icons.push_back(fake::iconAt(name, 7777, 5555));
        return *this;
    }
    Relayout& block(int left, int top, int right, int bottom) {
        for (int row = top; row < bottom; ++row)
            for (int column = left; column < right; ++column)
                stored(label(static_cast<int>(live.icons.size())), column, row);
        return *this;
    }
    void run() { relayoutGroups(live); }

    Cell cell(const std::u16string& name) const {
        for (const IconRecord& icon : live.icons)
            if (icon.name == name) {
                EXPECT_EQ((icon.left - live.originX) % live.cellWidth, 0) << "not on a cell";
                return cellOf(icon, live.grid());
            }
        ADD_FAILURE() << "no icon";
        return {};
    }
    // The cells of every live icon: (left, top, right, bottom), one past the last.
    Rect bounds() const {
        IconGroup all{0, live.icons, live.grid()};
        return cellBounds(all);
    }

    DesktopProxy live;
};

TEST(GroupRelayoutTest, WithoutAStoredArrangementNothingMoves) {
    DesktopProxy live;
    fake::setGrid(live, 24, 13);
    live.icons = {fake::iconAt(u"a", 13, 17), fake::iconAt(u"b", 13, 17)};
    relayoutGroups(live);
    live.previous = std::make_shared<DesktopProxy>(); // no icons, a grid of zeros
    relayoutGroups(live);
    EXPECT_EQ(live.icons[1].left, 13);
    EXPECT_EQ(live.icons[1].top, 17);
}

TEST(GroupRelayoutTest, CornerGroupsStayInTheirCorners) {
    Relayout layout(20, 12, 24, 15);
    layout.block(0, 0, 2, 2).block(18, 9, 20, 12);
    layout.live.icons.push_back(fake::iconAt(u"newcomer", 333, 222));
    layout.run();
    EXPECT_EQ(layout.cell(label(0)), (Cell{0, 0}));
    EXPECT_EQ(layout.cell(label(3)), (Cell{1, 1}));
    // The 2 x 3 group of the bottom-right corner goes to (22, 12, 24, 15), keeping its shape.
    EXPECT_EQ(layout.cell(label(4)), (Cell{22, 12}));
    EXPECT_EQ(layout.cell(label(5)), (Cell{23, 12}));
    EXPECT_EQ(layout.cell(label(9)), (Cell{23, 14}));
    EXPECT_EQ(layout.live.icons.back().left, 333);
    EXPECT_EQ(layout.live.icons.back().top, 222);
}

TEST(GroupRelayoutTest, FreeGroupsKeepTheirRelativePlaceRoundingHalfUp) {
    Relayout free(20, 12, 30, 15);
    free.stored(u"free", 10, 4).run();
    EXPECT_EQ(free.cell(u"free"), (Cell{15, 5}));

    Relayout half(4, 4, 5, 5); // 2 x 5 / 4 = 2.5
    half.stored(u"free", 2, 2).run();
    EXPECT_EQ(half.cell(u"free"), (Cell{3, 3}));

    Relayout under(100, 100, 249, 249); // 1 x 249 / 100 = 2.49
    under.stored(u"free", 1, 1).run();
    EXPECT_EQ(under.cell(u"free"), (Cell{2, 2}));
}

TEST(GroupRelayoutTest, EdgeGroupsKeepTheirEdgeAndTakeTheCellsTheyNeed) {
    // Three in a column at the left edge: one column wide, shifted to row 5 (4 x 15 / 12).
    Relayout three(20, 12, 20, 15);
    three.block(0, 4, 1, 7).run();
    EXPECT_EQ(three.cell(label(0)), (Cell{0, 5}));
    EXPECT_EQ(three.cell(label(2)), (Cell{0, 7}));

    // Four over three rows and two columns: reflowed into one column from row 5, the fourth
    // running on into the next column.
    Relayout four(20, 12, 20, 15);
    four.stored(u"a", 0, 4).stored(u"b", 0, 5).stored(u"c", 0, 6).stored(u"d", 1, 5).run();
    EXPECT_EQ(four.cell(u"a"), (Cell{0, 5}));
    EXPECT_EQ(four.cell(u"b"), (Cell{0, 6}));
    EXPECT_EQ(four.cell(u"c"), (Cell{0, 7}));
    EXPECT_EQ(four.cell(u"d"), (Cell{1, 5}));

    // A full-width row of ten into eight columns: two rows, filled row by row in column order.
    Relayout row(10, 6, 8, 6);
    row.block(0, 0, 10, 1).run();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(row.cell(label(i)), (Cell{i % 8, i / 8})) << i;

    // Two such rows: still filled row by row, so the first row's icons stay together.
    Relayout rows(10, 6, 8, 6);
    rows.block(0, 0, 10, 2).run();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(rows.cell(label(i)), (Cell{i % 8, i / 8})) << i;
}

// One group per stored arrangement, old grid 20 x 12, new grid 24 x 15: where it ends up.
TEST(GroupRelayoutTest, EveryCombinationOfEdgesHasItsTarget) {
    struct Case {
        const char* what;
        Rect stored;
        Rect expected;
    };
    const Case cases[] = {
        {"left and bottom", {0, 10, 3, 12}, {0, 13, 3, 15}},
        {"top and right", {18, 0, 20, 2}, {22, 0, 24, 2}},
        {"top only: 6 icons over 3 columns take 2 rows", {8, 0, 11, 2}, {10, 0, 13, 2}},
        {"right only: 3 rows of 1", {19, 5, 20, 8}, {23, 6, 24, 9}},
        {"right only: 6 icons over 2 rows take 3 columns", {17, 5, 20, 7}, {21, 6, 24, 8}},
        {"bottom only", {5, 11, 7, 12}, {6, 14, 8, 15}},
        {"full width at the bottom: 40 icons in 2 rows of 24", {0, 10, 20, 12}, {0, 13, 24, 15}},
        {"full height at the right: 24 icons in 2 columns of 15", {18, 0, 20, 12}, {22, 0, 24, 15}},
        {"full height inside: 12 icons in 1 column", {9, 0, 10, 12}, {11, 0, 12, 12}},
    };
    for (const Case& c : cases) {
        Relayout layout(20, 12, 24, 15);
        layout.block(c.stored.left, c.stored.top, c.stored.right, c.stored.bottom).run();
        EXPECT_EQ(layout.bounds(), c.expected) << c.what;
    }
}

TEST(GroupRelayoutTest, GroupsPastTheGridArePulledBackIn) {
    // Rescaled from columns 15 to 17 of 20 to columns 8 to 10 of 10: shifted left by one.
    Relayout right(20, 12, 10, 6);
    right.block(15, 4, 18, 5).run();
    EXPECT_EQ(right.bounds(), (Rect{7, 2, 10, 3}));

    // Stored a cell and a half left of the area: rescaled to start at column -2, which measures
    // as column -1; pinned at column 0 and reflowed.
    Relayout left(20, 12, 40, 15);
    left.stored(u"a", -1, 5, -44).stored(u"b", 0, 5).stored(u"c", 1, 5).run();
    EXPECT_EQ(left.cell(u"a"), (Cell{0, 6}));
    EXPECT_EQ(left.cell(u"b"), (Cell{1, 6}));
    EXPECT_EQ(left.cell(u"c"), (Cell{2, 6}));

    // The same above the area: rescaled to start at row -2, pinned at row 0, and as the target is
    // then one cell high, reflowed into the columns to the right.
    Relayout above(20, 12, 24, 24);
    above.stored(u"a", 5, -1, 0, -44).stored(u"b", 5, 0).stored(u"c", 5, 1).run();
    EXPECT_EQ(above.cell(u"a"), (Cell{6, 0}));
    EXPECT_EQ(above.cell(u"b"), (Cell{7, 0}));
    EXPECT_EQ(above.cell(u"c"), (Cell{8, 0}));
}

TEST(GroupRelayoutTest, NeighboursDiagonalsIncludedFormOneGroup) {
    DesktopProxy stored;
    fake::setGrid(stored, 20, 12);
    const auto groupsOf = [&](std::vector<std::pair<int, int>> cells) {
        std::vector<IconRecord> icons;
        for (auto [column, row] : cells)
            icons.push_back(fake::iconInCell(label(column * 100 + row), stored, column, row));
        std::vector<std::size_t> sizes;
        for (const IconGroup& group : findGroups(icons, stored.grid())) {
            sizes.push_back(group.icons.size());
            EXPECT_EQ(group.grid, stored.grid());
        }
        return sizes;
    };
    EXPECT_EQ(groupsOf({{5, 5}, {6, 6}, {7, 7}}), (std::vector<std::size_t>{3}));
    EXPECT_EQ(groupsOf({{5, 5}, {7, 5}}), (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(groupsOf({{7, 5}, {5, 5}, {6, 9}, {6, 8}}), (std::vector<std::size_t>{1, 1, 2}));

    std::vector<IconRecord> corner{fake::iconInCell(u"a", stored, 19, 11),
                                   fake::iconInCell(u"b", stored, 0, 3)};
    const auto groups = findGroups(corner, stored.grid());
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].icons[0].name, u"b"); // nearest the origin first
    EXPECT_EQ(groups[0].edges, EdgeLeft);
    EXPECT_EQ(groups[1].edges, EdgeRight | EdgeBottom);
    EXPECT_TRUE(isNear(groups[0], fake::iconInCell(u"c", stored, 1, 4)));
    EXPECT_FALSE(isNear(groups[0], fake::iconInCell(u"c", stored, 2, 3)));
    EXPECT_EQ(boxBounds(groups[1]), (Rect{1524, 884, 1604, 964}));

    // The reach ends one cell and 10 pixels from the box, measured to the icon's centre: with
    // cells of 20 pixels, icons with one empty cell between them are just out of reach.
    DesktopProxy narrow;
    fake::setGrid(narrow, 40, 20, 20);
    const IconGroup single{EdgeNone, {fake::iconInCell(u"a", narrow, 5, 5)}, narrow.grid()};
    EXPECT_TRUE(isNear(single, fake::iconInCell(u"b", narrow, 7, 5, -1)));
    EXPECT_FALSE(isNear(single, fake::iconInCell(u"b", narrow, 7, 5)));
    EXPECT_TRUE(isNear(single, fake::iconInCell(u"b", narrow, 3, 5)));
    EXPECT_FALSE(isNear(single, fake::iconInCell(u"b", narrow, 3, 5, -1)));
    EXPECT_FALSE(isNear(single, fake::iconInCell(u"b", narrow, 5, 7)));
    EXPECT_TRUE(isNear(single, fake::iconInCell(u"b", narrow, 5, 3)));
}

TEST(GroupRelayoutTest, LabelInTwoGroupsTakesThePlaceOfTheLastGroup) {
    Relayout layout(20, 12, 20, 15);
    layout.stored(u"dup", 2, 2).stored(u"x", 3, 2).stored(u"dup", 15, 8).stored(u"y", 16, 8);
    layout.live.icons.erase(layout.live.icons.begin() + 2); // one live icon of that label
    layout.run();
    EXPECT_EQ(layout.cell(u"x"), (Cell{3, 3}));
    EXPECT_EQ(layout.cell(u"y"), (Cell{16, 10}));
    EXPECT_EQ(layout.cell(u"dup"), (Cell{15, 10}));
}

TEST(GroupRelayoutTest, GridsWithoutCellsLeaveIconsWhereTheyWereStored) {
    for (int variant = 0; variant < 4; ++variant) {
        Relayout layout(20, 12, 24, 15);
        layout.block(3, 3, 5, 5);
        layout.live.previous->rows = variant == 0 ? 0 : 12;
        layout.live.previous->cellWidth = variant == 1 ? 0 : 80;
        layout.live.columns = variant == 2 ? 0 : 24;
        layout.live.previous->cellHeight = variant == 3 ? -80 : 80;
        layout.run();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(layout.live.icons[i].left, layout.live.previous->icons[i].left) << variant;
            EXPECT_EQ(layout.live.icons[i].top, layout.live.previous->icons[i].top) << variant;
        }
    }
}

// Random stored desktops of rectangular blocks and single icons, a few pixels off their cells:
// relaid onto a grid of the same size, every group that fills its rectangle goes back to its own
// cells, and icons the store does not know stay where they are.
TEST(GroupRelayoutTest, SweepSameSizeKeepsFullGroupsInPlace) {
    std::mt19937 random(9);
    int fullGroups = 0;
    for (int round = 0; round < 200; ++round) {
        const int columns = std::uniform_int_distribution<int>(4, 24)(random);
        const int rows = std::uniform_int_distribution<int>(3, 14)(random);
        Relayout layout(columns, rows, columns, rows);
        std::set<std::pair<int, int>> used;
        const int blocks = std::uniform_int_distribution<int>(1, 6)(random);
        for (int b = 0; b < blocks; ++b) {
            const int left = std::uniform_int_distribution<int>(0, columns - 1)(random);
            const int top = std::uniform_int_distribution<int>(0, rows - 1)(random);
            const int right =
                std::min(columns, left + std::uniform_int_distribution<int>(1, 4)(random));
            const int bottom =
                std::min(rows, top + std::uniform_int_distribution<int>(1, 3)(random));
            for (int row = top; row < bottom; ++row)
                for (int column = left; column < right; ++column)
                    if (used.insert({column, row}).second)
                        layout.stored(label(static_cast<int>(layout.live.icons.size())), column,
                                      row, static_cast<int>(random() % 21) - 10);
        }
        layout.live.icons.push_back(fake::iconAt(u"newcomer", 4321, 1234));
        const auto groups = findGroups(layout.live.previous->icons, layout.live.previous->grid());
        layout.run();

        EXPECT_EQ(layout.live.icons.back().left, 4321);
        for (const IconGroup& group : groups) {
            const Rect bounds = cellBounds(group);
            const auto area = (bounds.right - bounds.left) * (bounds.bottom - bounds.top);
            if (static_cast<std::size_t>(area) != group.icons.size())
                continue;
            ++fullGroups;
            for (const IconRecord& icon : group.icons)
                EXPECT_EQ(layout.cell(icon.name), cellOf(icon, layout.live.previous->grid()))
                    << "round " << round;
        }
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    EXPECT_GT(fullGroups, 300);
}

} // namespace
