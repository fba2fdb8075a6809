// The decision of an arrangement, as one function of values: the snapshot the call read, what it
// remembers (the layouts, whether the display changed) and the settings give every icon's place.
// No file, no shell, no clock: the same values give the same places, everywhere (the component,
// the tests, the sweeps).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "desktop_access/snapshot.h"
#include "organizers/placement/auto_group.h"
#include "organizers/placement/monitors.h"
#include "organizers/placement/placer.h"
#include "organizers/snapshot.h"
#include "organizers/sorting/sorter.h"

namespace organizers {

enum SortMethod : std::int32_t { SortIconName = 0, SortUsage = 1, SortAge = 2 };
enum ArrangeMethod : std::int32_t {
    ArrangeAuto = 0,
    ArrangeLeft = 1,
    ArrangeRight = 2,
    ArrangeTop = 3,
    ArrangeBottom = 4
};

using placement::MonitorsAll;
using placement::MonitorsEach;
using placement::MonitorsPrimary;

struct Settings {
    std::int32_t sortMethod = SortUsage;
    std::int32_t arrangeMethod = ArrangeAuto;
    bool locked = false;
    std::int32_t monitors = MonitorsAll; // placement/monitors.h
};

// The strategy for a method, or null when the value lies outside its enumeration. The sorters
// that need the shell's facts take them from the snapshot's (which must outlive the sorter).
std::unique_ptr<sorting::Sorter> makeSorter(std::int32_t sortMethod, const ShellFacts& facts);
std::unique_ptr<placement::Placer> makePlacer(std::int32_t arrangeMethod,
                                              const placement::Memory& memory = {});
// Whether both methods lie inside their enumerations.
bool knowsMethods(std::int32_t sortMethod, std::int32_t arrangeMethod);
// Whether the monitors setting is one of MonitorsAll, MonitorsPrimary and MonitorsEach.
bool knowsMonitors(std::int32_t monitors);
// Which of the shell's facts a sort method needs read with the snapshot.
desktop_access::ShellNeeds shellNeedsOf(std::int32_t sortMethod);

// Every icon of the snapshot with its new place, in the order the store keeps them (the sorter's
// order for an edge arrangement, list-view order for the automatic one). Nothing, and nothing
// decided, when a method or the monitors setting lies outside its enumeration.
std::optional<std::vector<IconRecord>>
plan(const DesktopProxy& snapshot, const placement::Memory& memory, const Settings& settings);

} // namespace organizers
