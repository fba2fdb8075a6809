// Kelvara's icon in the notification area: the application icon with the tooltip "Kelvara",
// owned by the launcher's window, which gets the icon's mouse messages as callbackMessage
// (wParam the icon's id, lParam the mouse message: WM_RBUTTONUP, WM_LBUTTONDBLCLK, ...).
//
// A shell that starts anew has forgotten every icon, and at logon the notification area may not
// exist yet when Kelvara starts: the icon is added again when the shell announces itself, and on
// every keepShown() as long as it is not shown or the shell window has changed since. Removed
// when the object goes.
#pragma once

#include <string>

#include <windows.h>

#include <shellapi.h>

#include "winapi/handle_win32.h"

namespace launcher {

class TrayIcon {
  public:
    // The tooltip, which also titles the balloons, is the product's name in the user's language.
    TrayIcon(HWND window, UINT callbackMessage, std::wstring tip);
    ~TrayIcon();

    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The shell has started ("TaskbarCreated"): adds the icon again.
    void showAgain();
    // Adds the icon when it is not shown, or was shown to a shell that has gone.
    void keepShown();
    // Shows the text in a balloon by the icon, titled "Kelvara"; nothing when the icon is not
    // shown. Text longer than a balloon holds is cut short.
    void tell(const std::wstring& text);

    bool shown() const { return shown_; }

  private:
    NOTIFYICONDATAW data(UINT flags) const;
    void show();

    HWND window_;
    UINT callbackMessage_;
    std::wstring tip_;
    winapi::Shared<HICON> icon_;
    bool shown_ = false;
    HWND shell_ = nullptr; // the shell window when the icon was last shown
    // Whether the icon goes by its GUID, so that Windows keeps the user's choice to show it on
    // the taskbar across updates. Windows ties a GUID to the program's path: where another path
    // holds it (a copy of Kelvara moved elsewhere), the icon goes by window and id instead.
    bool byGuid_ = true;
};

// The notification icon's GUID, the same in every version.
inline constexpr GUID trayIconGuid = {
    0x6b1e0f52, 0x3c9a, 0x4d47, {0x9e, 0x1b, 0x5a, 0x7c, 0x2d, 0x8f, 0x4e, 0x31}};

} // namespace launcher
