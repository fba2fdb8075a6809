// UTF-16 text crosses the boundary between the portable core (std::u16string) and the Windows
// layer (wchar_t) as a copy: on Windows both are 16-bit code units, so nothing is transcoded.
#pragma once

#include <cstddef>
#include <string>

namespace winapi {

inline std::wstring toWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string fromWide(const std::wstring& text) {
    return fromWide(text.data(), text.size());
}

} // namespace winapi
