// Snapshots built by hand for the tests and benchmarks of the organizers: a grid of a chosen
// number of square cells over a usable area that starts at a chosen corner, and icons on it.
#pragma once

#include <cstdint>
#include <string>

#include "desktop_access/desktop_proxy.h"

namespace fake {

// A grid of columns x rows cells of cell pixels, over an area that starts at (areaLeft, areaTop)
// and is a little larger than the cells, as the live snapshot computes it.
inline void setGrid(desktop_access::DesktopProxy& proxy, std::int32_t columns, std::int32_t rows,
                    std::int32_t cell = 80, std::int32_t areaLeft = 0, std::int32_t areaTop = 0) {
    proxy.columns = columns;
    proxy.rows = rows;
    proxy.cellWidth = cell;
    proxy.cellHeight = cell;
    proxy.originX = areaLeft + desktop_access::gridMargin;
    proxy.originY = areaTop + desktop_access::gridMargin;
    proxy.areaWidth = columns * cell + cell / 2;
    proxy.areaHeight = rows * cell + cell / 2;
}

inline desktop_access::IconRecord iconAt(std::u16string name, std::int32_t left, std::int32_t top) {
    desktop_access::IconRecord icon;
    icon.name = std::move(name);
    icon.left = left;
    icon.top = top;
    icon.width = 75;
    icon.height = 75;
    return icon;
}

// The top-left corner of a cell of the proxy's grid.
inline std::int32_t cellX(const desktop_access::DesktopProxy& proxy, std::int32_t column) {
    return proxy.grid().cellCorner({column, 0}).x;
}
inline std::int32_t cellY(const desktop_access::DesktopProxy& proxy, std::int32_t row) {
    return proxy.grid().cellCorner({0, row}).y;
}

// An icon whose box stands on the cell, moved by (dx, dy) pixels.
inline desktop_access::IconRecord iconInCell(std::u16string name,
                                             const desktop_access::DesktopProxy& proxy,
                                             std::int32_t column, std::int32_t row,
                                             std::int32_t dx = 0, std::int32_t dy = 0) {
    return iconAt(std::move(name), cellX(proxy, column) + dx, cellY(proxy, row) + dy);
}

} // namespace fake
