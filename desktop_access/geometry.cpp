#include "desktop_access/geometry.h"

#include <cmath>
#include <limits>

namespace desktop_access {

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
