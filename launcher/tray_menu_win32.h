// The menu of Kelvara's notification-area icon, made afresh each time it opens from the settings
// as they are then. Every item sends its id to the launcher's window as WM_COMMAND; other
// programs (and tests) may send the same ids to the window of class launcherWindowClass.
//
//   Arrange now              (the default item, drawn bold; also a double-click of the icon)
//   Undo sort by name (14:02)  ("Undo", greyed, when there is nothing to undo)
//   Redo tidy (14:05)          ("Redo", greyed, when there is nothing to redo)
//   ---
//   Sort by   > Name | Usage | Age                      (a radio mark on the current method)
//   Arrange   > Automatically | Along the left edge | Along the right edge |
//               Along the top edge | Along the bottom edge (a radio mark on the current method)
//   Monitors  > All monitors as one | The primary monitor | Each monitor on its own
//                                                      (a radio mark on the current setting)
//   Layouts   > Save current layout...
//               ---                                    (the rest only when there is any)
//               NAME ...                               (each saved layout: restores it)
//               ---
//               Restore an earlier arrangement > the newest 5 restore points, newest first
//   Lock the arrangement     (checked while locked)
//   Show desktop icons       (checked while shown)
//   ---
//   Quit Kelvara
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "winapi/handle_win32.h"
#include "winapi/ui_text_win32.h"

namespace launcher {

// The ids of the items. A sort or arrange item's id is its base plus the method's value
// (SortMethod 0..2, ArrangeMethod 0..4).
inline constexpr UINT commandArrangeNow = 100;
inline constexpr UINT commandSortBase = 110;
inline constexpr UINT commandArrangeBase = 120;
inline constexpr UINT commandLock = 130;
inline constexpr UINT commandQuit = 140;
inline constexpr UINT commandUndo = 150;
inline constexpr UINT commandRedo = 151;
inline constexpr UINT commandSaveLayout = 152;
inline constexpr UINT commandShowIcons = 153;
// A monitors item's id is this base plus the setting's value (0 all, 1 primary, 2 each).
inline constexpr UINT commandMonitorsBase = 160;
// A saved layout's id is this base plus its place in the list of names (0 the first saved); a
// restore point's is the other base plus its number (1 the newest).
inline constexpr UINT commandLayoutBase = 200;
inline constexpr UINT commandRestorePointBase = 300;
inline constexpr std::size_t restorePointsShown = 5;
inline constexpr std::int32_t sortMethodCount = 3;
inline constexpr std::int32_t arrangeMethodCount = 5;
inline constexpr std::int32_t monitorsCount = 3;

struct MenuSettings {
    std::int32_t sortMethod = 0;    // a value outside 0..2 marks no sort item
    std::int32_t arrangeMethod = 0; // a value outside 0..4 marks no arrange item
    bool locked = false;
    std::int32_t monitors = 0; // a value outside 0..2 marks no monitors item
    // Settings a policy fixes: their items are greyed (component/configuration_win32.h).
    bool sortFixed = false;
    bool arrangeFixed = false;
    bool lockFixed = false;
    bool monitorsFixed = false;
    std::wstring undo;                       // what undo would undo, "" when nothing
    std::wstring redo;                       // the same for redo
    std::vector<std::wstring> layouts;       // the saved layouts' names, in their order
    std::vector<std::wstring> restorePoints; // texts of the newest restore points, newest first
    bool iconsShown = true;
};

// The popup menu for these settings, in the texts' language, owned (DestroyMenu when the last
// holder lets go). Throws
// winapi::Error when the system cannot make it.
winapi::Shared<HMENU> makeTrayMenu(const MenuSettings& settings, const winapi::UiText& text);

} // namespace launcher
