#include "launcher/layout_name_dialog_win32.h"

#include <algorithm>

#include "resources/strings/ids.h"

namespace launcher {
namespace {

constexpr int maxNameLength = 64;

struct Asking {
    std::wstring proposed;
    const winapi::UiText& text;
    std::wstring given;
};

std::wstring textOf(HWND box) {
    std::wstring text(std::size_t(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(box, text.data(), int(text.size()))));
    return text;
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* asking = reinterpret_cast<Asking*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        asking = reinterpret_cast<Asking*>(lParam);
        SetWindowTextW(dialog, asking->text(IDS_NAME_CAPTION).c_str());
        for (const auto& [control, id] : layoutNameTexts)
            SetDlgItemTextW(dialog, control, asking->text(id).c_str());
        HWND box = GetDlgItem(dialog, layoutNameBox);
        SendMessageW(box, EM_LIMITTEXT, maxNameLength, 0);
        SetWindowTextW(box, asking->proposed.c_str());
        SendMessageW(box, EM_SETSEL, 0, -1);
        SetForegroundWindow(dialog);
        return TRUE; // the focus goes to the text box, the first control that takes it
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == layoutNameBox && HIWORD(wParam) == EN_CHANGE) {
            EnableWindow(GetDlgItem(dialog, IDOK),
                         GetWindowTextLengthW(GetDlgItem(dialog, layoutNameBox)) > 0);
        } else if (LOWORD(wParam) == IDOK) {
            asking->given = textOf(GetDlgItem(dialog, layoutNameBox));
            if (!asking->given.empty())
                EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

std::wstring proposedName(const std::vector<std::wstring>& saved, const winapi::UiText& text) {
    for (int number = 1;; ++number) {
        std::wstring name = text(IDS_NAME_PROPOSED, std::to_wstring(number));
        if (std::find(saved.begin(), saved.end(), name) == saved.end())
            return name;
    }
}

} // namespace

std::optional<std::wstring> askLayoutName(HWND owner, const std::vector<std::wstring>& saved,
                                          const winapi::UiText& text) {
    Asking asking{proposedName(saved, text), text, {}};
    const INT_PTR answer =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layoutNameDialog), owner,
                        dialogProc, reinterpret_cast<LPARAM>(&asking));
    if (answer != IDOK)
        return std::nullopt;
    return asking.given;
}

} // namespace launcher
