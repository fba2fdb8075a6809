// What KelvaraCmd prints: the status lines, the usage counts of the stored icons, and the one
// line that says what failed (in the words of component/client_text.h). Lines end in a line feed;
// the program's output turns that into the line end of the stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "component/client_text.h"
#include "desktop_access/icon_record.h"

namespace cmdline {

using component::failureLine;
using component::Settings;
using component::widen;

// "sort: usage", "arrange: auto", "locked: no" and "monitors: all" lines; a method outside its
// enumeration is printed as its number.
std::u16string settingsText(const Settings& settings);
// "icons: N".
std::u16string iconCountText(std::int32_t count);

// One line per icon, most used first, ties by label (UTF-16 code unit by code unit): the count,
// a tab, the label. Control characters of a label print as spaces, so each icon keeps one line.
std::u16string countsText(std::vector<desktop_access::IconRecord> icons);

} // namespace cmdline
