#include "organizers/placement/edge_align.h"

#include <cstdint>

namespace organizers::placement {

using desktop_access::Point;

namespace {

enum class Fill { ColumnByColumn, RowByRow };

void fillCells(DesktopProxy& proxy, sorting::Sorter& sorter, const PointTransform& transform,
               Fill fill) {
    sorter.sort(proxy.icons);
    const Grid grid = proxy.grid();
    std::int64_t column = 0;
    std::int64_t row = 0;
    for (IconRecord& record : proxy.icons) {
        const Point target = transform(grid.cellCorner(column, row), proxy);
        record.left = target.x;
        record.top = target.y;
        if (fill == Fill::ColumnByColumn) {
            if (++row >= grid.rows) {
                row = 0;
                ++column;
            }
        } else if (++column >= grid.columns) {
            column = 0;
            ++row;
        }
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
