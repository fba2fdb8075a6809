// UTF-8 text of the test programs' files and logs, to and from the platform's UTF-16.
#pragma once

#include <algorithm>
#include <string>

#include <windows.h>

namespace test_support {

inline std::string toUtf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(),
                                           int(bytes.size()), nullptr, nullptr);
    bytes.resize(std::max(length, 0));
    return bytes;
}

inline std::wstring fromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(),
                                           int(wide.size()));
    wide.resize(std::max(length, 0));
    return wide;
}

} // namespace test_support
