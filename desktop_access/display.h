// What tells one display from another: the list view's set of work areas (one per monitor, less
// the taskbars) and the size of its cells. Each remembers its own arrangement (layouts.h), as
// icons' places.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "desktop_access/geometry.h"

namespace desktop_access {

// The order in which a configuration holds its work areas: by left, top, right, bottom.
inline bool areaBefore(const Rect& a, const Rect& b) {
    return std::tie(a.left, a.top, a.right, a.bottom) < std::tie(b.left, b.top, b.right, b.bottom);
}

struct DisplayConfiguration {
    std::vector<Rect> workAreas; // sorted by areaBefore
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    friend bool operator==(const DisplayConfiguration&, const DisplayConfiguration&) = default;
};

// An icon's place on a display: the top-left corner of its box, and its label.
struct Place {
    std::u16string label;
    std::int32_t left = 0;
    std::int32_t top = 0;
    friend bool operator==(const Place&, const Place&) = default;
};

// The configuration of work areas in any order and a cell size.
inline DisplayConfiguration configurationOf(std::vector<Rect> workAreas, std::int32_t cellWidth,
                                            std::int32_t cellHeight) {
    std::sort(workAreas.begin(), workAreas.end(), areaBefore);
    return {std::move(workAreas), cellWidth, cellHeight};
}

} // namespace desktop_access
