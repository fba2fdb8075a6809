#include "organizers/sorting/name_sorter.h"

#include "organizers/sorting/sort_by_key.h"

namespace organizers::sorting {

void NameSorter::sort(std::vector<IconRecord>& icons) {
    const auto& fileSystemByName = facts.fileSystem;
    // A label that names no desktop item counts as outside the file system.
    std::vector<bool> inFileSystem;
    inFileSystem.reserve(icons.size());
    for (const IconRecord& record : icons) {
        const auto found = fileSystemByName.find(record.name);
        inFileSystem.push_back(found != fileSystemByName.end() && found->second);
    }
    sortByKey(icons, inFileSystem,
              [](bool fileA, const IconRecord& a, bool fileB, const IconRecord& b) {
                  if (fileA != fileB)
                      return !fileA;
                  return a.name < b.name; // char16_t is unsigned: code-unit order
              });
}

} // namespace organizers::sorting
