// The platform of the native tests, apart from the desktop (tests/support/fake_desktop.h): each
// part of the seam has a file of its own here, named after what it fakes.
//
//   fake_clock.cpp         currentFileTime                   fake::now
//   fake_threads.cpp       sleepMilliseconds, the glide turn (a glide runs at once, to its
//                          end; pauses and waits are counted) fake::glidesStarted,
//                                                            fake::pauses, fake::glideWaits,
//                                                            fake::pausedMilliseconds,
//                                                            fake::hurryAtPause
//   fake_lock.cpp          winapi::NamedLock                 fake::locksHeld, fake::failLocks
//   fake_error_text.cpp    winapi::systemMessage             fake::systemMessages
//   fake_file_replace.cpp  replaceFileContents (real files)  fake::inUseReplaces,
//                                                            fake::replaceError, fake::replaceCalls
//                          noteSaveOutcome                   fake::saveOutcomes
//   fake_repaint.cpp       repaintIcons                      Desktop::repaints (on the desktop)
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace fake {

// The clock, as a FILETIME count.
extern std::uint64_t now;
// Pauses taken since the last reset, and their length in all.
extern int pauses;
extern std::uint64_t pausedMilliseconds;
// Glides started since the last reset; the fake runs each one at once, to its end. Glide pauses
// count as pauses.
extern int glidesStarted;
// Calls of awaitGlides since the last reset.
extern int glideWaits;
// The glide pause (counted from 1 since the last reset) at which a newer arrangement asks the
// glide to finish; 0: never.
extern int hurryAtPause;
// The system's text for error codes, as the fake platform reports it.
extern std::unordered_map<std::uint32_t, std::string> systemMessages;
// How often each named lock is held right now; when failLocks is set, taking one fails.
extern std::unordered_map<std::u16string, int> locksHeld;
extern bool failLocks;
// File replacing writes real files. The next inUseReplaces calls (every call, when negative)
// report the file in use instead; while replaceError is not 0 every call fails with that code.
// Either way the file is left alone. replaceCalls counts the calls. The file heldOpen, when
// set, is in use for as long as it stays set.
extern int inUseReplaces;
extern std::filesystem::path heldOpen;
extern std::uint32_t replaceError;
extern int replaceCalls;
// The outcome of each save told since the last reset: 0 when saved, else the error code (or
// UINT32_MAX when none was known).
extern std::vector<std::uint32_t> saveOutcomes;

// Puts every fake above back to its start.
void reset();

} // namespace fake
