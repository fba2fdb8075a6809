// Owners for Windows resources: one idiom for all of them. A resource is held by a shared owner
// that calls the resource's own closing function (CloseHandle, RegCloseKey, CoTaskMemFree,
// LocalFree, ...) when its last holder lets go, so nothing is ever closed by hand on an error
// path. An owner of nothing (a null handle) is empty.
#pragma once

#include <memory>
#include <type_traits>

#include <windows.h>

namespace winapi {

template <typename Handle> using Shared = std::shared_ptr<std::remove_pointer_t<Handle>>;

// Takes ownership of a resource that close releases.
template <auto close, typename Handle> Shared<Handle> own(Handle handle) {
    if (handle == nullptr)
        return {};
    return Shared<Handle>(handle, [](Handle owned) { close(owned); });
}

// Kernel objects: processes, threads, mutexes, events, files.
using SharedHandle = Shared<HANDLE>;
// INVALID_HANDLE_VALUE, which some calls return for failure, gives an empty owner too.
inline SharedHandle ownHandle(HANDLE handle) {
    return own<CloseHandle>(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

inline HANDLE raw(const SharedHandle& handle) {
    return handle.get();
}

// Registry keys.
using SharedKey = Shared<HKEY>;
inline SharedKey ownKey(HKEY key) {
    return own<RegCloseKey>(key);
}

} // namespace winapi
