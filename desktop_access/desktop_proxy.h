// The organizers' snapshot of the desktop, a plain value: every icon's label, box, position
// offset and usage count, the grid the work areas offer (the snapshot is its grid), the work
// areas themselves, the state the store held (previous), and what the shell knows of the items
// that the sorters need. Nothing in it reads or writes the desktop or a file: a live snapshot is
// read in a store session (desktop_access/snapshot.h), a stored one by the icon store's reader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/geometry.h"
#include "desktop_access/grid.h"
#include "desktop_access/icon_record.h"

namespace desktop_access {

// What the shell namespace knows of the desktop's items and the list view does not, read with a
// live snapshot when the sort needs it: one entry per display name, in code-unit order, so that
// a sorter meets them in one pass beside icons it has put in label order.
template <typename Fact> using FactsByName = std::vector<std::pair<std::u16string, Fact>>;
struct ShellFacts {
    // Whether each item lies in the file system (the name sorter).
    FactsByName<bool> fileSystem;
    // Each item's creation time as a FILETIME count, or nothing without find data, and the time
    // of the reading (the age sorter).
    FactsByName<std::optional<std::uint64_t>> creationTimes;
    std::uint64_t now = 0;
};

// The entries of a map by name, in code-unit order (and made in that order, so that a pass over
// them reads the names from memory in order).
template <typename Fact>
FactsByName<Fact> inNameOrder(const std::unordered_map<std::u16string, Fact>& byName) {
    using Entry = typename std::unordered_map<std::u16string, Fact>::value_type;
    std::vector<const Entry*> order;
    order.reserve(byName.size());
    for (const Entry& entry : byName)
        order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->first < b->first; });
    FactsByName<Fact> facts;
    facts.reserve(order.size());
    for (const Entry* entry : order)
        facts.emplace_back(entry->first, entry->second);
    return facts;
}

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

// Every icon's place (its box's corner and its label), in the icons' order: what is remembered
// of an arrangement.
inline std::vector<Place> placesOf(const std::vector<IconRecord>& icons) {
    std::vector<Place> places;
    places.reserve(icons.size());
    for (const IconRecord& icon : icons)
        places.push_back({icon.name, icon.left, icon.top});
    return places;
}

} // namespace desktop_access
