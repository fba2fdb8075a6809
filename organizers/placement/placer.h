// A placement strategy: gives every icon of a snapshot a new box position (left, top). The
// proxy moves the real icons afterwards; a placer never touches the list view.
#pragma once

#include "organizers/snapshot.h"
#include "organizers/sorting/sorter.h"

namespace organizers::placement {

struct Placer {
    virtual void place(DesktopProxy& proxy, sorting::Sorter& sorter) = 0;
    virtual ~Placer() = default;

    // The lock setting at the time of the call; only the automatic grouping reads it.
    bool locked = false;
};

} // namespace organizers::placement
