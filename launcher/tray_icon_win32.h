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
    TrayIcon(HWND window, UINT callbackMessage);
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
    winapi::Shared<HICON> icon_;
    bool shown_ = false;
    HWND shell_ = nullptr; // the shell window when the icon was last shown
};

} // namespace launcher
