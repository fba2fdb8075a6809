#include "desktop_access/grid.h"

#include <algorithm>

namespace desktop_access {

std::size_t CellHash::operator()(Cell cell) const noexcept {
    std::uint64_t key = (std::uint64_t{static_cast<std::uint32_t>(cell.column)} << 32) |
                        static_cast<std::uint32_t>(cell.row);
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    return static_cast<std::size_t>(key);
}

Grid Grid::measure(const std::vector<Rect>& workAreas, std::int32_t widestBox,
                   std::int32_t tallestBox) {
    Rect area; // always includes the origin of the primary monitor
    for (const Rect& r : workAreas) {
        area.left = std::min(area.left, r.left);
        area.top = std::min(area.top, r.top);
        area.right = std::max(area.right, r.right);
        area.bottom = std::max(area.bottom, r.bottom);
    }
    Grid grid;
    grid.cellWidth = add32(widestBox, gridMargin);
    grid.cellHeight = add32(tallestBox, gridMargin);
    grid.originX = add32(area.left, gridMargin);
    grid.originY = add32(area.top, gridMargin);
    grid.areaWidth = sub32(area.right, area.left);
    grid.areaHeight = sub32(sub32(area.bottom, area.top), gridMargin);
    grid.columns = grid.cellWidth > 0 ? truncToInt32(double(grid.areaWidth) / grid.cellWidth) : 0;
    grid.rows = grid.cellHeight > 0 ? truncToInt32(double(grid.areaHeight) / grid.cellHeight) : 0;
    return grid;
}

bool Grid::hasCells() const {
    return columns > 0 && rows > 0 && cellWidth > 0 && cellHeight > 0;
}

bool Grid::contains(Cell cell) const {
    return cell.column >= 0 && cell.column < columns && cell.row >= 0 && cell.row < rows;
}

std::int32_t Grid::areaLeft() const {
    return sub32(originX, gridMargin);
}

std::int32_t Grid::areaTop() const {
    return sub32(originY, gridMargin);
}

Point Grid::cellCorner(std::int64_t column, std::int64_t row) const {
    return {wrap32(cellWidth * column + originX), wrap32(cellHeight * row + originY)};
}

Point Grid::cellCorner(Cell cell) const {
    return cellCorner(std::int64_t{cell.column}, std::int64_t{cell.row});
}

std::int32_t Grid::mirroredX(std::int32_t x) const {
    const std::int64_t start = std::int64_t{originX} - gridMargin;
    return wrap32(2 * start + areaWidth - x - cellWidth);
}

std::int32_t Grid::mirroredY(std::int32_t y) const {
    const std::int64_t start = std::int64_t{originY} - gridMargin;
    return wrap32(2 * start + areaHeight - y - cellHeight);
}

Cell Grid::cellAt(std::int32_t left, std::int32_t top) const {
    const double startX = originX - double(gridMargin);
    const double startY = originY - double(gridMargin);
    return {truncToInt32((left - startX + 0.5 * cellWidth) / cellWidth),
            truncToInt32((top - startY + 0.5 * cellHeight) / cellHeight)};
}

bool Grid::isUsable(Cell cell, std::span<const Rect> workAreas) const {
    return contains(cell) && fits(cellCorner(cell), workAreas);
}

bool Grid::fits(Point corner, std::span<const Rect> workAreas) const {
    if (workAreas.empty())
        return true;
    const Box64 box{corner.x, corner.y, std::int64_t{corner.x} + cellWidth - gridMargin,
                    std::int64_t{corner.y} + cellHeight - gridMargin};
    return coveredBy(box, workAreas.data(), workAreas.size());
}

Cell cellOf(const IconRecord& icon, const Grid& grid) {
    return grid.cellAt(icon.left, icon.top);
}

void placeInCell(IconRecord& icon, const Grid& grid, Cell cell) {
    const Point corner = grid.cellCorner(cell);
    icon.left = corner.x;
    icon.top = corner.y;
}

} // namespace desktop_access
