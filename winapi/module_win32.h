// Modules (the program and the libraries loaded into it): which one holds a piece of code, and
// its file.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winapi {

// The module that holds the address. With addReference the caller gets a reference of its own,
// released with FreeLibrary (a thread that must not outlive its library's code takes one).
inline HMODULE moduleContaining(const void* address, bool addReference = false) {
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                        (addReference ? 0 : GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    GetModuleHandleExW(flags, static_cast<LPCWSTR>(address), &module);
    return module;
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
