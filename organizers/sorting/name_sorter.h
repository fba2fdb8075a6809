// Orders icons by label: items outside the file system first, then by UTF-16 code unit (no case
// folding, no locale, no numeric runs; a prefix comes before the longer name). Which items lie
// in the file system the snapshot's shell facts say; the sorter asks nothing itself.
#pragma once

#include "organizers/sorting/sorter.h"

namespace organizers::sorting {

class NameSorter : public Sorter {
  public:
    explicit NameSorter(const ShellFacts& facts) : facts(facts) {}
    void sort(std::vector<IconRecord>& icons) override;

    const ShellFacts& facts; // the snapshot's, which outlives the sorter
};

} // namespace organizers::sorting
