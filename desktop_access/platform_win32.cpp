// The clock and threads of the seam, on Windows.
#include "desktop_access/desktop_seam.h"

#include <memory>

#include <windows.h>

#include "winapi/error.h"
#include "winapi/handle_win32.h"

namespace desktop_access {
namespace {

DWORD WINAPI runWork(LPVOID parameter) {
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

} // namespace

std::uint64_t currentFileTime() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME fileTime{};
    SystemTimeToFileTime(&now, &fileTime);
    return (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
}

void startDetachedThread(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    // The handle is let go at once: nothing waits for the thread, it ends on its own.
    const winapi::SharedHandle thread =
        winapi::ownHandle(CreateThread(nullptr, 0, &runWork, owned.get(), 0, nullptr));
    if (!thread)
        throw winapi::Error(GetLastError(), "Failed to start a thread");
    owned.release();
}

void sleepMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

} // namespace desktop_access
