#include "organizers/placement/edge_align.h"

#include <cstdint>

namespace organizers::placement {

using desktop_access::Point;

namespace {

enum class Fill { ColumnByColumn, RowByRow };

// Walks the cells in the order of the fill: down the columns, or along the rows.
class CellWalk {
  public:
    CellWalk(const Grid& grid, Fill fill) : grid_(grid), fill_(fill) {}

    Point corner() const { return grid_.cellCorner(column_, row_); }
    // Whether the walk has run past the grid's last column (or row): from there on the icons
    // simply run on past the area.
    bool pastTheGrid() const {
        return fill_ == Fill::ColumnByColumn ? column_ >= grid_.columns : row_ >= grid_.rows;
    }
    void advance() {
        if (fill_ == Fill::ColumnByColumn) {
            if (++row_ >= grid_.rows) {
                row_ = 0;
                ++column_;
            }
        } else if (++column_ >= grid_.columns) {
            column_ = 0;
            ++row_;
        }
    }

  private:
    const Grid& grid_;
    Fill fill_;
    std::int64_t column_ = 0;
    std::int64_t row_ = 0;
};

// Cells whose place no screen shows whole (under a taskbar at the top or left, in the gap beside
// a smaller monitor) are passed over.
void fillCells(DesktopProxy& proxy, sorting::Sorter& sorter, const PointTransform& transform,
               Fill fill) {
    sorter.sort(proxy.icons);
    const Grid grid = proxy.grid();
    CellWalk walk(grid, fill);
    for (IconRecord& record : proxy.icons) {
        Point target = transform(walk.corner(), proxy);
        while (!walk.pastTheGrid() && !grid.fits(target, proxy.workAreas)) {
            walk.advance();
            target = transform(walk.corner(), proxy);
        }
        record.left = target.x;
        record.top = target.y;
        walk.advance();
    }
}

} // namespace

Point keepPoint(const Point& point, const DesktopProxy&) {
    return point;
}

Point mirrorX(const Point& point, const DesktopProxy& proxy) {
    return {proxy.grid().mirroredX(point.x), point.y};
}

Point mirrorY(const Point& point, const DesktopProxy& proxy) {
    return {point.x, proxy.grid().mirroredY(point.y)};
}

void LeftAlign::place(DesktopProxy& proxy, sorting::Sorter& sorter) {
    fillCells(proxy, sorter, transform(), Fill::ColumnByColumn);
}

PointTransform LeftAlign::transform() const {
    return keepPoint;
}

PointTransform RightAlign::transform() const {
    return mirrorX;
}

void TopAlign::place(DesktopProxy& proxy, sorting::Sorter& sorter) {
    fillCells(proxy, sorter, transform(), Fill::RowByRow);
}

PointTransform TopAlign::transform() const {
    return keepPoint;
}

PointTransform BottomAlign::transform() const {
    return mirrorY;
}

} // namespace organizers::placement
