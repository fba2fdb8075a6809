// Keeping icons on a real screen. A cell is usable when a box of the grid's largest size placed
// in it lies wholly on the screens (the work areas cover it); the bounding rectangle of the work
// areas that the grid spans may hold cells no screen shows (the gap a smaller second monitor
// leaves, the strip under a taskbar at the top or left). After a placer has run, an icon that lies
// outside every work area, or whose cell an earlier icon already holds, goes to the nearest free
// usable cell. Where every icon already stands on a screen in a cell of its own, nothing moves.
#pragma once

#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "desktop_access/geometry.h"
#include "organizers/snapshot.h"

namespace organizers::placement {

// Whether the work areas cover the icon's box (or none are known).
bool onScreen(const IconRecord& icon, std::span<const desktop_access::Rect> workAreas);

// The usable cells of a grid and which of them icons hold.
class FreeCells {
  public:
    FreeCells(const Grid& grid, std::span<const desktop_access::Rect> workAreas);

    bool usable(Cell cell) const;
    bool taken(Cell cell) const { return taken_.contains(cell); }
    bool free(Cell cell) const { return usable(cell) && !taken(cell); }
    // Notes that an icon holds the cell (a cell outside the grid is noted too).
    void take(Cell cell);
    // How many usable cells no icon holds.
    std::int64_t freeCount() const { return freeCount_; }

    // The free usable cell nearest to the start (a start outside the grid counts from the
    // nearest cell inside it), by distance between cells, ties going to the upper row, then the
    // left column; nothing when none is free.
    std::optional<Cell> nearestFree(Cell start) const;

  private:
    Grid grid_;
    std::span<const desktop_access::Rect> workAreas_;
    std::unordered_set<Cell, CellHash> taken_;
    std::int64_t freeCount_ = 0;
    // Which cells are usable, row by row, when the grid is of a sane size (else asked anew).
    std::vector<bool> usable_;
};

// Moves what stands off-screen or on a cell already held to the nearest free usable cell, in the
// order of the icons; pinned icons (by position in icons; none when pinned is empty) never move
// and hold their cells first. An icon for which no cell is free stays where it is.
void keepOnScreen(std::vector<IconRecord>& icons, const Grid& grid,
                  std::span<const desktop_access::Rect> workAreas,
                  const std::vector<bool>& pinned = {});

// Puts every icon marked in newcomers (by position) on the free usable cell nearest to where it
// stands, its own cell when that is free; the others hold their cells first and do not move.
void placeNewIcons(std::vector<IconRecord>& icons, const Grid& grid,
                   std::span<const desktop_access::Rect> workAreas,
                   const std::vector<bool>& newcomers);

} // namespace organizers::placement
