// The display the last arrangement was made on, in the file Kelvara.display beside the icon
// store: its configuration, since when arrangements have found it (the first arrangement on it
// after another), and, while it has not been remembered in the layouts file yet, the places the
// last arrangement on it left.
//
// Only a display that has held is remembered (layouts.h): a configuration goes into the layouts
// file, where it can push another out, once it has been shown for settleTime. One that lasts a
// second or two (a game switching the resolution, a monitor that drops out, waking from sleep)
// is arranged like any other, its icons kept on a screen, but never takes one of the places;
// going back to the display before it finds that display as it was remembered. Its places are
// kept here until it is left, so one that has held by then is remembered as its last arrangement
// left it, whichever process arranges next and however long after.
//
// Format (UTF-8 text, lines ending in a line feed, numbers in decimal):
//
//   Kelvara display 1
//   since TIME STATE            TIME a FILETIME count (100 ns since 1601, UTC); STATE
//                               "remembered" when the layouts hold it, else "pending"
//   configuration ...           one block of the layouts file's form: the configuration, its
//                               area lines and, while pending, its places (none when remembered)
//   end
//
// A file not exactly of this form reads as none: the display then counts as the layouts' most
// recent one, as it does for a store that has never had this file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_access/display.h"
#include "desktop_access/layouts.h"

namespace desktop_access {

// How long a display must hold before the layouts remember it: 5 s, in FILETIME units.
inline constexpr std::uint64_t settleTime = 5 * 10'000'000ull;

struct LastDisplay {
    DisplayConfiguration configuration;
    std::uint64_t since = 0;
    bool remembered = false;    // the layouts hold it
    std::vector<Place> pending; // while they do not: the places its last arrangement left
    friend bool operator==(const LastDisplay&, const LastDisplay&) = default;
};

std::string encodeLastDisplay(const LastDisplay& display);
std::optional<LastDisplay> decodeLastDisplay(std::string_view bytes);
// Nothing when the file is missing, unreadable or damaged.
std::optional<LastDisplay> readLastDisplay(const std::filesystem::path& file);
// Replaces the file whole or not at all; throws LayoutsWriteError when it could not.
void writeLastDisplay(const std::filesystem::path& file, const LastDisplay& display);

// What an arrangement on the live display, with its places, makes of the layouts and of the last
// display at `now`: the display it left is remembered when it had held (its kept places), and
// the live one when the layouts know it already or it has held; otherwise its places are kept
// as pending. Returns whether the layouts changed.
bool rememberArranged(Layouts& layouts, std::optional<LastDisplay>& last,
                      const DisplayConfiguration& live, const std::vector<Place>& places,
                      std::uint64_t now);

// The file beside a store file: the same folder and name, ".display" for ".store".
std::filesystem::path lastDisplayPathFor(const std::filesystem::path& storeFile);

} // namespace desktop_access
