#include "winapi/error.h"

#include <algorithm>
#include <memory>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace winapi {

std::string systemMessage(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD length =
        FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t*>(&buffer), 256, nullptr);
    const Shared<wchar_t*> owned = own<LocalFree>(buffer);
    if (length == 0 || buffer == nullptr)
        return {};
    // In the user's language, whatever the code page: UTF-8, as every message of Kelvara's.
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), text.data(), size, nullptr, nullptr);
    return text;
}

} // namespace winapi
