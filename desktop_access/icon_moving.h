// Gliding icons to their places. A list of moves is stepped toward the targets in passes: with
// more than five icons still moving each one jumps straight to its target, with five or fewer
// each pass covers half of the remaining distance, and an icon within 1.5 pixels of its target
// is set exactly onto it and leaves the list. The list view repaints after every pass, so the
// icons show where they stand. A glide holds the session's glide turn (desktop_seam.h); when a
// newer arrangement waits for it, the icons still on their way go straight to their targets.
//
// A position the list view answers need not have taken (another program managing the desktop
// may ignore it or put the icon back), so once all have arrived every icon's position is read
// back; one found where it stood before the glide is set once more and read again, one found
// anywhere else was moved since by someone else and stays, and every icon not at its target
// then is counted. The count is kept for the process, for clients to be told.
#pragma once

#include <cstdint>
#include <vector>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/icon_record.h"

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
// setIconPosition, repainting with repaintIcons and pausing with glidePause, then checks
// the positions (one iconPosition per icon, and for each icon found where it started one more
// setIconPosition and iconPosition). Returns how many icons did not take their places. Errors
// of the requests propagate. The moves are icons of one desktop.
std::uint32_t runAnimation(std::vector<IconMove> moves);

// Runs the animation on a detached thread of its own that holds the glide turn (startGlide),
// which owns the moves, and adds the icons that did not take their places to iconsNotTaken. An
// error there ends that animation and goes no further; all its icons then count as not taken.
// Returns once the thread holds the turn; throws as startGlide does, having moved nothing.
void startAnimation(std::vector<IconMove> moves);

// Moves every placed icon from where the snapshot read it (read holds the records as read, in
// list-view index order) to (left + offsetX, top + offsetY) of its placed record, in the order of
// placed: startAnimation with those moves. No position is read again: no glide runs between the
// reading and this (the snapshot waited for glides, and holds the store lock), and one moved by
// hand meanwhile simply starts its glide from where it was read.
void applyPlaces(const std::vector<IconRecord>& read, const std::vector<IconRecord>& placed);

// Icons of the animations since the last reset that did not take their places. Animations add
// to it from their own threads; safe to read from any thread.
std::uint32_t iconsNotTaken();
// Back to 0, as an arrangement starts.
void resetIconsNotTaken();

} // namespace desktop_access
