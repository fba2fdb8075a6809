// Reading a live snapshot of the desktop, once per call: every icon through three requests (its
// box, its position and its label), the work areas, the grid they offer for the largest box, and
// what the session read: the stored state as previous and the usage counts carried over by label.
// What the shell knows of the items is read with it, when the sort needs it, so that nothing
// after the reading reaches the shell.
#pragma once

#include "desktop_access/desktop_proxy.h"
#include "desktop_access/desktop_seam.h"
#include "desktop_access/errors.h"
#include "desktop_access/store_session.h"

namespace desktop_access {

// Which of the shell's facts a call needs (ShellFacts).
struct ShellNeeds {
    bool fileSystem = false;
    bool creationTimes = false;
};

// The snapshot: icons in list-view index order, each with the count of the first stored record
// of its label and the process's unsaved increment for it; previous holds the stored state less
// the records of labels no longer on the desktop (in their order). Requests that fail propagate
// (DesktopAccessError, UninitializedDesktopError, winapi::RemoteAllocatorError); nothing is
// written then.
DesktopProxy readDesktop(Desktop& desktop, const StoreSession& session, ShellNeeds needs = {});

} // namespace desktop_access
