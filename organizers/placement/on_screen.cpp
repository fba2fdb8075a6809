#include "organizers/placement/on_screen.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace organizers::placement {

using desktop_access::Rect;

namespace {

// A search never looks at more cells than this (only absurd grids have more).
constexpr std::int64_t maxSearchedCells = std::int64_t{1} << 22;

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
    if (workAreas.empty() || cells > maxSearchedCells) {
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
}

bool FreeCells::usable(Cell cell) const {
    if (!grid_.contains(cell))
        return false;
    if (usable_.empty())
        return grid_.isUsable(cell, workAreas_);
    return usable_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
}

void FreeCells::take(Cell cell) {
    if (taken_.insert(cell).second && usable(cell))
        --freeCount_;
}

std::optional<Cell> FreeCells::nearestFree(Cell start) const {
    if (freeCount_ <= 0 || !grid_.hasCells())
        return std::nullopt;
    const Cell from{clampInto(start.column, grid_.columns), clampInto(start.row, grid_.rows)};
    const std::int64_t maxRadius = std::max(grid_.columns, grid_.rows);
    std::optional<Cell> best;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    std::int64_t searched = 0;
    const auto consider = [&](std::int64_t column, std::int64_t row) {
        ++searched;
        const Cell cell{static_cast<std::int32_t>(column), static_cast<std::int32_t>(row)};
        if (!grid_.contains(cell) || !free(cell))
            return;
        const std::int64_t dx = column - from.column;
        const std::int64_t dy = row - from.row;
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < bestDistance ||
            (distance == bestDistance &&
             (cell.row < best->row || (cell.row == best->row && cell.column < best->column)))) {
            best = cell;
            bestDistance = distance;
        }
    };
    // Rings of growing distance around the start; a ring at radius r holds no cell nearer than
    // r, so the search ends once r * r passes the best distance found.
    for (std::int64_t radius = 0;
         radius <= maxRadius && radius * radius <= bestDistance && searched < maxSearchedCells;
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
    return best;
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
