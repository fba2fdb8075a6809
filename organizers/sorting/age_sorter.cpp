#include "organizers/sorting/age_sorter.h"

#include <limits>
#include <string>
#include <unordered_map>

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
    const auto& creationTimes = facts.creationTimes;
    const std::uint64_t now = facts.now;
    std::unordered_map<std::u16string, std::uint64_t> ageByName;
    ageByName.reserve(creationTimes.size());
    for (const auto& [name, created] : creationTimes)
        ageByName.emplace(name, ageInDays(now, created));

    // A label that names no desktop item has age 0.
    std::vector<std::uint64_t> ages;
    ages.reserve(icons.size());
    for (const IconRecord& record : icons) {
        const auto found = ageByName.find(record.name);
        ages.push_back(found == ageByName.end() ? 0 : found->second);
    }
    sortByKey(icons, ages,
              [](std::uint64_t ageA, const IconRecord& a, std::uint64_t ageB, const IconRecord& b) {
                  if (ageA != ageB)
                      return ageA < ageB;
                  return a.name < b.name;
              });
}

} // namespace organizers::sorting
