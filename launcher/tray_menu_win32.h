// The menu of Kelvara's notification-area icon, made afresh each time it opens from the settings
// as they are then. Every item sends its id to the launcher's window as WM_COMMAND; other
// programs (and tests) may send the same ids to the window of class launcherWindowClass.
//
//   Arrange now              (the default item, drawn bold; also a double-click of the icon)
//   ---
//   Sort by   > Name | Usage | Age                      (a radio mark on the current method)
//   Arrange   > Automatically | Along the left edge | Along the right edge |
//               Along the top edge | Along the bottom edge (a radio mark on the current method)
//   Lock the arrangement     (checked while locked)
//   ---
//   Quit Kelvara
#pragma once

#include <cstdint>

#include <windows.h>

#include "winapi/handle_win32.h"

namespace launcher {

// The ids of the items. A sort or arrange item's id is its base plus the method's value
// (SortMethod 0..2, ArrangeMethod 0..4).
inline constexpr UINT commandArrangeNow = 100;
inline constexpr UINT commandSortBase = 110;
inline constexpr UINT commandArrangeBase = 120;
inline constexpr UINT commandLock = 130;
inline constexpr UINT commandQuit = 140;
inline constexpr std::int32_t sortMethodCount = 3;
inline constexpr std::int32_t arrangeMethodCount = 5;

struct MenuSettings {
    std::int32_t sortMethod = 0;    // a value outside 0..2 marks no sort item
    std::int32_t arrangeMethod = 0; // a value outside 0..4 marks no arrange item
    bool locked = false;
};

// The popup menu for these settings, owned (DestroyMenu when the last holder lets go). Throws
// winapi::Error when the system cannot make it.
winapi::Shared<HMENU> makeTrayMenu(const MenuSettings& settings);

} // namespace launcher
