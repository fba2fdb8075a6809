// The organizers' snapshot of the desktop, a plain value: every icon's label, box, position
// offset and usage count, the grid the work areas offer (the snapshot is its grid), the work
// areas themselves, the state the store held (previous), and what the shell knows of the items
// that the sorters need. Nothing in it reads or writes the desktop or a file: a live snapshot is
// read in a store session (desktop_access/snapshot.h), a stored one by the icon store's reader.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/geometry.h"
#include "desktop_access/grid.h"
#include "desktop_access/icon_record.h"

namespace desktop_access {

// What the shell namespace knows of the desktop's items and the list view does not, by display
// name, read with a live snapshot when the sort needs it.
struct ShellFacts {
    // Whether each item lies in the file system (the name sorter).
    std::unordered_map<std::u16string, bool> fileSystem;
    // Each item's creation time as a FILETIME count, or nothing without find data, and the time
    // of the reading (the age sorter).
    std::unordered_map<std::u16string, std::optional<std::uint64_t>> creationTimes;
    std::uint64_t now = 0;
};

struct DesktopProxy : Grid {
    // The grid, as one value.
    const Grid& grid() const { return *this; }
    // The display this snapshot was taken on: its work areas, sorted, and its cell size.
    DisplayConfiguration configuration() const {
        return configurationOf(workAreas, cellWidth, cellHeight);
    }

    // The state read back from the store, the records of labels no longer on the desktop
    // dropped; empty in a snapshot that was itself read from the store.
    std::shared_ptr<DesktopProxy> previous;
    // In list-view index order as read; sorters reorder them, placers give them new places.
    std::vector<IconRecord> icons;
    // The list view's work areas as a live snapshot read them; none in a stored one.
    std::vector<Rect> workAreas;
    ShellFacts shell;
};

} // namespace desktop_access
