// The history of arrangements, in the file Kelvara.history beside the icon store: a restore point
// for each arrangement that moved an icon, taken just before it (every icon's place, the display,
// the time and what started it), so that the arrangement can be undone, and the points undone so
// far, so that they can be redone. At most 32 of each are kept, the oldest going first.
//
// Format (UTF-8 text, lines ending in a line feed; numbers in decimal, "-" for negatives):
//
//   Kelvara history 1
//   undo COUNT                            the points that can be undone, oldest first
//   point TIME TRIGGER SORT ARRANGE AREAS CELLWIDTH CELLHEIGHT PLACES
//   area LEFT TOP RIGHT BOTTOM            AREAS lines, sorted
//   LEFT TOP LABEL                        PLACES lines, in list-view order
//   ...                                   COUNT points in all
//   redo COUNT                            the points undone that can be redone, the next last
//   point ...
//   end                                   the last line: a file cut short is never whole
//
// TIME is a FILETIME count (100 ns since 1601, UTC); TRIGGER the number of what started the
// arrangement (Trigger below); SORT and ARRANGE its sort and arrange methods (ARRANGE -1 for a
// restore); a place is the
// top-left corner of an icon's box, and a label is written as in the layouts file (layouts.h):
// UTF-8, with "\\", "\n", "\r" and "\uXXXX" escapes. Icons sharing a label keep their order. A
// file that is not exactly of this form is damaged: it reads as no history at all, and the next
// write replaces it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_access/display.h"

namespace desktop_access {

// What started an arrangement.
enum class Trigger : std::uint32_t {
    other = 0,       // a program that named none of these
    script = 1,      // a script or another program, through Refresh
    menu = 2,        // Kelvara's menu
    commandLine = 3, // KelvaraCmd
    start = 4,       // Kelvara's start
    shellRestart = 5,
    displayChange = 6, // the hook: the display's size or work areas changed
    iconsChanged = 7,  // the hook: icons arrived or left
    handMove = 8,      // the hook: icons moved by hand, taken in
    opening = 9,       // an opening counted, then the desktop arranged
    restore = 10,      // a restore, in files of an earlier build (they record who asked now)
};
inline constexpr std::uint32_t triggerCount = 11;
// The ARRANGE of a point taken before a restore (of an earlier arrangement or a named layout).
inline constexpr std::int32_t restoreMethod = -1;

// The desktop as it was just before an arrangement, and what that arrangement was.
struct RestorePoint {
    std::uint64_t time = 0;
    Trigger trigger = Trigger::other;
    std::int32_t sortMethod = 0;
    std::int32_t arrangeMethod = 0;
    DisplayConfiguration display;
    std::vector<Place> places; // in list-view order; labels may repeat
    friend bool operator==(const RestorePoint&, const RestorePoint&) = default;
};

struct History {
    static constexpr std::size_t capacity = 32;

    std::vector<RestorePoint> undo; // oldest first
    std::vector<RestorePoint> redo; // the next to redo last

    // A new arrangement moves icons: the desktop before it is the newest point to undo, and
    // nothing can be redone any more.
    void record(RestorePoint before);
    // Undo: the point to go back to, the desktop as it stands (current's places and display)
    // becoming the next to redo, described as the arrangement undone (the target's time, trigger
    // and methods); nothing when there is nothing to undo.
    std::optional<RestorePoint> stepBack(RestorePoint current);
    // Redo: the point to go forward to, current becoming the newest to undo, described as the
    // arrangement redone; nothing when there is nothing to redo.
    std::optional<RestorePoint> stepForward(RestorePoint current);

    friend bool operator==(const History&, const History&) = default;
};

std::string encodeHistory(const History& history);
// Nothing when the bytes are not exactly of the form above.
std::optional<History> decodeHistory(std::string_view bytes);

// The file's history: nothing when it is missing, unreadable or damaged.
std::optional<History> readHistory(const std::filesystem::path& file);
// Replaces the file whole or not at all, waiting for a program that holds it (busy_file.h).
// The file stays under 64 MiB: the oldest points that would take it past are not written.
// Throws HistoryWriteError when it could not; the file then holds the history it held.
void writeHistory(const std::filesystem::path& file, const History& history);

// How every HistoryWriteError's message begins.
inline constexpr char historyNotSaved[] = "Kelvara could not save the history of arrangements";

// The history file beside a store file: the same folder and name, ".history" for ".store".
std::filesystem::path historyPathFor(const std::filesystem::path& storeFile);

} // namespace desktop_access
