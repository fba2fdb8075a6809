// The icon store: one small text file per user that carries the grid and every icon's label,
// box and usage count from one call of the component to the next.
//
// Format: four header lines "a:b" (columns:rows, areaWidth:areaHeight, cellWidth:cellHeight,
// originX:originY), then four lines per icon (label; left:top; width:height; usage). Numbers are
// plain decimal, lines end in a single line feed, and every character of a label is one byte.
// A label is written with at most 259 code units, the most a label line may hold when read, in
// the store's form (desktop_access/labels.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/errors.h"

namespace desktop_access {

// The largest store file that is read; a larger one counts as unreadable. Kelvara writes about
// 50 bytes for an ordinary icon and at most about 1,100 for one whose label is 259 characters
// above 0xFF, so a desktop needs over a million ordinary icons, or some 60,000 of the longest, to
// come near it: a larger file did not come from here. Reading costs the records themselves (80
// bytes each, plus long labels), at most about 7.5 times the file for the smallest records.
inline constexpr std::uintmax_t maxStoreBytes = 64u << 20;

// How every StoreWriteError's message begins.
inline constexpr char storeNotSaved[] = "Kelvara could not save the icon store";

// The grid and icons the file holds. A missing, unreadable or too large file gives an empty
// snapshot (no icons, a grid of zeros); a malformed one the records before the first fault. The
// file is read as a stream, never held in memory whole. An empty path reads nothing.
DesktopProxy readStore(const std::filesystem::path& file);

// Writes the snapshot's grid and icons in place of the file, in one step and waiting for a
// program that holds it (desktop_access/busy_file.h). Throws StoreWriteError, in plain words,
// when the store could not be replaced; the file then holds the previous store.
void writeStore(const std::filesystem::path& file, const DesktopProxy& state);

// The file's bytes for a snapshot, and the snapshot read back from bytes (what the two above do
// between the file and memory).
std::string encodeStore(const DesktopProxy& state);
DesktopProxy decodeStore(std::string_view bytes);

} // namespace desktop_access
