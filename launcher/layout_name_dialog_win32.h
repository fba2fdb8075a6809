// The small dialog "Save current layout" asks the layout's name in: a text box of at most 64
// characters, proposed "Layout N" (the first number no saved layout has), and Save (the default
// button, greyed while the box is empty) and Cancel, all in the user's language.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "resources/strings/ids.h"
#include "winapi/ui_text_win32.h"

namespace launcher {

inline constexpr int layoutNameDialog = 200; // the dialog's resource id
inline constexpr int layoutNameBox = 1001;   // its text box
inline constexpr int layoutNamePrompt = 1002;

// The controls whose texts come from the string tables, with their texts' ids (the dialog's
// caption is IDS_NAME_CAPTION).
inline constexpr std::pair<int, UINT> layoutNameTexts[] = {
    {layoutNamePrompt, IDS_NAME_PROMPT}, {IDOK, IDS_NAME_SAVE}, {IDCANCEL, IDS_NAME_CANCEL}};

// The name given, or nothing when the user cancelled. owner is the dialog's owner window.
std::optional<std::wstring> askLayoutName(HWND owner, const std::vector<std::wstring>& saved,
                                          const winapi::UiText& text);

} // namespace launcher
