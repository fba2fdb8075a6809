// The desktop on Windows: the shell's list view, the shell's process opened for memory access,
// and the desktop folder of the shell namespace, found once per process and kept.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include "desktop_access/desktop_seam.h"
#include "desktop_access/errors.h"
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
    // Whether process is this process's own handle's target (RemoteAllocator::isThisProcess),
    // asked once: then buffers need no remote memory.
    bool processIsThis = false;
};

// The process-wide record, found with findDesktop on first use. When the shell has restarted
// since, it is found afresh; the old record stays allocated, as icons and moving threads may
// still point at it (their requests then fail instead of reaching a stranger's window), but it
// lets go of the old shell's process handle and folder, which those hold copies of.
// Call it on the thread of the component's apartment only.
Desktop& getDesktop();

// Finds the desktop's list view, the one in a SHELLDLL_DefView below the shell window or below a
// top-level WorkerW window of the shell's process (else any list view below either), opens its
// process and takes the desktop folder. Initialises COM on the calling thread as a single-threaded
// apartment, for good. Throws DesktopAccessError or winapi::Error.
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
// Throws DesktopAccessError "The desktop list view is gone" unless the record is current: a
// shell that has restarted may have handed the handle to a window of another process, where our
// addresses would mean nothing.
void ensureCurrent(const Desktop& desktop);

// How long a window of the shell has to answer one request. A shell busy for longer (rebuilding
// a large desktop after a monitor came or went, say) makes the request fail, and with it the
// arrangement, rather than hold its caller for as long as it is busy.
inline constexpr DWORD answerTimeoutMs = 5000;
inline constexpr char notAnsweringMessage[] = "The desktop does not answer";

// SendMessageW to a window of the shell, within answerTimeoutMs. Fails at once for a window whose
// thread the system already considers hung, or that ends meanwhile. Throws DesktopAccessError
// "The desktop does not answer" when no answer comes.
LRESULT sendToShell(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The glide turn's objects (desktop_seam.h): the mutex the running glide's thread holds, and the
// manual-reset event that asks it to finish at once. Shared by every process of the session.
inline constexpr wchar_t glideTurnName[] = L"Local\\Kelvara.GlideTurn";
inline constexpr wchar_t glideHurryName[] = L"Local\\Kelvara.GlideHurry";

// Waits until every glide this process started (startGlide) has ended, or the time is up; true
// when none is left.
bool waitForGlides(std::uint32_t timeoutMs);

} // namespace desktop_access
