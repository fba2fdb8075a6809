// One desktop icon as the organizers see it: its label, the bounding box where it stands (which
// placers overwrite), the offset from that box to the list-view position, and its usage count.
#pragma once

#include <cstdint>
#include <string>

#include "desktop_access/desktop_seam.h"

namespace desktop_access {

struct IconRecord {
    std::int32_t left = 0; // top-left corner of the bounding box; placers overwrite it
    std::int32_t top = 0;
    std::int32_t offsetX = 0; // list-view position minus the box corner, carried over by moves
    std::int32_t offsetY = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::u16string name; // the label: the key for the stored state and the shell items
    Icon icon;
    std::uint32_t usage = 0;
};

} // namespace desktop_access
