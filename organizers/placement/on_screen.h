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

// The usable cells of a grid and which of them icons hold. Cells only ever become taken. On a
// grid of a sane size the free cells are also indexed along every row and every column (a
// disjoint-set forest per direction, with path halving), so the next free cell on a line is found
// in amortised nearly constant time however full the grid is.
class FreeCells {
  public:
    FreeCells(const Grid& grid, std::span<const desktop_access::Rect> workAreas);

    bool usable(Cell cell) const;
    bool taken(Cell cell) const;
    bool free(Cell cell) const { return usable(cell) && !taken(cell); }
    // Notes that an icon holds the cell (a cell outside the grid is noted too).
    void take(Cell cell);
    // How many usable cells no icon holds.
    std::int64_t freeCount() const { return freeCount_; }

    // The free usable cell nearest to the start (a start outside the grid counts from the
    // nearest cell inside it), by distance between cells, ties going to the upper row, then the
    // left column; nothing when none is free.
    std::optional<Cell> nearestFree(Cell start) const;

    // Whether the lines below are indexed (a grid of a sane size).
    bool indexed() const { return !rowsForward_.parent.empty(); }
    // Along a line of an indexed grid: the first free cell's column at or after the column in
    // the row (columns when none), at or before it (-1 when none); the same for rows along a
    // column. Columns and rows inside the grid.
    std::int32_t nextInRow(std::int32_t row, std::int32_t column) const;
    std::int32_t previousInRow(std::int32_t row, std::int32_t column) const;
    std::int32_t nextInColumn(std::int32_t column, std::int32_t row) const;
    std::int32_t previousInColumn(std::int32_t column, std::int32_t row) const;

  private:
    // One direction along every line of the grid: each slot points toward the next free slot,
    // the line's sentinel standing for none.
    struct Line {
        std::vector<std::int32_t> parent;
        std::int32_t find(std::int32_t slot);
    };
    void fill(Line& line, std::int32_t lines, std::int32_t length, bool forward, bool byRow);
    void close(Cell cell);
    std::optional<Cell> nearestByRows(Cell from) const;
    std::optional<Cell> nearestByRings(Cell from) const;

    Grid grid_;
    std::span<const desktop_access::Rect> workAreas_;
    // Cells icons hold: on an indexed grid those inside it in an array, the others in a set.
    std::vector<bool> takenInside_;
    std::unordered_set<Cell, CellHash> taken_;
    std::int64_t freeCount_ = 0;
    // Which cells are usable, row by row, when the grid is of a sane size (else asked anew).
    std::vector<bool> usable_;
    mutable Line rowsForward_, rowsBackward_, columnsForward_, columnsBackward_;
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
