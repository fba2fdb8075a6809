// Threads of the seam: a detached thread's work runs at once on the caller's thread, to its
// end, and pauses return at once; both are counted.
#include "desktop_access/desktop_seam.h"
#include "tests/support/fakes.h"

namespace desktop_access {

void startDetachedThread(std::function<void()> work) {
    ++fake::threadsStarted;
    work();
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    ++fake::pauses;
    fake::pausedMilliseconds += milliseconds;
}

} // namespace desktop_access
