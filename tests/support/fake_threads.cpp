// The pause and the glide turn of the seam: a glide runs at once on the caller's thread, to its
// end, and pauses return at once; all are counted. A glide is told that a newer arrangement waits
// at the pause fake::hurryAtPause.
#include "desktop_access/desktop_seam.h"
#include "tests/support/fakes.h"

namespace desktop_access {

void sleepMilliseconds(std::uint32_t milliseconds) {
    ++fake::pauses;
    fake::pausedMilliseconds += milliseconds;
}

void awaitGlides() {
    ++fake::glideWaits;
}

void startGlide(std::function<void()> work) {
    ++fake::glidesStarted;
    work();
}

bool glidePause(std::uint32_t milliseconds) {
    sleepMilliseconds(milliseconds);
    return fake::pauses == fake::hurryAtPause;
}

} // namespace desktop_access
