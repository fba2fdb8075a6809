// Group relayout after a change of desktop size: every icon goes back to its stored place, the
// icons of the stored arrangement are gathered into groups of neighbours, and each group is
// carried over to the new grid according to the edges of the old grid it touched. A group at an
// edge stays at that edge, one in a corner stays in that corner, one spanning the whole width or
// height keeps spanning it, and a free-standing group keeps its relative place; groups whose
// shape must change are reflowed into their new rectangle. Rectangles of cells are (left, top,
// right, bottom) with right and bottom one past the last column and row.
#pragma once

#include <cstdint>
#include <vector>

#include "desktop_access/geometry.h"
#include "organizers/snapshot.h"

namespace organizers::placement {

constexpr std::uint32_t EdgeLeft = 0x1;
constexpr std::uint32_t EdgeTop = 0x2;
constexpr std::uint32_t EdgeRight = 0x4;
constexpr std::uint32_t EdgeBottom = 0x8;
constexpr std::uint32_t EdgeNone = 0x10; // touches no edge; never combined with the others

struct IconGroup {
    std::uint32_t edges = 0;
    std::vector<IconRecord> icons; // copies of the members
    Grid grid;                     // measures the group's cells
};

// Every live icon with a stored record (the first live icon of that label) takes the stored box
// position; the others keep theirs. Without a stored state nothing changes.
void restoreStored(DesktopProxy& live);

// (smallest column, smallest row, largest column + 1, largest row + 1) over the icons' cells.
desktop_access::Rect cellBounds(const IconGroup& group);
// In pixels: (smallest left, smallest top, largest left + cellWidth, largest top + cellHeight).
desktop_access::Rect boxBounds(const IconGroup& group);
// Whether the icon's centre lies within one cell and 10 pixels of the group's box.
bool isNear(const IconGroup& group, const IconRecord& icon);

// Groups icons of a grid, nearest to the origin first: each icon joins the first group it is
// near, or starts a new one. Groups are never merged. Sets each group's edges.
std::vector<IconGroup> findGroups(std::vector<IconRecord> icons, const Grid& grid);

// Places the group's icons into the target rectangle: shifted when it has the group's size,
// otherwise reflowed (row by row into a wide target, column by column into any other), running
// on past the target's far side when it has too few cells.
void moveGroup(IconGroup& group, const desktop_access::Rect& target);

// Carries the stored arrangement of live.previous over to the live grid. Without a stored state
// nothing changes; when either grid has no cells the icons stay where they were stored.
void relayoutGroups(DesktopProxy& live);

} // namespace organizers::placement
