// The Windows version, as the launcher uses it to choose which list-view styles to clear.
#pragma once

#include <cstdint>

namespace winapi {

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// Throws winapi::Error "Failed to get the OS version".
OsVersion osVersion();

} // namespace winapi
