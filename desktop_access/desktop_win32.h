// The desktop on Windows: the shell's list view, the shell's process opened for memory access,
// and the desktop folder of the shell namespace, found once per process and kept.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include "desktop_access/desktop_seam.h"
#include "winapi/handle_win32.h"

namespace desktop_access {

struct Desktop {
    HWND listView = nullptr;
    // Opened with PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE only.
    winapi::SharedHandle process;
    Microsoft::WRL::ComPtr<IShellFolder> shellFolder;
    // The process that owned listView when it was found. A list view that is gone, or whose handle
    // now names a window of another process, means the shell has restarted since.
    DWORD processId = 0;
};

// The process-wide record, found with findDesktop on first use. When the shell has restarted
// since, it is found afresh; the old record stays allocated, as icons and moving threads may
// still point at it (their requests then fail instead of reaching a stranger's window).
// Call it on the thread of the component's apartment only.
Desktop& getDesktop();

// Finds the list view below the shell window (or, when the shell has moved its desktop view
// out, below a WorkerW window of the shell's thread), opens its process and takes the desktop
// folder. Initialises COM on the calling thread as a single-threaded apartment, for good.
// Throws DesktopAccessError or winapi::Error.
Desktop findDesktop();

// The first window of the class at or below parent, searching at most budget - 1 levels deep.
// Throws winapi::Error when there is none or the budget runs out.
HWND findWindowRecursive(HWND parent, const std::wstring& windowClass, int budget);

// Every window below parent (children, grandchildren, ...), in the order the system lists them.
std::vector<HWND> childWindows(HWND parent);

// The desktop folder, with one reference for the caller.
Microsoft::WRL::ComPtr<IShellFolder> desktopFolder(const Desktop& desktop);

// Another holder of the shell's process handle.
winapi::SharedHandle processHandle(const Desktop& desktop);

// Whether the record still names the list view it was made for. Sends nothing.
bool isCurrent(const Desktop& desktop);

// Waits until every thread started with startDetachedThread in this process has ended (icons
// still gliding), or the time is up; true when none is left.
bool waitForDetachedThreads(std::uint32_t timeoutMs);

} // namespace desktop_access
