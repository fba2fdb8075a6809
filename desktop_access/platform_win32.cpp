// The clock and the pause of the seam, on Windows.
#include "desktop_access/desktop_seam.h"

#include <windows.h>

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

} // namespace desktop_access
