#include "organizers/sorting/name_sorter.h"

#include "organizers/sorting/sort_by_key.h"

namespace organizers::sorting {

void NameSorter::sort(std::vector<IconRecord>& icons) {
    // Items outside the file system first, then by label; a label that names no desktop item
    // counts as outside the file system.
    sortByFactThenLabel(
        icons, facts.fileSystem,
        [](const bool* inFileSystem) { return inFileSystem && *inFileSystem; },
        [](bool a, bool b) { return !a && b; });
}

} // namespace organizers::sorting
