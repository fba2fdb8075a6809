#include "organizers/sorting/usage_sorter.h"

#include <algorithm>

namespace organizers::sorting {

void UsageSorter::sort(std::vector<IconRecord>& icons) {
    std::sort(icons.begin(), icons.end(),
              [](const IconRecord& a, const IconRecord& b) { return a.usage > b.usage; });
}

} // namespace organizers::sorting
