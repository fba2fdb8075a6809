// Automatic grouping: keeps the user's own arrangement. When the usable area changed size since
// the stored state was written, groups of neighbouring icons are carried over to the new area;
// otherwise, while locked, every icon goes back to its stored place; otherwise every icon is
// snapped onto the grid cell where it stands, and icons that share a cell or stand outside the
// grid are given a free cell nearby. The sorting strategy is not used.
#pragma once

#include <optional>
#include <vector>

#include "desktop_access/layouts.h"
#include "organizers/placement/placer.h"

namespace organizers::placement {

// Snaps every icon, in list-view order, onto its cell when that cell is inside the grid and the
// icon is the first there; any other icon goes to the first free cell of a search that runs down,
// right, up and left from its cell at growing distance. An icon for which no free cell exists on
// those lines stays where it is. A grid without cells leaves every icon in place. Icons marked in
// leaveOut (by position) are neither looked at nor moved.
void snapToGrid(DesktopProxy& live, const std::vector<bool>& leaveOut = {});

// What the automatic arrangement knows besides the snapshot: the arrangements remembered per
// display, and whether the display is another than the last arrangement's. The store session
// decides the latter once; left out, it is decided here by the same rule (displayChanged of
// desktop_access/layouts.h) from the layouts and the snapshot's stored state.
struct Memory {
    const desktop_access::Layouts* layouts = nullptr; // none remembered when null
    std::optional<bool> displayChanged;
    // The display the last arrangement was made on, when known (last_display.h); else the
    // layouts' most recent one stands for it.
    const desktop_access::DisplayConfiguration* lastArranged = nullptr;
    // Its places as that arrangement left them, while the layouts do not remember it yet.
    const std::vector<desktop_access::Place>* lastPending = nullptr;
};

struct AutoGroup : Placer {
    void place(DesktopProxy& proxy, sorting::Sorter& sorter) override;

    Memory memory;
    // What the last place decided: whether the display had changed, and which icons (by
    // position) it put back exactly where it remembers them (a display seen before, the lock).
    bool displayChanged = false;
    std::vector<bool> restored;
};

} // namespace organizers::placement
