// The desktop hook. While a HookInstaller lives, a hook runs in the shell's process on the
// desktop list view's thread: it reports every icon the user opens to the Tessora component
// (IconActivated) and, once a change of the desktop's size has settled, has the component
// arrange the desktop again (Refresh), so groups of icons are carried over to the new area at
// once. The work itself is done by a worker thread of the hook's own in the shell's process,
// never on the shell's window thread.
//
// Exceptions never cross the library's boundary (with a static runtime they cannot, on 32-bit
// Windows): the library exports plain functions, and the class, defined here, turns a failure
// into a runtime error in the caller's own module.
#pragma once

#include <cstdint>

#include <windows.h>

#include "winapi/error.h"

#ifdef VANTLE_BUILD
#define VANTLE_API __declspec(dllexport)
#else
#define VANTLE_API __declspec(dllimport)
#endif

namespace desktop_hook {

// Installs the hook on the thread of the given list view; null on failure, with the error code
// in error.
VANTLE_API HHOOK installHook(HWND listView, DWORD& error) noexcept;
// Removes a hook that installHook returned.
VANTLE_API void removeHook(HHOOK hook) noexcept;
// How many openings and arrangements the hook's workers (in every process the hook ran in) gave
// up after their last try, since the library was first loaded in this session.
VANTLE_API std::uint32_t droppedEvents() noexcept;

class HookInstaller {
  public:
    // The hook is in force once construction returns; throws winapi::Error otherwise.
    explicit HookInstaller(HWND listView) {
        DWORD error = 0;
        hook_ = installHook(listView, error);
        if (hook_ == nullptr)
            throw winapi::Error(error, "Failed to install the desktop hook");
    }
    // Removes the hook.
    ~HookInstaller() { removeHook(hook_); }

    HookInstaller(const HookInstaller&) = delete;
    HookInstaller& operator=(const HookInstaller&) = delete;

  private:
    HHOOK hook_;
};

} // namespace desktop_hook
