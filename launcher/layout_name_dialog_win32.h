// The small dialog "Save current layout" asks the layout's name in: a text box of at most 64
// characters, proposed "Layout N" (the first number no saved layout has), and Save (the default
// button, greyed while the box is empty) and Cancel.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace launcher {

inline constexpr int layoutNameDialog = 200; // the dialog's resource id
inline constexpr int layoutNameBox = 1001;   // its text box

// The name given, or nothing when the user cancelled. owner is the dialog's owner window.
std::optional<std::wstring> askLayoutName(HWND owner, const std::vector<std::wstring>& saved);

} // namespace launcher
