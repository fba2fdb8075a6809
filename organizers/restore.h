// Putting the desktop back as it was: the decision of an undo, a redo, or the restoring of an
// earlier arrangement or a named layout, as one function of values, like plan.h's.
//
// Live icons meet the saved places by label, icons sharing a label in their order (the first
// live icon of a label takes the first place of it, and so on). On the display the places were
// saved on, every icon that met a place goes exactly there. On another display the places are
// carried over as a change of display carries an arrangement (group_relayout.h: groups of
// neighbours kept at their edges and corners), then onto the screens with no two icons in one
// cell (on_screen.h). Either way an icon the saved places do not know (one that arrived since)
// goes to the free usable cell nearest to where it stands, and a saved place no live icon meets
// (an icon gone since) is skipped.
#pragma once

#include <vector>

#include "desktop_access/display.h"
#include "organizers/snapshot.h"

namespace organizers {

struct SavedDesktop {
    desktop_access::DisplayConfiguration display;
    std::vector<desktop_access::Place> places; // labels may repeat
};

// Every icon of the snapshot, in list-view order, with the place restoring gives it.
std::vector<IconRecord> restorePlaces(const DesktopProxy& snapshot, const SavedDesktop& saved);

// The grid a saved display showed (the one a snapshot of it measures).
Grid gridOf(const desktop_access::DisplayConfiguration& display);

// Whether two sets of places differ: an icon of a label stands elsewhere, or one is there that
// was not. The order of the places does not matter.
bool placesDiffer(const std::vector<desktop_access::Place>& before,
                  const std::vector<desktop_access::Place>& after);

} // namespace organizers
