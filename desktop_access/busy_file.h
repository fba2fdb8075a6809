// How every file Kelvara writes (the icon store, the layouts file) is replaced: in one step
// (replaceFileContents, desktop_seam.h), so the file holds the old content or the new, whole; and
// while another program holds it open (an indexer, a backup), tried again after pauses that
// start short, as most holders let go within moments, and grow to a quarter of a second, for
// busyFileWaitMilliseconds in all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace desktop_access {

inline constexpr std::uint32_t busyFileWaitMilliseconds = 2000;

// Replaces the file's content with the bytes, waiting for a program that holds it. Nothing when
// done; otherwise why not, in plain words beginning with `what` (what could not be saved), and
// the system's error code: the file then holds what it held.
struct NotWritten {
    std::string reason;
    std::uint32_t error = 0;
};
std::optional<NotWritten> replaceWhenFree(const std::filesystem::path& file, std::string_view bytes,
                                          std::string_view what);

// A file's bytes as a reader needs to know them: missing, read (a file larger than maxBytes reads
// as no bytes, which no reader takes for a sound file), or unreadable after the same wait for a
// program that holds it open without letting others read.
struct FileBytes {
    enum class State { missing, read, unreadable };
    State state = State::missing;
    std::string bytes;
};
FileBytes readWhenFree(const std::filesystem::path& file, std::uintmax_t maxBytes);

} // namespace desktop_access
