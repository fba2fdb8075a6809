// Gliding icons to their places. A list of moves is stepped toward the targets in passes: with
// more than five icons still moving each one jumps straight to its target, with five or fewer
// each pass covers half of the remaining distance, and an icon within 1.5 pixels of its target
// is set exactly onto it and leaves the list.
#pragma once

#include <cstdint>
#include <vector>

#include "desktop_access/desktop_seam.h"

namespace desktop_access {

struct IconMove {
    Icon icon;
    std::int32_t currentX = 0; // list-view item position, not the box corner
    std::int32_t currentY = 0;
    std::int32_t targetX = 0;
    std::int32_t targetY = 0;
};

// The pause after every pass.
inline constexpr std::uint32_t animationPauseMs = 40;

// Runs the passes on the calling thread until every icon has arrived, setting positions with
// setIconPosition and pausing with sleepMilliseconds. Errors of setIconPosition propagate.
void runAnimation(std::vector<IconMove> moves);

// Runs the animation on a detached thread of its own, which owns the moves. An error there ends
// that animation and goes no further.
void startAnimation(std::vector<IconMove> moves);

} // namespace desktop_access
