// Orders icons by usage count, highest first, as unsigned 32-bit numbers. Equal counts have no
// further key. Asks neither the shell nor the list view.
#pragma once

#include "organizers/sorting/sorter.h"

namespace organizers::sorting {

class UsageSorter : public Sorter {
  public:
    UsageSorter() = default;
    void sort(std::vector<IconRecord>& icons) override;
};

} // namespace organizers::sorting
