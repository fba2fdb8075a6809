// Threads of the Windows layer: one way to start a thread that owns its work, and a bound on the
// system's calls that wait for another program without a bound of their own.
#pragma once

#include <functional>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace winapi {

// Runs work on a new thread, which owns it; returns the thread's handle (dropping it leaves the
// thread running). Whatever work throws is dropped with the thread. Throws winapi::Error when no
// thread can be started.
SharedHandle startThread(std::function<void()> work);

// Runs call on a thread of its own and waits for it at most timeoutMs; true when it returned in
// that time. For calls that wait for another program's window without a bound (RedrawWindow with
// RDW_UPDATENOW, SetWindowLongW with GWL_STYLE, which send the window messages and wait for the
// answers): when the time is up the thread is left to finish by itself, which it does once the
// window answers or goes, holding what call captured until then. Throws winapi::Error when no
// thread can be started.
bool callWithin(DWORD timeoutMs, std::function<void()> call);

} // namespace winapi
