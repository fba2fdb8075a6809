// Finding the desktop: the shell's list view, its process and the desktop folder.
#include "desktop_access/desktop_win32.h"
#include "winapi/remote_allocator_win32.h"

#include <iterator>

#include "desktop_access/errors.h"
#include "winapi/error.h"

namespace desktop_access {
namespace {

constexpr wchar_t listViewClass[] = L"SysListView32";
constexpr wchar_t workerClass[] = L"WorkerW";
constexpr wchar_t viewClass[] = L"SHELLDLL_DefView";
constexpr int searchBudget = 10;

// The process-wide record. Never freed: a record the shell has left behind stays allocated for
// the icons and moving threads that may still point at it.
Desktop* current = nullptr;

BOOL CALLBACK appendWindow(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

// The search below parent: the window found, or null when the subtree holds none. Failures of
// the system and an exhausted budget throw.
HWND searchBelow(HWND parent, const std::wstring& windowClass, int budget) {
    if (budget == 1)
        throw winapi::Error("Max recursion reached");
    SetLastError(0);
    if (HWND found = FindWindowExW(parent, nullptr, windowClass.c_str(), nullptr))
        return found;
    if (const DWORD error = GetLastError(); error != 0)
        throw winapi::Error(error, "Failed to get window");
    for (HWND child : childWindows(parent))
        if (HWND found = searchBelow(child, windowClass, budget - 1))
            return found;
    return nullptr;
}

struct ShellWorkers {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK appendWorker(HWND window, LPARAM workers) {
    auto& found = *reinterpret_cast<ShellWorkers*>(workers);
    DWORD processId = 0;
    wchar_t name[16] = {};
    if (GetWindowThreadProcessId(window, &processId) != 0 && processId == found.processId &&
        GetClassNameW(window, name, int(std::size(name))) > 0 && std::wstring(name) == workerClass)
        found.windows.push_back(window);
    return TRUE;
}

// The shell's top-level WorkerW windows, front to back. Those of other programs are no
// candidates: their list views are not the desktop.
std::vector<HWND> workersOf(HWND shellWindow) {
    ShellWorkers workers{0, {}};
    if (GetWindowThreadProcessId(shellWindow, &workers.processId) == 0)
        return {};
    EnumWindows(&appendWorker, reinterpret_cast<LPARAM>(&workers));
    return workers.windows;
}

// The list view of a SHELLDLL_DefView right below window: how the shell holds its desktop.
HWND desktopViewBelow(HWND window) {
    for (HWND view = FindWindowExW(window, nullptr, viewClass, nullptr); view != nullptr;
         view = FindWindowExW(window, view, viewClass, nullptr))
        if (HWND found = FindWindowExW(view, nullptr, listViewClass, nullptr))
            return found;
    return nullptr;
}

// Any list view below one of the WorkerW windows, for a tree that holds no SHELLDLL_DefView.
HWND searchWorkers(const std::vector<HWND>& workers) {
    for (HWND worker : workers) {
        try {
            if (HWND found = searchBelow(worker, listViewClass, searchBudget))
                return found;
        } catch (const winapi::Error&) {
            // A WorkerW that went away or runs too deep is not the one.
        }
    }
    return nullptr;
}

// The desktop's view sits below the shell window (from Windows 11 24H2 on, and on any system
// before the wallpaper has needed a WorkerW), or below a top-level WorkerW window of the shell
// (once the shell has moved it out there). Both trees may hold empty WorkerW windows, below the
// shell window or beside it; the one that holds SHELLDLL_DefView is the desktop.
HWND findListView() {
    HWND shellWindow = GetShellWindow();
    // Without a shell window the search would start from the top of every window of the
    // session and could take any program's list view for the desktop.
    if (shellWindow == nullptr)
        throw DesktopAccessError("Failed to find the shell window");
    if (HWND found = desktopViewBelow(shellWindow))
        return found;
    const std::vector<HWND> workers = workersOf(shellWindow);
    for (HWND worker : workers)
        if (HWND found = desktopViewBelow(worker))
            return found;
    try {
        return findWindowRecursive(shellWindow, listViewClass, searchBudget);
    } catch (const winapi::Error&) {
        if (HWND found = searchWorkers(workers))
            return found;
        throw;
    }
}

} // namespace

HWND findWindowRecursive(HWND parent, const std::wstring& windowClass, int budget) {
    if (HWND found = searchBelow(parent, windowClass, budget))
        return found;
    throw winapi::Error(GetLastError(), "Failed to find the desktop window");
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> windows;
    // EnumChildWindows also returns 0 for a window without children; only a failure leaves an
    // error code behind.
    SetLastError(0);
    if (!EnumChildWindows(parent, &appendWindow, reinterpret_cast<LPARAM>(&windows)))
        if (const DWORD error = GetLastError(); error != 0)
            throw winapi::Error(error, "Failed to get child windows");
    return windows;
}

Desktop findDesktop() {
    BOOL emulated = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &emulated) && emulated)
        throw DesktopAccessError("Can't run 32 bit build on 64 bit windows");

    // Left initialised for good, whatever happens next: the component lives in this apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        throw DesktopAccessError("Failed to initialize COM");

    Desktop desktop;
    if (FAILED(SHGetDesktopFolder(desktop.shellFolder.GetAddressOf())))
        throw DesktopAccessError("Failed to get the desktop's shell folder");

    desktop.listView = findListView();
    GetWindowThreadProcessId(desktop.listView, &desktop.processId);
    desktop.process = winapi::ownHandle(OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, desktop.processId));
    if (!desktop.process)
        throw DesktopAccessError("Failed to open the desktop process");
    desktop.processIsThis = winapi::RemoteAllocator<char>::isThisProcess(desktop.process);
    return desktop;
}

Desktop& getDesktop() {
    if (current == nullptr || !isCurrent(*current)) {
        Desktop found = findDesktop();
        if (current != nullptr) {
            // The old record stays, but not the gone shell's process and folder: whoever still
            // uses them holds them (processHandle, desktopFolder), and its requests fail anyway.
            current->process.reset();
            current->shellFolder.Reset();
        }
        current = new Desktop(std::move(found));
    }
    return *current;
}

bool isCurrent(const Desktop& desktop) {
    DWORD processId = 0;
    return desktop.listView != nullptr &&
           GetWindowThreadProcessId(desktop.listView, &processId) != 0 &&
           processId == desktop.processId;
}

void ensureCurrent(const Desktop& desktop) {
    if (!isCurrent(desktop))
        throw DesktopAccessError("The desktop list view is gone");
}

Microsoft::WRL::ComPtr<IShellFolder> desktopFolder(const Desktop& desktop) {
    return desktop.shellFolder;
}

winapi::SharedHandle processHandle(const Desktop& desktop) {
    return desktop.process;
}

} // namespace desktop_access
