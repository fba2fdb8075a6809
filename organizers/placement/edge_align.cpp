#include "organizers/placement/edge_align.h"

#include <cstdint>

namespace organizers::placement {

using desktop_access::Point;

namespace {

// The top-left corner of cell (column, row). The counters may run past the grid, and absurd
// grids wrap rather than overflow.
Point cellPosition(const DesktopProxy& proxy, std::int64_t column, std::int64_t row) {
    return {desktop_access::wrap32(proxy.cellWidth * column + proxy.originX),
            desktop_access::wrap32(proxy.cellHeight * row + proxy.originY)};
}

enum class Fill { ColumnByColumn, RowByRow };

void fillCells(DesktopProxy& proxy, sorting::Sorter& sorter, const PointTransform& transform,
               Fill fill) {
    sorter.sort(proxy.icons);
    std::int64_t column = 0;
    std::int64_t row = 0;
    for (IconRecord& record : proxy.icons) {
        const Point target = transform(cellPosition(proxy, column, row), proxy);
        record.left = target.x;
        record.top = target.y;
        if (fill == Fill::ColumnByColumn) {
            if (++row >= proxy.rows) {
                row = 0;
                ++column;
            }
        } else if (++column >= proxy.columns) {
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
    const std::int64_t areaLeft = std::int64_t{proxy.originX} - 4;
    return {desktop_access::wrap32(2 * areaLeft + proxy.areaWidth - point.x - proxy.cellWidth),
            point.y};
}

Point mirrorY(const Point& point, const DesktopProxy& proxy) {
    const std::int64_t areaTop = std::int64_t{proxy.originY} - 4;
    return {point.x,
            desktop_access::wrap32(2 * areaTop + proxy.areaHeight - point.y - proxy.cellHeight)};
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
