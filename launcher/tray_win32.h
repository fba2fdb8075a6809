// What the user does with Kelvara's notification-area icon: a right-click opens the menu (its
// marks read through ITessora as the menu opens, so a change made by a script shows), a
// double-click arranges the desktop, and each menu command is carried out through ITessora:
// "Arrange now" arranges, a sort or arrange method is stored and then arranged by, "Lock the
// arrangement" toggles the lock (moving nothing, as a change of the lock does everywhere), and
// "Quit Kelvara" ends the message loop as a quit message with code 0 does. Undo, redo, the
// layouts, the restore points and showing the icons go through ITessora2 (the menu's texts for
// them are read from it as the menu opens).
//
// A call of the component that fails is told in a balloon by the icon, in the component's own
// words; nothing else of the launcher shows text. A save that fails (a full disk, a folder Kelvara
// may not write to, a file held by another program), in this process or any other, is told once:
// what could not be saved is kept and saved later, and the next failure is told only after a
// save has worked again.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <wrl/client.h>

#include <windows.h>

#include "launcher/tray_icon_win32.h"
#include "launcher/tray_menu_win32.h"
#include "tessora.h"
#include "winapi/ui_text_win32.h"

namespace launcher {

class Tray {
  public:
    // The icon belongs to the window, which passes on its callback message (callbackMessage)
    // and its WM_COMMANDs. The component stays the caller's and must outlive the tray.
    Tray(HWND window, UINT callbackMessage, ITessora* tessora);

    // The icon's callback message: lParam is the mouse message.
    void iconEvent(LPARAM lParam);
    // A WM_COMMAND with this id; ids that are not the menu's are left alone.
    void command(UINT id);
    void shellStarted() { icon_.showAgain(); }
    // A save of the store in any process (saveOutcomeMessage): saved, or not, with the system's
    // error code.
    void saveOutcome(bool saved, DWORD systemError);
    void tick() { icon_.keepShown(); }

  private:
    void showMenu();
    // Whether a call of the component worked; a failure is told with what was being done (the
    // id of its text).
    bool attempt(HRESULT result, UINT what);
    // Tells the text, unless a failed save has been told and no save has worked since.
    void tellNotSaved(const std::wstring& text);
    void arrange();
    void layoutCommand(UINT id);
    std::vector<std::wstring> layoutNames();
    MenuSettings menuSettings();

    HWND window_;
    ITessora* tessora_;
    Microsoft::WRL::ComPtr<ITessora2> tessora2_; // null for a component without it
    // What the menu showed when it was last made: a choice means what it showed, even when the
    // lists have changed since (a new restore point moves every number down by one).
    std::vector<std::wstring> shownLayouts_;
    std::vector<std::wstring> shownPoints_; // history lines without their numbers
    std::vector<std::wstring> historyLines();
    std::optional<LONG> pointNumber(UINT id);
    winapi::UiText text_{GetModuleHandleW(nullptr)};
    TrayIcon icon_;
    bool notSavedTold_ = false;
};

} // namespace launcher
