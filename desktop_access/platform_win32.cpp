// The clock, the pause and the word after a save, of the seam, on Windows.
#include "desktop_access/desktop_seam.h"

#include <windows.h>

#include "winapi/session_names_win32.h"

namespace desktop_access {

std::uint64_t currentFileTime() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME fileTime{};
    SystemTimeToFileTime(&now, &fileTime);
    return (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

void noteSaveOutcome(bool saved, std::uint32_t systemError) noexcept {
    static const UINT message = RegisterWindowMessageW(winapi::saveOutcomeMessage);
    // Posted, never sent: the saver holds the store lock, which the launcher's own thread may be
    // waiting for.
    const HWND launcher =
        message != 0 ? FindWindowW(winapi::launcherWindowClass, nullptr) : nullptr;
    if (launcher != nullptr)
        PostMessageW(launcher, message, saved ? 0 : 1, LPARAM(systemError));
}

} // namespace desktop_access
