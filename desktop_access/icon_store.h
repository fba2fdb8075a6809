// The icon store: one small text file per user that carries the grid and every icon's label,
// box and usage count from one call of the component to the next.
//
// Format: four header lines "a:b" (columns:rows, areaWidth:areaHeight, cellWidth:cellHeight,
// originX:originY), then four lines per icon (label; left:top; width:height; usage). Numbers are
// plain decimal, lines end in a single line feed, and every character of a label is one byte.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace organizers {
class DesktopProxy;
}

namespace desktop_access {

// Fills the grid and icons of an empty proxy from the file. A missing or unreadable file leaves
// it empty; a malformed one yields the records before the first fault.
void readStore(organizers::DesktopProxy& proxy, const std::filesystem::path& file);

// Writes the proxy's grid and icons to its storePath, replacing the file atomically: a write that
// fails leaves the previous store whole. Never throws.
void writeStore(const organizers::DesktopProxy& proxy) noexcept;

// The file's bytes for a proxy, and the proxy read back from bytes (what the two above do
// between the file and memory).
std::string encodeStore(const organizers::DesktopProxy& proxy);
void decodeStore(std::string_view bytes, organizers::DesktopProxy& proxy);

} // namespace desktop_access
