// Orders icons by label: items outside the file system first, then by UTF-16 code unit (no case
// folding, no locale, no numeric runs; a prefix comes before the longer name).
#pragma once

#include "organizers/sorting/sorter.h"

namespace organizers::sorting {

class NameSorter : public Sorter {
  public:
    explicit NameSorter(desktop_access::Desktop& desktop) : desktop(desktop) {}
    void sort(std::vector<IconRecord>& icons) override;

    desktop_access::Desktop& desktop; // process-wide, not owned
};

} // namespace organizers::sorting
