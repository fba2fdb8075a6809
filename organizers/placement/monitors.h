// Which monitors hold the icons (the setting "Monitors"). A monitor is one work area of the
// desktop's list view: the shell gives the list view one per monitor. The primary is the work
// area of the monitor whose top-left corner is the origin of the list view's coordinates: of
// the work areas that start neither left of the origin nor above it, the one starting nearest
// to it (a taskbar along the primary's top or left edge starts its work area past the origin).
//
// - All: the monitors are one desktop (every placer's own behaviour).
// - Primary: an edge arrangement fills the primary's usable cells, and icons beyond its room go
//   to the nearest free usable cell of another monitor (never past a screen while one is free);
//   the automatic arrangement moves every icon standing on another monitor to the primary's free
//   usable cell nearest to it, while the primary has room.
// - Each: every icon stays on the monitor it stands on, and an edge arrangement sorts and fills
//   within each monitor (from each monitor's own left edge, and so on); an icon standing on no
//   monitor (its monitor has gone) goes to the primary. An icon the automatic arrangement puts
//   back where a display seen before showed it stays there: when a monitor comes back, its icons
//   come back with it.
//
// All of it works on the one grid of the whole desktop, so a cell is the same cell whichever
// monitor setting placed an icon in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "desktop_access/geometry.h"
#include "organizers/placement/placer.h"
#include "organizers/snapshot.h"

namespace organizers::placement {

enum MonitorsSetting : std::int32_t { MonitorsAll = 0, MonitorsPrimary = 1, MonitorsEach = 2 };

// The primary's index among the work areas (0 when there are none).
std::size_t primaryMonitor(std::span<const desktop_access::Rect> workAreas);
// The work area holding the centre of the icon's box; nothing when none does.
std::optional<std::size_t> monitorOf(const IconRecord& icon,
                                     std::span<const desktop_access::Rect> workAreas);

// An edge arrangement under Primary or Each: the placer (an edge aligner) fills each monitor's
// cells with its icons, in the sorter's order within each monitor, the primary's icons first;
// what does not fit goes to the nearest free usable cell of any monitor.
void placeOnMonitors(DesktopProxy& proxy, Placer& placer, sorting::Sorter& sorter,
                     std::int32_t monitors);

// After the automatic arrangement under Primary or Each: moves the icons that stand on the
// wrong monitor (any but the primary; under Each another than the one they stood on before, as
// `before` holds them in the same order) to the nearest free usable cell of the right one. Icons
// marked in `stay` (by position) do not move. An icon for which the right monitor has no free
// cell stays where it is.
void keepOnMonitors(DesktopProxy& proxy, const std::vector<IconRecord>& before,
                    std::int32_t monitors, const std::vector<bool>& stay);

} // namespace organizers::placement
