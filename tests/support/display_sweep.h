// A replay of the display changes users live with, over the fake desktop and the component's own
// arrangement: resolutions from 1024 x 768 to 2560 x 1440, a second monitor of another size on the
// left or the right, or two more of other sizes and offsets on both sides, added and removed, the
// taskbar on any edge, the display scale at 125%, 150% and 200% and large icons (larger cells).
// Each sequence starts with icons in groups on one display and changes the display at random among
// a dozen or fewer (so every display seen before is still remembered); after each change it counts
// icons no screen shows, pairs of icons in one cell (while the usable cells suffice) and, on a
// return to a display remembered, how many of its icons stand where they stood. One display in five
// is shown for under 5 s (the fake clock) and must never be remembered. The native tests run a
// short form; benchmarks/native/display_sweep runs the whole sweep and prints its figures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace fake {

struct DisplayFigures {
    long changes = 0;
    long iconsOutside = 0;
    long pairsInOneCell = 0;
    long checkedChanges = 0; // changes after which the usable cells sufficed
    long returns = 0;
    long remembered = 0; // icons a display seen before remembered, on every return
    long restored = 0;   // of those, standing where they stood
    long countsChanged = 0;
    // Displays left before they had held for 5 s and never remembered before, and of those, any
    // the layouts remember after the next arrangement.
    long shortLived = 0;
    long shortLivedRemembered = 0;
    // Under the monitors setting "primary": icons off the primary while it had room; under
    // "each": icons that stood on a monitor of the new display it did not remember and ended on
    // another, while every monitor had room for its own.
    long offTheirMonitor = 0;
};

// Runs the sequences with the given number of icons, in stores made in the folder.
// monitors is the setting "Monitors" the arrangements run under.
DisplayFigures runDisplaySequences(int sequences, int changesPerSequence, int icons,
                                   std::uint32_t seed, const std::filesystem::path& folder,
                                   std::int32_t monitors = 0);

// One line of figures.
std::string describe(const DisplayFigures& figures, int icons, double seconds,
                     std::int32_t monitors = 0);

} // namespace fake
