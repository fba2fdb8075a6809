#include "organizers/plan.h"

#include <algorithm>
#include <unordered_set>

#include "organizers/placement/edge_align.h"
#include "organizers/sorting/age_sorter.h"
#include "organizers/sorting/name_sorter.h"
#include "organizers/sorting/usage_sorter.h"

namespace organizers {

std::unique_ptr<sorting::Sorter> makeSorter(std::int32_t sortMethod, const ShellFacts& facts) {
    switch (sortMethod) {
    case SortIconName:
        return std::make_unique<sorting::NameSorter>(facts);
    case SortUsage:
        return std::make_unique<sorting::UsageSorter>();
    case SortAge:
        return std::make_unique<sorting::AgeSorter>(facts);
    default:
        return nullptr;
    }
}

std::unique_ptr<placement::Placer> makePlacer(std::int32_t arrangeMethod,
                                              const placement::Memory& memory) {
    switch (arrangeMethod) {
    case ArrangeAuto: {
        auto placer = std::make_unique<placement::AutoGroup>();
        placer->memory = memory;
        return placer;
    }
    case ArrangeLeft:
        return std::make_unique<placement::LeftAlign>();
    case ArrangeRight:
        return std::make_unique<placement::RightAlign>();
    case ArrangeTop:
        return std::make_unique<placement::TopAlign>();
    case ArrangeBottom:
        return std::make_unique<placement::BottomAlign>();
    default:
        return nullptr;
    }
}

bool knowsMethods(std::int32_t sortMethod, std::int32_t arrangeMethod) {
    return sortMethod >= SortIconName && sortMethod <= SortAge && arrangeMethod >= ArrangeAuto &&
           arrangeMethod <= ArrangeBottom;
}

bool knowsMonitors(std::int32_t monitors) {
    return monitors >= MonitorsAll && monitors <= MonitorsEach;
}

desktop_access::ShellNeeds shellNeedsOf(std::int32_t sortMethod) {
    return {sortMethod == SortIconName, sortMethod == SortAge};
}

namespace {

// The icons the automatic arrangement puts back exactly where it remembers them, and which the
// monitors setting leaves there: while locked, every icon it holds; under Each, on a display seen
// before, every icon that display remembers (when a monitor comes back, its icons come back).
// Under Primary a display seen before is brought onto the primary like any other.
std::vector<bool> placedFromMemory(const DesktopProxy& snapshot, const placement::Memory& memory,
                                   const Settings& settings) {
    std::vector<bool> remembered(snapshot.icons.size(), false);
    const bool changed = placement::displayChanged(snapshot, memory);
    if (changed ? settings.monitors != MonitorsEach : !settings.locked)
        return remembered;
    const std::vector<desktop_access::Place>* seen =
        placement::layoutsOf(memory).find(snapshot.configuration());
    if (seen == nullptr) {
        // Locked without a remembered display: the icons go back to their stored places.
        if (!changed)
            std::fill(remembered.begin(), remembered.end(), true);
        return remembered;
    }
    std::unordered_set<std::u16string_view> labels;
    for (const desktop_access::Place& place : *seen)
        labels.insert(place.label);
    for (std::size_t index = 0; index < snapshot.icons.size(); ++index)
        remembered[index] = labels.contains(snapshot.icons[index].name);
    return remembered;
}

} // namespace

std::optional<std::vector<IconRecord>>
plan(const DesktopProxy& snapshot, const placement::Memory& memory, const Settings& settings) {
    if (!knowsMethods(settings.sortMethod, settings.arrangeMethod) ||
        !knowsMonitors(settings.monitors))
        return std::nullopt;
    const std::unique_ptr<sorting::Sorter> sorter = makeSorter(settings.sortMethod, snapshot.shell);
    const std::unique_ptr<placement::Placer> placer = makePlacer(settings.arrangeMethod, memory);
    placer->locked = settings.locked;
    // The placers work on a snapshot of their own; the shell's facts stay with the one read.
    DesktopProxy placed;
    static_cast<Grid&>(placed) = snapshot.grid();
    placed.previous = snapshot.previous;
    placed.icons = snapshot.icons;
    placed.workAreas = snapshot.workAreas;
    if (settings.monitors == MonitorsAll || placed.workAreas.size() < 2) {
        placer->place(placed, *sorter);
    } else if (settings.arrangeMethod != ArrangeAuto) {
        placement::placeOnMonitors(placed, *placer, *sorter, settings.monitors);
    } else {
        placer->place(placed, *sorter);
        placement::keepOnMonitors(placed, snapshot.icons, settings.monitors,
                                  placedFromMemory(snapshot, memory, settings));
    }
    return std::move(placed.icons);
}

} // namespace organizers
