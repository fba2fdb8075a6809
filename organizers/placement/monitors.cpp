#include "organizers/placement/monitors.h"

#include <algorithm>
#include <utility>

#include "organizers/placement/on_screen.h"

namespace organizers::placement {

using desktop_access::Rect;

namespace {

// How far a point lies from a rectangle, squared (0 inside it).
std::int64_t distanceSquared(std::int64_t x, std::int64_t y, const Rect& area) {
    const std::int64_t dx = x < area.left     ? area.left - x
                            : x >= area.right ? x - area.right + 1
                                              : 0;
    const std::int64_t dy = y < area.top       ? area.top - y
                            : y >= area.bottom ? y - area.bottom + 1
                                               : 0;
    return dx * dx + dy * dy;
}

std::span<const Rect> only(const std::vector<Rect>& areas, std::size_t index) {
    return std::span<const Rect>(areas).subspan(index, 1);
}

// The monitor each icon belongs on under Each: the one it stands on, else the primary.
std::vector<std::size_t> homesOf(const std::vector<IconRecord>& icons,
                                 std::span<const Rect> areas) {
    const std::size_t primary = primaryMonitor(areas);
    std::vector<std::size_t> homes;
    homes.reserve(icons.size());
    for (const IconRecord& icon : icons)
        homes.push_back(monitorOf(icon, areas).value_or(primary));
    return homes;
}

// Gives every icon marked in `movers` the free cell usable on its target monitor that lies
// nearest to where it stands now; the others hold their cells first. An icon with no free cell
// on its monitor stays. (A cell usable on one monitor alone is usable on no other, so each
// monitor's cells are kept apart.)
void moveOnto(std::vector<IconRecord>& icons, const Grid& grid, const std::vector<Rect>& areas,
              const std::vector<bool>& movers, const std::vector<std::size_t>& targets) {
    std::vector<std::optional<FreeCells>> cells(areas.size());
    for (std::size_t index = 0; index < icons.size(); ++index) {
        if (!movers[index])
            continue;
        std::optional<FreeCells>& free = cells[targets[index]];
        if (!free) {
            free.emplace(grid, only(areas, targets[index]));
            for (std::size_t other = 0; other < icons.size(); ++other)
                if (!movers[other])
                    free->take(cellOf(icons[other], grid));
        }
        if (const std::optional<Cell> found = free->nearestFree(cellOf(icons[index], grid))) {
            placeInCell(icons[index], grid, *found);
            free->take(*found);
        }
    }
}

} // namespace

std::size_t primaryMonitor(std::span<const Rect> workAreas) {
    // The primary monitor's work area starts at the origin, or right of it or below it by a
    // taskbar's width; every other monitor's lies farther, or left of it or above it. Only odd
    // list views report no work area right of and below the origin: then the nearest to it.
    const auto rank = [](const Rect& area) {
        const bool beforeOrigin = area.left < 0 || area.top < 0;
        return std::pair{beforeOrigin, beforeOrigin ? distanceSquared(0, 0, area)
                                                    : std::int64_t{area.left} * area.left +
                                                          std::int64_t{area.top} * area.top};
    };
    std::size_t primary = 0;
    for (std::size_t index = 1; index < workAreas.size(); ++index)
        if (rank(workAreas[index]) < rank(workAreas[primary]))
            primary = index;
    return primary;
}

std::optional<std::size_t> monitorOf(const IconRecord& icon, std::span<const Rect> workAreas) {
    const std::int64_t x = std::int64_t{icon.left} + icon.width / 2;
    const std::int64_t y = std::int64_t{icon.top} + icon.height / 2;
    for (std::size_t index = 0; index < workAreas.size(); ++index)
        if (distanceSquared(x, y, workAreas[index]) == 0)
            return index;
    return std::nullopt;
}

void placeOnMonitors(DesktopProxy& proxy, Placer& placer, sorting::Sorter& sorter,
                     std::int32_t monitors) {
    const std::vector<Rect>& areas = proxy.workAreas;
    const std::size_t primary = primaryMonitor(areas);
    // The monitors in the order they are filled: the primary first.
    std::vector<std::size_t> order{primary};
    for (std::size_t index = 0; index < areas.size(); ++index)
        if (index != primary && monitors == MonitorsEach)
            order.push_back(index);

    const std::vector<std::size_t> homes = homesOf(proxy.icons, areas);
    std::vector<IconRecord> placed;
    std::vector<std::size_t> monitorOfPlaced;
    placed.reserve(proxy.icons.size());
    for (const std::size_t monitor : order) {
        DesktopProxy part;
        static_cast<Grid&>(part) = proxy.grid();
        part.previous = proxy.previous;
        part.workAreas.assign(1, areas[monitor]);
        for (std::size_t index = 0; index < proxy.icons.size(); ++index)
            if (monitors == MonitorsPrimary || homes[index] == monitor)
                part.icons.push_back(proxy.icons[index]);
        placer.place(part, sorter);
        for (IconRecord& icon : part.icons) {
            placed.push_back(std::move(icon));
            monitorOfPlaced.push_back(monitor);
        }
    }

    // What ran past its monitor's room goes to the free cell nearest to its monitor's last icon
    // that found room (its monitor's first cell when none did).
    const Grid grid = proxy.grid();
    std::vector<bool> overflow(placed.size(), false);
    std::vector<std::optional<Cell>> lastOf(areas.size());
    for (std::size_t index = 0; index < placed.size(); ++index) {
        const std::size_t monitor = monitorOfPlaced[index];
        overflow[index] = !grid.fits({placed[index].left, placed[index].top}, only(areas, monitor));
        if (!overflow[index])
            lastOf[monitor] = cellOf(placed[index], grid);
    }
    if (std::find(overflow.begin(), overflow.end(), true) != overflow.end() && grid.hasCells()) {
        FreeCells cells(grid, areas);
        for (std::size_t index = 0; index < placed.size(); ++index)
            if (!overflow[index])
                cells.take(cellOf(placed[index], grid));
        for (std::size_t index = 0; index < placed.size(); ++index) {
            if (!overflow[index])
                continue;
            const Rect& area = areas[monitorOfPlaced[index]];
            const Cell start = lastOf[monitorOfPlaced[index]].value_or(
                grid.cellAt(area.left + gridMargin, area.top + gridMargin));
            if (const std::optional<Cell> free = cells.nearestFree(start)) {
                placeInCell(placed[index], grid, *free);
                cells.take(*free);
            }
        }
    }
    proxy.icons = std::move(placed);
}

void keepOnMonitors(DesktopProxy& proxy, const std::vector<IconRecord>& before,
                    std::int32_t monitors, const std::vector<bool>& stay) {
    const std::vector<Rect>& areas = proxy.workAreas;
    if (areas.size() < 2 || !proxy.grid().hasCells())
        return;
    // `before` holds the same icons in the same order; past its end the primary is the target.
    std::vector<std::size_t> targets =
        monitors == MonitorsEach ? homesOf(before, areas) : std::vector<std::size_t>();
    targets.resize(proxy.icons.size(), primaryMonitor(areas));
    std::vector<bool> movers(proxy.icons.size(), false);
    for (std::size_t index = 0; index < proxy.icons.size(); ++index)
        movers[index] = !(index < stay.size() && stay[index]) &&
                        monitorOf(proxy.icons[index], areas) != targets[index];
    moveOnto(proxy.icons, proxy.grid(), areas, movers, targets);
}

} // namespace organizers::placement
