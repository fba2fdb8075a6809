#include "organizers/sorting/age_sorter.h"

#include <limits>

#include "organizers/sorting/sort_by_key.h"

namespace organizers::sorting {

std::uint64_t ageInDays(std::uint64_t now, std::optional<std::uint64_t> created) {
    if (!created)
        return std::numeric_limits<std::uint64_t>::max();
    // FILETIME units of 100 ns to nanoseconds, then down to days. Both the difference and the
    // product wrap: a creation time in the future comes out as an age of some 213,500 days, after
    // every normally dated item and before the items without find data.
    std::uint64_t value = (now - *created) * 100;
    value = value / 1000 / 1000 / 1000;
    value = value / 60 / 60 / 24;
    return value;
}

void AgeSorter::sort(std::vector<IconRecord>& icons) {
    // Newest first, then by label; a label that names no desktop item has age 0.
    const std::uint64_t now = facts.now;
    sortByFactThenLabel(
        icons, facts.creationTimes,
        [now](const std::optional<std::uint64_t>* created) {
            return created ? ageInDays(now, *created) : std::uint64_t{0};
        },
        [](std::uint64_t a, std::uint64_t b) { return a < b; });
}

} // namespace organizers::sorting
