#include "tests/support/display_sweep.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "component/arrangement.h"
#include "desktop_access/icon_store.h"
#include "desktop_access/last_display.h"
#include "desktop_access/layouts.h"
#include "organizers/placement/on_screen.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/fakes.h"

namespace fake {
namespace {

using desktop_access::Cell;
using desktop_access::Desktop;
using desktop_access::Grid;
using desktop_access::Rect;

enum class Taskbar { bottom, top, left, right };

// The work area of a monitor at (left, 0) of the given size with a 40-pixel taskbar on an edge.
Rect workArea(int left, int width, int height, Taskbar taskbar) {
    Rect area{left, 0, left + width, height};
    switch (taskbar) {
    case Taskbar::bottom:
        area.bottom -= 40;
        break;
    case Taskbar::top:
        area.top += 40;
        break;
    case Taskbar::left:
        area.left += 48;
        break;
    case Taskbar::right:
        area.right -= 48;
        break;
    }
    return area;
}

struct Size {
    int width;
    int height;
};
const Size sizes[] = {{1024, 768}, {1280, 720},  {1280, 1024}, {1366, 768},
                      {1600, 900}, {1920, 1080}, {2560, 1440}};

// A display: its work areas and the size of the icons' boxes (75 pixels at 100% scale).
struct Display {
    std::vector<Rect> areas;
    int box = 75;
};

// Every display of the pool: one monitor of each size and taskbar edge, and two monitors of
// unequal size, the second on the left or the right of the primary one.
std::vector<Display> displayPool() {
    std::vector<Display> pool;
    for (const Size& size : sizes)
        for (Taskbar taskbar : {Taskbar::bottom, Taskbar::top, Taskbar::left, Taskbar::right})
            pool.push_back({{workArea(0, size.width, size.height, taskbar)}});
    for (const Size& primary : {sizes[5], sizes[6], sizes[3]})
        for (const Size& second : {sizes[0], sizes[2], sizes[4]})
            for (bool onTheLeft : {true, false}) {
                const int left = onTheLeft ? -second.width : primary.width;
                pool.push_back({{workArea(0, primary.width, primary.height, Taskbar::bottom),
                                 {left, 0, left + second.width, second.height}}});
            }
    for (const Taskbar taskbar : {Taskbar::top, Taskbar::left})
        pool.push_back(
            {{workArea(0, 1920, 1080, taskbar), {1920, 200, 3200, 1224}, {-1366, -100, 0, 668}}});
    // The display scale (125%, 150%, 200%) and large icons make every box, and so every cell,
    // larger on the same screens.
    for (const int box : {94, 112, 150, 106})
        for (const Size& size : {sizes[5], sizes[6]})
            pool.push_back({{workArea(0, size.width, size.height, Taskbar::bottom)}, box});
    return pool;
}

std::map<std::u16string, desktop_access::Point> positionsByLabel(const Desktop& desktop) {
    std::map<std::u16string, desktop_access::Point> positions;
    for (const Desktop::Item& item : desktop.items)
        positions[item.label] = item.position;
    return positions;
}

// The grid the component sees on a display.
Grid gridOf(const Display& display) {
    return Grid::measure(display.areas, display.box, display.box);
}
Grid gridOf(const Desktop& desktop) {
    const int box = desktop.items.empty()
                        ? 75
                        : desktop.items.front().box.right - desktop.items.front().box.left;
    return gridOf(Display{desktop.areas, box});
}

// Shows the display: its work areas, and every box at its size (the box's corner staying as far
// left of and above the position as it is at 100%).
void show(Desktop& desktop, const Display& display) {
    desktop.areas = display.areas;
    for (Desktop::Item& item : desktop.items)
        item.box = {-21, -4, -21 + display.box, -4 + display.box};
}

desktop_access::IconRecord recordOf(const Desktop& desktop, std::size_t index) {
    const Rect box = desktop.boxOf(std::int32_t(index));
    desktop_access::IconRecord icon;
    icon.left = box.left;
    icon.top = box.top;
    icon.width = box.right - box.left;
    icon.height = box.bottom - box.top;
    return icon;
}

// Whether each monitor has room for the icons that belong on it under the setting: the primary
// for all of them, or each for those that stood on it (homes: each icon's monitor, by index).
bool roomOnMonitors(const Desktop& desktop, const std::vector<std::size_t>& homes) {
    const Grid grid = gridOf(desktop);
    std::vector<std::int64_t> wanted(desktop.areas.size(), 0);
    for (const std::size_t home : homes)
        ++wanted[home];
    for (std::size_t monitor = 0; monitor < desktop.areas.size(); ++monitor)
        if (organizers::placement::FreeCells(grid, {&desktop.areas[monitor], 1}).freeCount() <
            wanted[monitor])
            return false;
    return true;
}

void checkMonitors(const Desktop& desktop, const std::vector<desktop_access::Point>& before,
                   std::int32_t monitors, bool seenBefore, DisplayFigures& figures) {
    using organizers::placement::monitorOf;
    const std::size_t primary = organizers::placement::primaryMonitor(desktop.areas);
    std::vector<std::size_t> homes(desktop.items.size(), primary);
    std::vector<bool> checked(desktop.items.size(), monitors == organizers::MonitorsPrimary);
    if (monitors == organizers::MonitorsEach && !seenBefore)
        for (std::size_t index = 0; index < homes.size(); ++index) {
            desktop_access::IconRecord icon = recordOf(desktop, index);
            icon.left += before[index].x - desktop.items[index].position.x;
            icon.top += before[index].y - desktop.items[index].position.y;
            const std::optional<std::size_t> home = monitorOf(icon, desktop.areas);
            homes[index] = home.value_or(primary);
            checked[index] = home.has_value();
        }
    if (monitors == organizers::MonitorsAll || !roomOnMonitors(desktop, homes))
        return;
    for (std::size_t index = 0; index < homes.size(); ++index)
        if (checked[index] && monitorOf(recordOf(desktop, index), desktop.areas) != homes[index])
            ++figures.offTheirMonitor;
}

void checkArrangement(const Desktop& desktop, DisplayFigures& figures) {
    const Grid grid = gridOf(desktop);
    const organizers::placement::FreeCells cells(grid, desktop.areas);
    if (cells.freeCount() < std::int64_t(desktop.items.size()))
        return; // too many icons for this display: some must stand doubled or off it
    ++figures.checkedChanges;
    std::set<std::pair<int, int>> taken;
    for (std::size_t index = 0; index < desktop.items.size(); ++index) {
        const desktop_access::IconRecord icon = recordOf(desktop, index);
        if (!organizers::placement::onScreen(icon, desktop.areas))
            ++figures.iconsOutside;
        const Cell cell = cellOf(icon, grid);
        if (!taken.insert({cell.column, cell.row}).second)
            ++figures.pairsInOneCell;
    }
}

// Icons in groups on the first display: blocks of a few rows and columns in free places.
void addIconsInGroups(Desktop& desktop, int count, std::mt19937& random) {
    const Grid grid = gridOf(desktop);
    std::set<std::pair<int, int>> taken;
    int made = 0;
    while (made < count) {
        const int width = std::uniform_int_distribution<int>(1, 4)(random);
        const int height = std::uniform_int_distribution<int>(1, 4)(random);
        const int left = std::uniform_int_distribution<int>(0, grid.columns - width)(random);
        const int top = std::uniform_int_distribution<int>(0, grid.rows - height)(random);
        for (int column = left; column < left + width && made < count; ++column)
            for (int row = top; row < top + height && made < count; ++row) {
                if (!grid.isUsable({column, row}, desktop.areas) ||
                    !taken.insert({column, row}).second)
                    continue;
                const desktop_access::Point corner = grid.cellCorner(Cell{column, row});
                const std::string label = "icon " + std::to_string(made++);
                desktop.addIcon(std::u16string(label.begin(), label.end()), corner.x, corner.y);
            }
    }
}

} // namespace

DisplayFigures runDisplaySequences(int sequences, int changesPerSequence, int icons,
                                   std::uint32_t seed, const std::filesystem::path& folder,
                                   std::int32_t monitors) {
    const std::vector<Display> pool = displayPool();
    std::mt19937 random(seed);
    DisplayFigures figures;
    for (int sequence = 0; sequence < sequences; ++sequence) {
        fake::reset();
        const std::filesystem::path store =
            folder / ("seq" + std::to_string(monitors) + "-" + std::to_string(icons) + "-" +
                      std::to_string(sequence) + ".store");
        // A dozen displays at most, so that every one seen before is still remembered.
        std::vector<std::size_t> displays(pool.size());
        std::iota(displays.begin(), displays.end(), std::size_t{0});
        std::shuffle(displays.begin(), displays.end(), random);
        displays.resize(std::uniform_int_distribution<std::size_t>(3, 12)(random));
        // The first display holds all the icons with room to spare, at 100%: the largest of the
        // pool joins the sequence when none of its displays does.
        const auto roomy = [&](std::size_t display) {
            const Grid grid = gridOf(pool[display]);
            return pool[display].box == 75 && grid.columns * grid.rows >= icons * 2;
        };
        std::size_t current = 0;
        while (current < displays.size() && !roomy(displays[current]))
            ++current;
        if (current == displays.size()) {
            displays[0] = pool.size() - 1;
            for (std::size_t display = 0; display < pool.size(); ++display)
                if (roomy(display))
                    displays[0] = display;
            current = 0;
        }
        Desktop desktop;
        desktop.areas = pool[displays[current]].areas;
        addIconsInGroups(desktop, icons, random);
        for (int opening = 0; opening < icons; ++opening)
            component::countActivation(store, desktop,
                                       std::uniform_int_distribution<int>(0, icons - 1)(random));
        const std::map<std::u16string, std::uint32_t> counts = [&] {
            std::map<std::u16string, std::uint32_t> read;
            for (const auto& record : desktop_access::readStore(store).icons)
                read[record.name] = record.usage;
            return read;
        }();

        // What each display the layouts remember showed when last arranged; a display is
        // remembered once it has held for 5 s, and from then on at every arrangement.
        std::map<std::size_t, std::map<std::u16string, desktop_access::Point>> lastSeen;
        const auto arrange = [&] {
            component::arrange(
                store, desktop, component::SortUsage, component::ArrangeAuto, [] { return false; },
                desktop_access::Trigger::other, monitors);
        };
        arrange();
        auto arrived = positionsByLabel(desktop);
        for (int change = 0; change < changesPerSequence; ++change) {
            // Mostly a display holds a while; one in five lasts under 5 s (a game's resolution,
            // a monitor dropping out for a moment).
            const bool brief = std::uniform_int_distribution<int>(0, 4)(random) == 0;
            const std::uint64_t held =
                brief ? std::uniform_int_distribution<std::uint64_t>(0, desktop_access::settleTime -
                                                                            1)(random)
                      : std::uniform_int_distribution<std::uint64_t>(desktop_access::settleTime,
                                                                     600 * 10'000'000ull)(random);
            fake::now += held;
            const bool leftUnremembered = brief && !lastSeen.contains(current);
            if (!leftUnremembered)
                lastSeen[current] = arrived;
            const std::size_t left = current;
            std::size_t next = current;
            while (next == current)
                next = std::uniform_int_distribution<std::size_t>(0, displays.size() - 1)(random);
            current = next;
            show(desktop, pool[displays[current]]);
            std::vector<desktop_access::Point> before;
            for (const Desktop::Item& item : desktop.items)
                before.push_back(item.position);
            arrange();
            ++figures.changes;
            checkArrangement(desktop, figures);
            if (leftUnremembered) {
                // The display just left never held: the layouts must not know it.
                const Display& shown = pool[displays[left]];
                const auto layouts =
                    desktop_access::readLayouts(desktop_access::layoutsPathFor(store));
                ++figures.shortLived;
                figures.shortLivedRemembered +=
                    layouts && layouts->contains(desktop_access::configurationOf(
                                   shown.areas, shown.box, shown.box))
                        ? 1
                        : 0;
            }
            checkMonitors(desktop, before, monitors, lastSeen.contains(current), figures);
            arrived = positionsByLabel(desktop);
            if (const auto seen = lastSeen.find(current); seen != lastSeen.end()) {
                ++figures.returns;
                for (const auto& [label, position] : seen->second) {
                    ++figures.remembered;
                    figures.restored += arrived.at(label) == position ? 1 : 0;
                }
            }
        }
        for (const auto& record : desktop_access::readStore(store).icons)
            figures.countsChanged += counts.at(record.name) == record.usage ? 0 : 1;
    }
    return figures;
}

std::string describe(const DisplayFigures& figures, int icons, double seconds,
                     std::int32_t monitors) {
    static const char* const settings[] = {"all", "primary", "each"};
    char line[720];
    std::snprintf(
        line, sizeof line,
        "display changes, monitors %s, %d icons: %ld changes (%ld with cells enough), %ld icons "
        "outside every work area, %ld pairs in one cell; %ld returns, %ld of %ld "
        "remembered icons restored (%.1f%%); %ld of %ld short-lived displays remembered; %ld off "
        "their monitor; %ld counts changed; "
        "%.1f us per icon and change",
        settings[monitors >= 0 && monitors <= 2 ? monitors : 0], icons, figures.changes,
        figures.checkedChanges, figures.iconsOutside, figures.pairsInOneCell, figures.returns,
        figures.restored, figures.remembered,
        figures.remembered ? 100.0 * figures.restored / figures.remembered : 100.0,
        figures.shortLivedRemembered, figures.shortLived, figures.offTheirMonitor,
        figures.countsChanged,
        figures.changes ? 1e6 * seconds / (double(figures.changes) * icons) : 0.0);
    return line;
}

} // namespace fake
