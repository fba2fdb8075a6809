// A desktop held in memory, standing in for the shell's list view in the native tests. It
// defines desktop_access::Desktop, the six desktop requests and the two shell lookups of the seam
// over it (and tests/support/fake_repaint.cpp its repaint), records every move, and can be told
// to fail a chosen request or to drop positions. The rest of the seam is
// faked beside it (tests/support/fakes.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop_access/desktop_seam.h"

namespace desktop_access {

struct Desktop {
    struct Item {
        std::u16string label;
        Point position;
        // The bounding box relative to the position; by default the box the list view of the
        // test machines reports: 75 x 75, 21 pixels left of and 4 above the position.
        Rect box{-21, -4, 54, 71};
        // Positions the item still passes through, as while an animation moves it: every
        // position request first moves it on to the next one.
        std::vector<Point> glide;
    };
    struct Move {
        std::int32_t index;
        std::int32_t x;
        std::int32_t y;
    };

    std::vector<Item> items;
    std::vector<Rect> areas;

    // The shell namespace: file-system flag and creation time (nothing = no find data) by name.
    std::unordered_map<std::u16string, bool> fileSystem;
    std::unordered_map<std::u16string, std::optional<std::uint64_t>> creationTimes;

    // Every setIconPosition, in order, also those dropped (below).
    std::vector<Move> moves;
    // How many of an item's next setIconPosition calls are answered and not carried out, as a
    // desktop that another program manages answers them (-1: all of them).
    std::unordered_map<std::int32_t, int> droppedSets;
    // For each repaintIcons, how many moves had been made by then.
    std::vector<std::size_t> repaints;
    // Calls of iconPosition.
    int positionReads = 0;
    // When set, the named request ("count", "box", "position", "text", "workAreas", "set",
    // "repaint") fails for this item index (any index for the desktop-wide ones) with
    // DesktopAccessError.
    std::optional<std::string> failRequest;
    std::int32_t failIndex = -1;
    // Whether the icons are shown (showIcons sets it; "shown" in failRequest fails both calls).
    bool shown = true;
    // Calls of the name lookups, to prove which sorters ask the shell.
    int shellLookups = 0;

    // Adds an item whose box's top-left corner is at (left, top).
    Desktop& addIcon(std::u16string label, std::int32_t left, std::int32_t top);
    Rect boxOf(std::int32_t index) const;
};

} // namespace desktop_access

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/errors.h"
#include "tests/support/fakes.h"

namespace fake {

// What a snapshot reads of the fake desktop's shell: its file-system flags and creation times,
// at the fake clock's time.
inline desktop_access::ShellFacts factsOf(const desktop_access::Desktop& desktop) {
    return {desktop_access::inNameOrder(desktop.fileSystem),
            desktop_access::inNameOrder(desktop.creationTimes), now};
}

} // namespace fake
