// Automatic grouping: keeps the user's own arrangement. When the usable area changed size since
// the stored state was written, groups of neighbouring icons are carried over to the new area;
// otherwise, while locked, every icon goes back to its stored place; otherwise every icon is
// snapped onto the grid cell where it stands, and icons that share a cell or stand outside the
// grid are given a free cell nearby. The sorting strategy is not used.
#pragma once

#include <cstdint>

#include "organizers/placement/placer.h"

namespace organizers::placement {

// A grid cell, counted from 0 at the top-left of the grid of the proxy in question.
struct Cell {
    std::int32_t column = 0;
    std::int32_t row = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// Whether the proxy's grid has any cells (columns, rows and both cell sizes above 0).
bool hasCells(const DesktopProxy& grid);

// The cell whose position the box's top-left corner is nearest to, within half a cell, measured
// from the start of the usable area (originX - 4, originY - 4) of the proxy's grid.
Cell cellOf(const IconRecord& icon, const DesktopProxy& proxy);

// Puts the box's top-left corner on the position of the cell in the proxy's grid.
void placeInCell(IconRecord& icon, const DesktopProxy& proxy, Cell cell);

// Every live icon with a stored record (the first live icon of that label) takes the stored box
// position; the others keep theirs. Without a stored state nothing changes.
void restoreStored(DesktopProxy& live);

// Snaps every icon, in list-view order, onto its cell when that cell is inside the grid and the
// icon is the first there; any other icon goes to the first free cell of a search that runs down,
// right, up and left from its cell at growing distance. An icon for which no free cell exists on
// those lines stays where it is. A grid without cells leaves every icon in place.
void snapToGrid(DesktopProxy& live);

struct AutoGroup : Placer {
    void place(DesktopProxy& proxy, sorting::Sorter& sorter) override;
};

} // namespace organizers::placement
