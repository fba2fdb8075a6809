// The desktop's grid: cells one icon box plus a margin wide and high, laid over the usable area
// (the union of the work areas and the origin of the primary monitor) from one margin inside its
// top-left corner. All grid arithmetic lives here.
//
// A snapshot is its grid: DesktopProxy derives from Grid, so its members (columns, rows,
// areaWidth, ...) are the grid's and there is no second copy to disagree with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "desktop_access/geometry.h"
#include "desktop_access/icon_record.h"

namespace desktop_access {

// The room between the usable area's edge and the first cell, and between neighbouring boxes.
inline constexpr std::int32_t gridMargin = 4;

// A grid cell, counted from 0 at the top-left cell of the grid in question.
struct Cell {
    std::int32_t column = 0;
    std::int32_t row = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

struct CellHash {
    std::size_t operator()(Cell cell) const noexcept;
};

struct Grid {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    std::int32_t areaWidth = 0;
    std::int32_t areaHeight = 0; // the area's height less one margin
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int32_t originX = 0; // the top-left corner of cell (0, 0)
    std::int32_t originY = 0;

    friend bool operator==(const Grid&, const Grid&) = default;

    // The grid over the union of the work areas and (0, 0), for boxes of at most the given size.
    // A cell of no size (only a list view reporting absurd boxes gives one) has no columns or
    // rows.
    static Grid measure(const std::vector<Rect>& workAreas, std::int32_t widestBox,
                        std::int32_t tallestBox);

    // Whether there are cells at all: columns, rows and both cell sizes above 0.
    bool hasCells() const;
    // Whether the cell lies inside the grid.
    bool contains(Cell cell) const;

    // The top-left corner of the usable area.
    std::int32_t areaLeft() const;
    std::int32_t areaTop() const;

    // The top-left corner of a cell. Counters may run past the grid; coordinates wrap to 32 bits
    // rather than overflow.
    Point cellCorner(std::int64_t column, std::int64_t row) const;
    Point cellCorner(Cell cell) const;

    // A box corner reflected within the usable area, so that a box keeps its distance from the
    // opposite edge: column 0 becomes the rightmost column, row 0 the bottom row.
    std::int32_t mirroredX(std::int32_t x) const;
    std::int32_t mirroredY(std::int32_t y) const;

    // The cell whose corner a box corner lies nearest to, within half a cell, measured from the
    // start of the usable area (truncated toward zero, so up to 1.5 cells before the area still
    // count as column or row 0).
    Cell cellAt(std::int32_t left, std::int32_t top) const;

    // Whether a box of the grid's largest size with its corner there lies wholly on the screens:
    // the work areas together cover it (a box across two monitors side by side is shown whole;
    // one that reaches into the gap beside a smaller monitor, or under a taskbar, is not).
    // Without work areas (a stored grid knows none) every place counts.
    bool fits(Point corner, std::span<const Rect> workAreas) const;
    // Whether the cell lies inside the grid and a box placed in it fits.
    bool isUsable(Cell cell, std::span<const Rect> workAreas) const;
};

// The cell of an icon's box (Grid::cellAt of its corner).
Cell cellOf(const IconRecord& icon, const Grid& grid);

// Puts the icon's box corner on the corner of the cell.
void placeInCell(IconRecord& icon, const Grid& grid, Cell cell);

} // namespace desktop_access
