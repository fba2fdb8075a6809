// The icon store: one small text file per user that carries the grid and every icon's label,
// box and usage count from one call of the component to the next.
//
// Format: four header lines "a:b" (columns:rows, areaWidth:areaHeight, cellWidth:cellHeight,
// originX:originY), then four lines per icon (label; left:top; width:height; usage). Numbers are
// plain decimal, lines end in a single line feed, and every character of a label is one byte.
// A label is written with at most 259 code units, the most a label line may hold when read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace organizers {
class DesktopProxy;
}

namespace desktop_access {

// The largest store file that is read; a larger one counts as unreadable. Kelvara writes about
// 50 bytes for an ordinary icon and at most about 1,100 for one whose label is 259 characters
// above 0xFF, so a desktop needs over a million ordinary icons, or some 60,000 of the longest, to
// come near it: a larger file did not come from here. Reading costs the records themselves (80
// bytes each, plus long labels), at most about 7.5 times the file for the smallest records.
inline constexpr std::uintmax_t maxStoreBytes = 64u << 20;

// How every StoreWriteError's message begins, so that a client can tell that failure: the
// arrangement was made and the counts are kept, only the file could not be replaced.
inline constexpr char storeNotSaved[] = "Kelvara could not save the icon store";

// How long, in all, a write waits for another program that holds the store open.
inline constexpr std::uint32_t inUseRetryMilliseconds = 2000;

// Fills the grid and icons of an empty proxy from the file. A missing, unreadable or too large
// file leaves it empty; a malformed one yields the records before the first fault. The file is
// read as a stream, never held in memory whole.
void readStore(organizers::DesktopProxy& proxy, const std::filesystem::path& file);

// Writes the proxy's grid and icons in place of the file at its storePath, in one step
// (replaceFileContents, desktop_access/desktop_seam.h): the file is the old store or the new one,
// whole. While another program holds the file, the write is tried again, pausing between tries,
// for inUseRetryMilliseconds in all. Throws StoreWriteError, in plain words, when the store
// could not be replaced; the file then holds the previous store.
void writeStore(const organizers::DesktopProxy& proxy);

// The file's bytes for a proxy, and the proxy read back from bytes (what the two above do
// between the file and memory).
std::string encodeStore(const organizers::DesktopProxy& proxy);
void decodeStore(std::string_view bytes, organizers::DesktopProxy& proxy);

} // namespace desktop_access
