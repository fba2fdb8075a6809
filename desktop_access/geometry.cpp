#include "desktop_access/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace desktop_access {

bool coveredBy(const Box64& box, const Rect* areas, std::size_t count) {
    // Mostly one area holds the whole box, or none touches it.
    bool touched = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Rect& area = areas[i];
        if (area.left <= box.left && box.right <= area.right && area.top <= box.top &&
            box.bottom <= area.bottom)
            return true;
        touched = touched || (std::max<std::int64_t>(box.left, area.left) <
                                  std::min<std::int64_t>(box.right, area.right) &&
                              std::max<std::int64_t>(box.top, area.top) <
                                  std::min<std::int64_t>(box.bottom, area.bottom));
    }
    if (!touched)
        return box.left >= box.right || box.top >= box.bottom;
    // Across several areas: what is left of the box once each area is cut away; covered when
    // nothing is.
    std::vector<Box64> left;
    if (box.left < box.right && box.top < box.bottom)
        left.push_back(box);
    for (std::size_t i = 0; i < count && !left.empty(); ++i) {
        const Rect& area = areas[i];
        std::vector<Box64> next;
        for (const Box64& piece : left) {
            const std::int64_t x0 = std::max<std::int64_t>(piece.left, area.left);
            const std::int64_t x1 = std::min<std::int64_t>(piece.right, area.right);
            const std::int64_t y0 = std::max<std::int64_t>(piece.top, area.top);
            const std::int64_t y1 = std::min<std::int64_t>(piece.bottom, area.bottom);
            if (x0 >= x1 || y0 >= y1) {
                next.push_back(piece);
                continue;
            }
            if (piece.top < y0)
                next.push_back({piece.left, piece.top, piece.right, y0});
            if (y1 < piece.bottom)
                next.push_back({piece.left, y1, piece.right, piece.bottom});
            if (piece.left < x0)
                next.push_back({piece.left, y0, x0, y1});
            if (x1 < piece.right)
                next.push_back({x1, y0, piece.right, y1});
        }
        left.swap(next);
    }
    return left.empty();
}

std::int32_t truncToInt32(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    if (value <= low)
        return std::numeric_limits<std::int32_t>::min();
    if (value >= high)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

} // namespace desktop_access
