#include "organizers/placement/auto_group.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "desktop_access/labels.h"
#include "organizers/placement/group_relayout.h"
#include "organizers/placement/on_screen.h"

namespace organizers::placement {

using desktop_access::truncToInt32;

namespace {

// Which icon stands on each cell, by label (the label is all that is ever compared). Also counts
// the usable cells that no icon stands on, so that a search on a full grid ends at once. The
// cells of a grid of a sane size are held in an array, the others (outside the grid, or on an
// absurd one) in a hash map.
class CellMap {
  public:
    CellMap(const Grid& grid, std::span<const desktop_access::Rect> workAreas)
        : grid_(grid), cells(grid, workAreas) {
        if (cells.indexed())
            inside_.assign(static_cast<std::size_t>(grid.columns) * grid.rows, nullptr);
    }

    bool contains(Cell cell) const { return nameIn(cell) != nullptr; }
    bool usable(Cell cell) const { return cells.usable(cell); }
    bool full() const { return cells.freeCount() <= 0; }
    bool indexed() const { return cells.indexed(); }
    const FreeCells& freeCells() const { return cells; }

    // The label of the icon on the cell, or null.
    const std::u16string* nameIn(Cell cell) const {
        if (const std::u16string* const* slot = slotOf(cell))
            return *slot;
        const auto found = outside_.find(cell);
        return found == outside_.end() ? nullptr : found->second;
    }
    // Enters the label unless the cell already has one.
    void claim(Cell cell, const std::u16string& name) {
        if (const std::u16string** slot = slotOf(cell)) {
            if (*slot != nullptr)
                return;
            *slot = &name;
        } else if (!outside_.try_emplace(cell, &name).second) {
            return;
        }
        cells.take(cell);
    }

  private:
    const std::u16string* const* slotOf(Cell cell) const {
        if (inside_.empty() || !grid_.contains(cell))
            return nullptr;
        return &inside_[static_cast<std::size_t>(cell.row) * grid_.columns + cell.column];
    }
    const std::u16string** slotOf(Cell cell) {
        return const_cast<const std::u16string**>(std::as_const(*this).slotOf(cell));
    }

    Grid grid_;
    FreeCells cells;
    std::vector<const std::u16string*> inside_; // labels live in the proxy
    std::unordered_map<Cell, const std::u16string*, CellHash> outside_;
};

// The search looks along four lines from its start cell. The angles are formed by repeated
// addition of a step a little short of a right angle, so the lines are not quite straight: the
// sine moves the column, the cosine the row.
struct Direction {
    double sine;
    double cosine;
};

std::vector<Direction> searchDirections() {
    std::vector<Direction> directions;
    for (double angle = 0.0; angle < 6.283; angle += 1.57075)
        directions.push_back({std::sin(angle), std::cos(angle)});
    return directions;
}

Cell candidate(Cell start, std::int64_t radius, Direction direction) {
    const double distance = static_cast<double>(radius);
    return {truncToInt32(start.column + distance * direction.sine),
            truncToInt32(start.row + distance * direction.cosine)};
}

struct Radii {
    double first;
    double last;
};

// The radii at which start + radius * slope truncates into [0, limit), widened by one on either
// side against rounding.
Radii radiiWithin(double start, double slope, double limit) {
    constexpr double unbounded = 1e300;
    if (slope == 0.0)
        return start > -1.0 && start < limit ? Radii{-unbounded, unbounded} : Radii{1.0, 0.0};
    double first = (-1.0 - start) / slope;
    double last = (limit - start) / slope;
    if (first > last)
        std::swap(first, last);
    return {first - 1.0, last + 1.0};
}

struct RadiusRange {
    std::int64_t first;
    std::int64_t last;
};

// The radii, in ascending ranges, at which some line of the search can meet the grid. Outside
// them every candidate lies outside the grid, so skipping them changes nothing, and after the
// last of them no free cell can be found any more: this bounds the search, however far outside
// the grid it starts.
std::vector<RadiusRange> radiiMeetingGrid(Cell start, const Grid& grid,
                                          const std::vector<Direction>& directions) {
    // No line reaches further than this from a start cell with 32-bit coordinates.
    constexpr double furthest = 1e11;
    std::vector<RadiusRange> ranges;
    for (const Direction& direction : directions) {
        const Radii columns = radiiWithin(start.column, direction.sine, grid.columns);
        const Radii rows = radiiWithin(start.row, direction.cosine, grid.rows);
        const double first = std::ceil(std::max({1.0, columns.first, rows.first}));
        const double last = std::floor(std::min({furthest, columns.last, rows.last}));
        if (first <= last)
            ranges.push_back({static_cast<std::int64_t>(first), static_cast<std::int64_t>(last)});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const RadiusRange& a, const RadiusRange& b) { return a.first < b.first; });
    std::vector<RadiusRange> merged;
    for (const RadiusRange& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, range.last);
        else
            merged.push_back(range);
    }
    return merged;
}

// Along the lines, on the cells' index: each line's first free cell and the radius at which the
// search would reach it; the smallest radius wins, and at equal radii the earlier line. From a
// start inside the grid the lines run straight (down the column, right along the row, up the
// column, left along the row above, or along row 0 itself), so this finds exactly the cell the
// search radius by radius finds, as long as the grid is narrower and lower than the radius at
// which the angles' small errors would move a line sideways by a cell.
constexpr std::int32_t straightLines = 7000;

std::optional<Cell> alongTheLines(Cell start, const FreeCells& cells, const Grid& grid) {
    std::optional<std::pair<std::int64_t, Cell>> best;
    const auto offer = [&](std::int64_t radius, Cell cell) {
        if (!best || radius < best->first)
            best = {radius, cell};
    };
    const auto [column, row] = start;
    if (row + 1 < grid.rows)
        if (const std::int32_t down = cells.nextInColumn(column, row + 1); down < grid.rows)
            offer(down - row, {column, down});
    if (const std::int32_t right = cells.nextInRow(row, column); right < grid.columns)
        offer(std::int64_t{right} - column + 1, {right, row});
    if (row >= 1)
        if (const std::int32_t up = cells.previousInColumn(column, row - 1); up >= 0)
            offer(row - up, {column, up});
    const std::int32_t above = row >= 1 ? row - 1 : 0;
    if (column >= 1) {
        if (const std::int32_t left = cells.previousInRow(above, column - 1); left >= 0)
            offer(column - left, {left, above});
    } else if (cells.free({0, above})) {
        offer(1, {0, above}); // truncation toward zero keeps the first step in column 0
    }
    return best ? std::optional<Cell>(best->second) : std::nullopt;
}

std::optional<Cell> findFreeCell(Cell start, const CellMap& map, const Grid& grid,
                                 const std::vector<Direction>& directions) {
    const auto accepted = [&](Cell cell) { return map.usable(cell) && !map.contains(cell); };
    if (accepted(start))
        return start;
    if (map.full())
        return std::nullopt;
    if (map.indexed() && grid.contains(start) && grid.columns < straightLines &&
        grid.rows < straightLines)
        return alongTheLines(start, map.freeCells(), grid);
    for (const RadiusRange& range : radiiMeetingGrid(start, grid, directions)) {
        for (std::int64_t radius = range.first; radius <= range.last; ++radius) {
            for (const Direction& direction : directions) {
                const Cell cell = candidate(start, radius, direction);
                if (accepted(cell))
                    return cell;
            }
        }
    }
    return std::nullopt;
}

} // namespace

void snapToGrid(DesktopProxy& live, const std::vector<bool>& leaveOut) {
    const Grid grid = live.grid();
    if (!grid.hasCells())
        return;
    const auto left = [&](std::size_t index) { return index < leaveOut.size() && leaveOut[index]; };
    CellMap map(grid, live.workAreas);
    for (std::size_t index = 0; index < live.icons.size(); ++index)
        if (!left(index))
            map.claim(cellOf(live.icons[index], grid), live.icons[index].name);
    const std::vector<Direction> directions = searchDirections();
    for (std::size_t index = 0; index < live.icons.size(); ++index) {
        if (left(index))
            continue;
        IconRecord& record = live.icons[index];
        const Cell cell = cellOf(record, grid);
        const std::u16string* holder = map.nameIn(cell);
        if (holder != nullptr && *holder == record.name && map.usable(cell)) {
            placeInCell(record, grid, cell);
            continue;
        }
        // The cell stays claimed by the icon that keeps it: giving it out again would stack a
        // later icon onto that one.
        const std::optional<Cell> free = findFreeCell(cell, map, grid, directions);
        if (!free)
            continue; // no free cell on its lines: it stays where it stands
        placeInCell(record, grid, *free);
        map.claim(*free, record.name);
    }
}

namespace {

std::u16string_view labelOf(const IconRecord& icon) {
    return icon.name;
}

// Every live icon with a remembered place (the first live icon of a label) goes back to it,
// exactly. Which icons went back.
std::vector<bool> restoreRemembered(DesktopProxy& live,
                                    const std::vector<desktop_access::Place>& seen) {
    const auto places = desktop_access::firstOfEachLabel(
        seen, [](const desktop_access::Place& place) { return std::u16string_view(place.label); });
    std::vector<bool> restored = desktop_access::firstsOfTheirLabels(live.icons, labelOf);
    for (std::size_t index = 0; index < live.icons.size(); ++index) {
        IconRecord& icon = live.icons[index];
        const auto found = places.find(icon.name);
        if (!restored[index] || found == places.end()) {
            restored[index] = false;
            continue;
        }
        icon.left = seen[found->second].left;
        icon.top = seen[found->second].top;
    }
    return restored;
}

// The icons that came onto the desktop since the store was written: those without a stored
// record, when the store knew any icon at all (on the first arrangement every icon is new and
// stays where it is).
std::vector<bool> newOnes(const DesktopProxy& live) {
    std::vector<bool> fresh(live.icons.size(), false);
    if (!live.previous || live.previous->icons.empty())
        return fresh;
    std::unordered_set<std::u16string_view> stored;
    for (const IconRecord& icon : live.previous->icons)
        stored.insert(icon.name);
    for (std::size_t index = 0; index < live.icons.size(); ++index)
        fresh[index] = !stored.contains(live.icons[index].name);
    return fresh;
}

// Whether a display differs from the one before only as a taskbar that moved, grew, shrank or
// hid makes it differ: the same monitors (as many work areas, in the same order) and cell size,
// each edge of each work area at most two cells from where it was.
bool onlyEdgesMoved(const desktop_access::DisplayConfiguration& before,
                    const desktop_access::DisplayConfiguration& now) {
    if (before.workAreas.size() != now.workAreas.size() || before.cellWidth != now.cellWidth ||
        before.cellHeight != now.cellHeight)
        return false;
    const auto near = [](std::int64_t a, std::int64_t b, std::int64_t cell) {
        return std::abs(a - b) <= 2 * cell;
    };
    for (std::size_t index = 0; index < now.workAreas.size(); ++index) {
        const desktop_access::Rect& a = before.workAreas[index];
        const desktop_access::Rect& b = now.workAreas[index];
        if (!near(a.left, b.left, now.cellWidth) || !near(a.right, b.right, now.cellWidth) ||
            !near(a.top, b.top, now.cellHeight) || !near(a.bottom, b.bottom, now.cellHeight))
            return false;
    }
    return true;
}

// Which icons restoreStored puts back: the first live icon of each stored label.
std::vector<bool> storedOnes(const DesktopProxy& live) {
    std::vector<bool> pinned = desktop_access::firstsOfTheirLabels(live.icons, labelOf);
    if (!live.previous) {
        std::fill(pinned.begin(), pinned.end(), false);
        return pinned;
    }
    const auto stored = desktop_access::firstOfEachLabel(live.previous->icons, labelOf);
    for (std::size_t index = 0; index < live.icons.size(); ++index)
        pinned[index] = pinned[index] && stored.contains(live.icons[index].name);
    return pinned;
}

} // namespace

void AutoGroup::place(DesktopProxy& proxy, sorting::Sorter&) {
    const desktop_access::Layouts none;
    const desktop_access::Layouts& layouts = memory.layouts ? *memory.layouts : none;
    const desktop_access::DisplayConfiguration display = proxy.configuration();
    const Grid& stored = proxy.previous ? proxy.previous->grid() : proxy.grid();
    const bool changed = memory.displayChanged.value_or(desktop_access::displayChanged(
        layouts, stored, proxy.grid(), display, memory.lastArranged));

    std::vector<bool> pinned;
    if (changed) {
        // A display seen before shows what it showed then, locked or not; the icons it does not
        // know start where the relayout puts them. Where only a taskbar changed, every icon
        // still on a screen stays, and those now under it go to the nearest free place.
        const std::vector<desktop_access::Place>* seen = layouts.find(display);
        const desktop_access::DisplayConfiguration* before =
            memory.lastArranged ? memory.lastArranged : layouts.mostRecent();
        if (seen != nullptr || before == nullptr || !onlyEdgesMoved(*before, display))
            relayoutGroups(proxy);
        if (seen != nullptr)
            pinned = restoreRemembered(proxy, *seen);
    } else if (locked) {
        // Icons moved by hand go back, to where the last arrangement on this display put them.
        const std::vector<desktop_access::Place>* seen = layouts.find(display);
        if (!seen && memory.lastArranged && *memory.lastArranged == display)
            seen = memory.lastPending;
        if (seen) {
            pinned = restoreRemembered(proxy, *seen);
        } else {
            restoreStored(proxy);
            pinned = storedOnes(proxy);
        }
    } else {
        // Icons that have just come onto the desktop take the nearest free usable cell from where
        // the shell put them, rather than a cell one of the others stands on.
        const std::vector<bool> fresh = newOnes(proxy);
        snapToGrid(proxy, fresh);
        placeNewIcons(proxy.icons, proxy.grid(), proxy.workAreas, fresh);
    }
    keepOnScreen(proxy.icons, proxy.grid(), proxy.workAreas, pinned);
    displayChanged = changed;
    restored = std::move(pinned);
}

} // namespace organizers::placement
