// Shared owners for Windows handles: the handle is closed with its own closing function when
// the last holder lets go, so nothing is ever closed by hand on an error path.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace winapi {

using SharedHandle = std::shared_ptr<void>;

// Owns a kernel handle (process, mutex, thread, event). A null or INVALID_HANDLE_VALUE handle
// gives an empty owner.
inline SharedHandle ownHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return {};
    return SharedHandle(handle, [](HANDLE h) { CloseHandle(h); });
}

inline HANDLE raw(const SharedHandle& handle) {
    return static_cast<HANDLE>(handle.get());
}

// UTF-16 text crosses the layer boundary as a copy: on Windows both are 16-bit code units.
inline std::wstring toWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string fromWide(const std::wstring& text) {
    return fromWide(text.data(), text.size());
}

// The full path of a loaded module's file (null: the program's own), however long it is.
inline std::wstring moduleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace winapi
