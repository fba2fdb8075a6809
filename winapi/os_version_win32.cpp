#include "winapi/os_version_win32.h"

#include <windows.h>

#include "winapi/error.h"

namespace winapi {

OsVersion osVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        throw Error(GetLastError(), "Failed to get the OS version");
#pragma GCC diagnostic pop
    return {info.dwMajorVersion, info.dwMinorVersion};
}

} // namespace winapi
