#include "winapi/error.h"

#include <memory>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace winapi {

std::string systemMessage(std::uint32_t code) {
    char* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD length =
        FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<char*>(&buffer), 256, nullptr);
    const Shared<char*> owned = own<LocalFree>(buffer);
    if (length == 0 || buffer == nullptr)
        return {};
    return std::string(buffer, length);
}

} // namespace winapi
