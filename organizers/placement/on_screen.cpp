#include "organizers/placement/on_screen.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace organizers::placement {

using desktop_access::Rect;

namespace {

// A search never looks at more cells than this (only absurd grids have more).
constexpr std::int64_t maxSearchedCells = std::int64_t{1} << 22;
// The free cells are indexed along the lines of grids of at most this many cells (16 MiB of
// index at the most).
constexpr std::int64_t maxIndexedCells = std::int64_t{1} << 20;

std::int32_t clampInto(std::int32_t value, std::int32_t count) {
    return std::clamp(value, 0, std::max(count - 1, 0));
}

} // namespace

bool onScreen(const IconRecord& icon, std::span<const Rect> workAreas) {
    if (workAreas.empty())
        return true;
    const desktop_access::Box64 box{icon.left, icon.top, std::int64_t{icon.left} + icon.width,
                                    std::int64_t{icon.top} + icon.height};
    return desktop_access::coveredBy(box, workAreas.data(), workAreas.size());
}

FreeCells::FreeCells(const Grid& grid, std::span<const Rect> workAreas)
    : grid_(grid), workAreas_(workAreas) {
    if (!grid.hasCells())
        return;
    const std::int64_t cells = std::int64_t{grid.columns} * grid.rows;
    if (cells > maxSearchedCells) {
        freeCount_ = cells; // absurd grids: every cell counts, and usability is asked each time
        return;
    }
    usable_.resize(static_cast<std::size_t>(cells));
    for (std::int32_t row = 0; row < grid.rows; ++row)
        for (std::int32_t column = 0; column < grid.columns; ++column) {
            const bool fits = grid.isUsable({column, row}, workAreas);
            usable_[static_cast<std::size_t>(row) * grid.columns + column] = fits;
            freeCount_ += fits ? 1 : 0;
        }
    if (cells > maxIndexedCells)
        return;
    takenInside_.assign(static_cast<std::size_t>(cells), false);
    fill(rowsForward_, grid.rows, grid.columns, true, true);
    fill(rowsBackward_, grid.rows, grid.columns, false, true);
    fill(columnsForward_, grid.columns, grid.rows, true, false);
    fill(columnsBackward_, grid.columns, grid.rows, false, false);
}

// Slots of a line: one per cell and a sentinel, which stands at the end of a forward line and at
// the start of a backward one; a taken or unusable cell's slot points one slot on.
void FreeCells::fill(Line& line, std::int32_t lines, std::int32_t length, bool forward,
                     bool byRow) {
    const std::int32_t slots = length + 1;
    line.parent.resize(static_cast<std::size_t>(lines) * slots);
    for (std::int32_t at = 0; at < lines; ++at)
        for (std::int32_t slot = 0; slot < slots; ++slot) {
            const std::int32_t index = at * slots + slot;
            const std::int32_t position = forward ? slot : slot - 1;
            const bool sentinel = position < 0 || position >= length;
            const Cell cell = byRow ? Cell{position, at} : Cell{at, position};
            const bool open =
                sentinel ||
                usable_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
            line.parent[static_cast<std::size_t>(index)] =
                open ? index : (forward ? index + 1 : index - 1);
        }
}

std::int32_t FreeCells::Line::find(std::int32_t slot) {
    while (parent[static_cast<std::size_t>(slot)] != slot) {
        std::int32_t& up = parent[static_cast<std::size_t>(slot)];
        up = parent[static_cast<std::size_t>(up)];
        slot = up;
    }
    return slot;
}

void FreeCells::close(Cell cell) {
    if (rowsForward_.parent.empty())
        return;
    const std::int32_t rowSlots = grid_.columns + 1;
    const std::int32_t columnSlots = grid_.rows + 1;
    const auto at = [](std::vector<std::int32_t>& parent, std::int32_t index) -> std::int32_t& {
        return parent[static_cast<std::size_t>(index)];
    };
    const std::int32_t inRow = cell.row * rowSlots + cell.column;
    at(rowsForward_.parent, inRow) = inRow + 1;
    at(rowsBackward_.parent, inRow + 1) = inRow;
    const std::int32_t inColumn = cell.column * columnSlots + cell.row;
    at(columnsForward_.parent, inColumn) = inColumn + 1;
    at(columnsBackward_.parent, inColumn + 1) = inColumn;
}

std::int32_t FreeCells::nextInRow(std::int32_t row, std::int32_t column) const {
    const std::int32_t start = row * (grid_.columns + 1);
    return rowsForward_.find(start + column) - start;
}

std::int32_t FreeCells::previousInRow(std::int32_t row, std::int32_t column) const {
    const std::int32_t start = row * (grid_.columns + 1);
    return rowsBackward_.find(start + column + 1) - start - 1;
}

std::int32_t FreeCells::nextInColumn(std::int32_t column, std::int32_t row) const {
    const std::int32_t start = column * (grid_.rows + 1);
    return columnsForward_.find(start + row) - start;
}

std::int32_t FreeCells::previousInColumn(std::int32_t column, std::int32_t row) const {
    const std::int32_t start = column * (grid_.rows + 1);
    return columnsBackward_.find(start + row + 1) - start - 1;
}

bool FreeCells::usable(Cell cell) const {
    if (!grid_.contains(cell))
        return false;
    if (usable_.empty())
        return grid_.isUsable(cell, workAreas_);
    return usable_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
}

bool FreeCells::taken(Cell cell) const {
    if (!takenInside_.empty() && grid_.contains(cell))
        return takenInside_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
    return taken_.contains(cell);
}

void FreeCells::take(Cell cell) {
    if (!takenInside_.empty() && grid_.contains(cell)) {
        auto slot = takenInside_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
        if (slot)
            return;
        slot = true;
    } else if (!taken_.insert(cell).second) {
        return;
    }
    if (usable(cell)) {
        --freeCount_;
        close(cell);
    }
}

namespace {

// The nearer of two cells by distance from the start, ties going to the upper row, then the left
// column.
struct Nearest {
    std::optional<Cell> cell;
    std::int64_t distance = std::numeric_limits<std::int64_t>::max();

    void consider(Cell candidate, Cell from) {
        const std::int64_t dx = std::int64_t{candidate.column} - from.column;
        const std::int64_t dy = std::int64_t{candidate.row} - from.row;
        const std::int64_t d = dx * dx + dy * dy;
        if (d < distance ||
            (d == distance && (candidate.row < cell->row ||
                               (candidate.row == cell->row && candidate.column < cell->column)))) {
            cell = candidate;
            distance = d;
        }
    }
};

} // namespace

std::optional<Cell> FreeCells::nearestFree(Cell start) const {
    if (freeCount_ <= 0 || !grid_.hasCells())
        return std::nullopt;
    const Cell from{clampInto(start.column, grid_.columns), clampInto(start.row, grid_.rows)};
    return indexed() ? nearestByRows(from) : nearestByRings(from);
}

// Row by row outward from the start's row, the free cells nearest to its column on either side;
// a row further than the best distance found can hold nothing nearer.
std::optional<Cell> FreeCells::nearestByRows(Cell from) const {
    Nearest nearest;
    const auto considerRow = [&](std::int64_t row) {
        if (row < 0 || row >= grid_.rows)
            return;
        const auto r = static_cast<std::int32_t>(row);
        if (const std::int32_t right = nextInRow(r, from.column); right < grid_.columns)
            nearest.consider({right, r}, from);
        if (const std::int32_t left = previousInRow(r, from.column); left >= 0)
            nearest.consider({left, r}, from);
    };
    for (std::int64_t dy = 0; dy * dy <= nearest.distance; ++dy) {
        if (from.row - dy < 0 && from.row + dy >= grid_.rows)
            break;
        considerRow(from.row - dy);
        if (dy > 0)
            considerRow(from.row + dy);
    }
    return nearest.cell;
}

std::optional<Cell> FreeCells::nearestByRings(Cell from) const {
    const std::int64_t maxRadius = std::max(grid_.columns, grid_.rows);
    Nearest nearest;
    std::int64_t searched = 0;
    const auto consider = [&](std::int64_t column, std::int64_t row) {
        ++searched;
        const Cell cell{static_cast<std::int32_t>(column), static_cast<std::int32_t>(row)};
        if (grid_.contains(cell) && free(cell))
            nearest.consider(cell, from);
    };
    // Rings of growing distance around the start; a ring at radius r holds no cell nearer than
    // r, so the search ends once r * r passes the best distance found.
    for (std::int64_t radius = 0;
         radius <= maxRadius && radius * radius <= nearest.distance && searched < maxSearchedCells;
         ++radius) {
        if (radius == 0) {
            consider(from.column, from.row);
            continue;
        }
        for (std::int64_t dx = -radius; dx <= radius; ++dx) {
            consider(from.column + dx, from.row - radius);
            consider(from.column + dx, from.row + radius);
        }
        for (std::int64_t dy = -radius + 1; dy < radius; ++dy) {
            consider(from.column - radius, from.row + dy);
            consider(from.column + radius, from.row + dy);
        }
    }
    return nearest.cell;
}

void keepOnScreen(std::vector<IconRecord>& icons, const Grid& grid, std::span<const Rect> workAreas,
                  const std::vector<bool>& pinned) {
    if (!grid.hasCells())
        return;
    FreeCells cells(grid, workAreas);
    const auto isPinned = [&](std::size_t index) { return index < pinned.size() && pinned[index]; };
    for (std::size_t index = 0; index < icons.size(); ++index)
        if (isPinned(index))
            cells.take(cellOf(icons[index], grid));
    for (std::size_t index = 0; index < icons.size(); ++index) {
        if (isPinned(index))
            continue;
        IconRecord& icon = icons[index];
        const Cell cell = cellOf(icon, grid);
        if (onScreen(icon, workAreas) && !cells.taken(cell)) {
            cells.take(cell);
            continue;
        }
        const std::optional<Cell> free = cells.nearestFree(cell);
        if (!free) {
            cells.take(cell); // nowhere to go: it stays, and holds what it stands on
            continue;
        }
        placeInCell(icon, grid, *free);
        cells.take(*free);
    }
}

void placeNewIcons(std::vector<IconRecord>& icons, const Grid& grid,
                   std::span<const Rect> workAreas, const std::vector<bool>& newcomers) {
    if (!grid.hasCells() || std::find(newcomers.begin(), newcomers.end(), true) == newcomers.end())
        return;
    FreeCells cells(grid, workAreas);
    const auto isNew = [&](std::size_t index) {
        return index < newcomers.size() && newcomers[index];
    };
    for (std::size_t index = 0; index < icons.size(); ++index)
        if (!isNew(index))
            cells.take(cellOf(icons[index], grid));
    for (std::size_t index = 0; index < icons.size(); ++index) {
        if (!isNew(index))
            continue;
        const Cell cell = cellOf(icons[index], grid);
        if (const std::optional<Cell> free = cells.nearestFree(cell)) {
            placeInCell(icons[index], grid, *free);
            cells.take(*free);
        } else {
            cells.take(cell);
        }
    }
}

} // namespace organizers::placement
