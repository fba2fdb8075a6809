#include "welcome/orvinta_dialog_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include "welcome/resource.h"
#include "winapi/ui_text_win32.h"

namespace {

constexpr const wchar_t* helpUrl = L"" KELVARA_HELP_URL_BASE ORVINTA_HELP_PATH;

// Shared icons belong to the system: they are never destroyed.
HICON loadApplicationIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_SHARED));
}

} // namespace

OrvintaDialog::OrvintaDialog(HINSTANCE instance)
    : instance(instance), icon(loadApplicationIcon(instance, SM_CXICON, SM_CYICON)),
      smallIcon(loadApplicationIcon(instance, SM_CXSMICON, SM_CYSMICON)) {}

// In the user's language: each language has a template of its own, laid out for its words.
INT_PTR OrvintaDialog::DoModal() {
    const DLGTEMPLATE* laidOut = winapi::UiText(instance).dialog(IDD_ORVINTA_DIALOG);
    if (laidOut == nullptr)
        return -1;
    return DialogBoxIndirectParamW(instance, laidOut, nullptr, dialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK OrvintaDialog::dialogProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<OrvintaDialog*>(lParam)->window = window;
    }
    auto* dialog = reinterpret_cast<OrvintaDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    // Messages that come before WM_INITDIALOG (font, creation) take the default handling.
    return dialog ? dialog->handle(message, wParam, lParam) : FALSE;
}

INT_PTR OrvintaDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
        // Close and Enter arrive as IDOK; Escape and the close box as IDCANCEL.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}

BOOL OrvintaDialog::OnInitDialog() {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    return TRUE; // the system gives the focus to the first control (Close)
}

// While minimized, the dialog shows its icon centred in its client area.
bool OrvintaDialog::OnPaint() {
    if (!IsIconic(window))
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(window, &paint);
    return true;
}

bool OrvintaDialog::onNotify(const NMHDR& header) {
    if (header.idFrom != IDC_GUIDE_LINK && header.idFrom != IDC_ONLINE_LINK)
        return false;
    switch (header.code) { // unsigned in MinGW's headers
    case static_cast<UINT>(NM_CLICK):
    case static_cast<UINT>(NM_RETURN):
        openHelp();
        return true;
    default:
        return false;
    }
}

// Both links lead to the same page, opened by the system's handler for web addresses; the
// dialog stays open.
void OrvintaDialog::openHelp() const {
    ShellExecuteW(window, L"open", helpUrl, nullptr, nullptr, SW_SHOWNORMAL);
}
