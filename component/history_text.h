// How restore points are told to a person: what the arrangement did ("sort by name"), what
// started it ("menu"), when, and the history's lines. Times are FILETIME counts already turned
// into the user's local time (the caller knows the time zone; this code does not).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "desktop_access/history.h"

namespace component {

// What the arrangement after the point did: "sort by name", "sort by usage", "sort by age" for
// an edge arrangement, "tidy" for the automatic one, "restore" for a restore, "arrangement"
// after a display change or a shell restart.
std::string whatItDid(const desktop_access::RestorePoint& point);
// What started it: "script", "menu", "command line", "start", "shell restart", "display
// change", "icons changed", "hand move", "opening", "restore", or "program".
std::string triggerName(desktop_access::Trigger trigger);

// "14:02" and "2026-12-09 14:02:31" of a local FILETIME count.
std::string clockTime(std::uint64_t localTime);
std::string dateAndTime(std::uint64_t localTime);

// "sort by name (14:02)": the undo or redo menu item's and the descriptions' text after "Undo "
// or "Redo ".
std::string stepDescription(const desktop_access::RestorePoint& point, std::uint64_t localTime);

// One line of the history: "NUMBER<TAB>DATE TIME<TAB>TRIGGER<TAB>WHAT<TAB>ICONS icons".
std::string historyLine(std::size_t number, const desktop_access::RestorePoint& point,
                        std::uint64_t localTime);

} // namespace component
