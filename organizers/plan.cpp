#include "organizers/plan.h"

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
        auto& automatic = static_cast<placement::AutoGroup&>(*placer);
        automatic.place(placed, *sorter);
        // What it put back where it remembers them stays there: while locked, and under Each on
        // a display seen before (a monitor that comes back brings its icons back). Under Primary
        // a display seen before is brought onto the primary like any other.
        const bool keepRemembered = !automatic.displayChanged || settings.monitors == MonitorsEach;
        placement::keepOnMonitors(placed, snapshot.icons, settings.monitors,
                                  keepRemembered ? automatic.restored : std::vector<bool>{});
    }
    return std::move(placed.icons);
}

} // namespace organizers
