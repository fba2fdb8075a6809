// What KelvaraCmd prints: the status lines, the usage counts of the stored icons, and the one
// line that says what failed. Lines end in a line feed; the program's output turns that into
// the line end of the stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop_access/icon_record.h"

namespace cmdline {

struct Settings {
    std::int32_t sortMethod = 0;
    std::int32_t arrangeMethod = 0;
    std::int32_t locked = 0; // any value but 0 is locked
};

// "sort: usage", "arrange: auto" and "locked: no" lines; a method outside its enumeration is
// printed as its number.
std::u16string settingsText(const Settings& settings);
// "icons: N".
std::u16string iconCountText(std::int32_t count);

// One line per icon, most used first, ties by label (UTF-16 code unit by code unit): the count,
// a tab, the label. Control characters of a label print as spaces, so each icon keeps one line.
std::u16string countsText(std::vector<organizers::IconRecord> icons);

// "<what was being done>: <why it failed>." on one line: line breaks and runs of white space in
// the reason become single spaces, and a full stop ends the line unless the reason ends in one.
std::u16string failureLine(const std::u16string& what, const std::u16string& why);

// A narrow ASCII message (the error family's) as UTF-16.
std::u16string widen(const std::string& ascii);

} // namespace cmdline
