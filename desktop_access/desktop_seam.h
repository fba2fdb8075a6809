// The seam between the portable core and the platform. The core reaches the desktop, the shell
// namespace, the clock and threads only through the declarations below (and the store lock,
// winapi/named_lock.h, and the system's error text, winapi::systemMessage in winapi/error.h);
// the Windows layer defines them over the shell's list view, and the native tests over a desktop
// held in memory. Exactly one definition is linked into each binary:
//
// - the six desktop requests: desktop_access/list_view_requests_win32.cpp on Windows,
//   tests/support/fake_desktop.cpp in the tests;
// - repaintIcons: desktop_access/shell_answers_win32.cpp, tests/support/fake_repaint.cpp;
// - iconsShown and showIcons: desktop_access/shell_answers_win32.cpp,
//   tests/support/fake_desktop.cpp;
// - the two name lookups: desktop_access/shell_lookups_win32.cpp, tests/support/fake_desktop.cpp;
// - currentFileTime: desktop_access/platform_win32.cpp, tests/support/fake_clock.cpp;
// - sleepMilliseconds: desktop_access/platform_win32.cpp, tests/support/fake_threads.cpp;
// - noteSaveOutcome: desktop_access/platform_win32.cpp, tests/support/fake_file_replace.cpp;
// - the glide turn (awaitGlides, startGlide, glidePause): desktop_access/glide_turn_win32.cpp,
//   tests/support/fake_threads.cpp;
// - replaceFileContents: desktop_access/file_replace_win32.cpp,
// tests/support/fake_file_replace.cpp;
// - winapi::NamedLock: winapi/named_lock_win32.cpp, tests/support/fake_lock.cpp;
// - winapi::systemMessage: winapi/error_text_win32.cpp, tests/support/fake_error_text.cpp.
//
// Desktop itself is defined by desktop_access/desktop_win32.h and tests/support/fake_desktop.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop_access/errors.h"
#include "desktop_access/geometry.h"

namespace desktop_access {

// The desktop record. Opaque to the core: the core only passes it on.
struct Desktop;

// One list-view item: the process-wide desktop (never owned) and the item index.
struct Icon {
    Desktop* desktop = nullptr;
    std::int32_t index = 0;
};

// The six desktop requests. Each may throw DesktopAccessError, UninitializedDesktopError or
// winapi::RemoteAllocatorError.
std::int32_t iconCount(Desktop& desktop);
Rect iconBoundingBox(const Icon& icon);
Point iconPosition(const Icon& icon);
std::u16string iconText(const Icon& icon); // at most 259 code units
std::vector<Rect> workAreas(Desktop& desktop);
void setIconPosition(const Icon& icon, std::int32_t x, std::int32_t y);

// Asks the list view to repaint now, so that icons just set show where they stand. May throw
// DesktopAccessError.
void repaintIcons(Desktop& desktop);

// Whether the shell shows the desktop's icons (its own "Show desktop icons"), and showing or
// hiding them as that command does, so that the shell's setting follows. Nothing is arranged
// while they are hidden. Both may throw DesktopAccessError; showIcons also when the shell did
// not carry it out.
bool iconsShown(Desktop& desktop);
void showIcons(Desktop& desktop, bool shown);

// What the sorters need of the shell namespace, keyed by display name (exact, case-sensitive).
// For each desktop item: whether it lies in the file system.
std::unordered_map<std::u16string, bool> fileSystemFlagsByName(Desktop& desktop);
// For each desktop item: its creation time as a FILETIME count (100 ns units since 1601, UTC),
// or nothing when the shell has no find data for it.
std::unordered_map<std::u16string, std::optional<std::uint64_t>>
creationTimesByName(Desktop& desktop);
// The current time as a FILETIME count.
std::uint64_t currentFileTime();

// Pauses the calling thread.
void sleepMilliseconds(std::uint32_t milliseconds);

// The glide turn. Icons glide to their places on a thread of their own, after the arrangement
// that placed them has returned, and the next arrangement may come from any process of the
// session (the launcher, the hook inside the shell, a script, the command line): were two glides
// to run at once, or a snapshot to read icons still gliding, the older arrangement's moves, and
// the read-back that sets astray icons once more, would undo the newer one. So glides take
// turns across the session, and a snapshot reads the desktop only when none runs:
//
// - a live snapshot, holding the store lock, calls awaitGlides before it reads the desktop;
// - an arrangement starts its glide with startGlide while it still holds the store lock, so the
//   glide holds the turn before any later snapshot can look for one;
// - the glide pauses between its passes with glidePause, which tells it when a newer
//   arrangement waits: it then sets its remaining icons straight at their targets, checks its
//   places and ends.
//
// Asks a glide still running anywhere in the session to finish at once and waits until it has
// ended. Throws DesktopAccessError when it has not ended in time (a glide stuck past every
// request's bound).
void awaitGlides();
// Runs work on a new detached thread that holds the glide turn while the work runs; returns once
// the thread has taken the turn. Nothing waits for the thread itself. The work must not throw.
// Throws DesktopAccessError when the turn cannot be had in time, winapi::Error when no thread
// can be started; the work then does not run.
void startGlide(std::function<void()> work);
// The pause between two passes of a glide, on its own thread: true as soon as a newer
// arrangement waits for the glide to end (the pause then ends early), else false after the
// pause.
bool glidePause(std::uint32_t milliseconds);

// What became of a replaceFileContents: done, or the file unchanged because another program
// holds it (or the temporary file) open, or unchanged for another reason, with the system's code.
struct FileReplaceResult {
    enum Outcome { done, inUse, failed };
    Outcome outcome = done;
    std::uint32_t error = 0;
};
// Puts bytes in place of the file's content in one step: they are written to a temporary file
// beside it (its name + ".new"; one left by a write that was killed is reused), flushed to the
// disk, and the temporary file then takes the file's place. Whatever happens, even a crash or a
// power cut, the file afterwards holds the old content or the new, whole. A call that fails
// leaves the file as it was and removes its temporary file. Never throws.
FileReplaceResult replaceFileContents(const std::filesystem::path& file,
                                      std::string_view bytes) noexcept;

// Tells whoever shows the user Kelvara's state (the launcher's balloon) how a save of the store
// went: saved, or not, with the system's error code (0 when none is known). Every save of a
// session tells it, in every process, so the one that works after failures is heard too. Never
// throws and never waits.
void noteSaveOutcome(bool saved, std::uint32_t systemError) noexcept;

} // namespace desktop_access
