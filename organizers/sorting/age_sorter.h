// Orders icons newest first by whole days since creation, then by label in code-unit order.
// Items the shell has no find data for come last; labels that name no desktop item first. The
// creation times and the time of the reading come with the snapshot's shell facts.
#pragma once

#include <cstdint>
#include <optional>

#include "organizers/sorting/sorter.h"

namespace organizers::sorting {

// Whole days from created to now, in wrapping unsigned 64-bit arithmetic (a creation time in
// the future gives a huge age); no creation time gives the largest age of all.
std::uint64_t ageInDays(std::uint64_t now, std::optional<std::uint64_t> created);

class AgeSorter : public Sorter {
  public:
    explicit AgeSorter(const ShellFacts& facts) : facts(facts) {}
    void sort(std::vector<IconRecord>& icons) override;

    const ShellFacts& facts; // the snapshot's, which outlives the sorter
};

} // namespace organizers::sorting
