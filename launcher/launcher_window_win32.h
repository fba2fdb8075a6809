// The launcher's one window: hidden, top-level (so that it hears the shell's "TaskbarCreated"
// broadcast, which message-only windows never get), owned by the launcher's thread. It tells the
// launcher when the shell has started anew and, on a timer, when it is time to look whether the
// desktop it hooked still exists, because that broadcast does not always arrive. It owns the
// notification-area icon, so it also passes on the icon's callback message (trayMessage) and the
// commands of the icon's menu (WM_COMMAND).
#pragma once

#include <functional>

#include <windows.h>

#include "component/configuration_win32.h"

namespace launcher {

class LauncherWindow {
  public:
    struct Handlers {
        // The shell broadcast "TaskbarCreated": a shell (maybe a new one) has started.
        std::function<void()> shellStarted;
        // The timer: a good moment to check the desktop, and to do work that was put off.
        std::function<void()> tick;
        // trayMessage: the notification-area icon's mouse message, in lParam.
        std::function<void(LPARAM)> trayEvent;
        // WM_COMMAND: the id of a menu item chosen, or of a command another program sends;
        // WM_CLOSE comes as the menu's commandQuit.
        std::function<void(UINT)> command;
        // saveOutcomeMessage from the component in any process: saved, or not with the system's
        // error code.
        std::function<void(bool, DWORD)> saveOutcome;
    };

    // Creates the window and starts its timer; throws winapi::Error when the window cannot be
    // made. Handlers run on the launcher's thread, from its message loop; what they throw is
    // dropped there.
    LauncherWindow(Handlers handlers, UINT tickMs);
    ~LauncherWindow();

    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    HWND window() const { return window_; }
    // Changes how often the timer ticks.
    void setTick(UINT tickMs);

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handlers handlers_;
    UINT taskbarCreated_ = 0;
    UINT saveOutcome_ = 0;
    HWND window_ = nullptr;
};

// The window class and the single-instance mutex, by which other programs find Kelvara
// (winapi/session_names_win32.h).
using component::launcherWindowClass;
using component::singleInstanceMutex;
// The message the notification area sends the window about its icon.
inline constexpr UINT trayMessage = WM_APP + 1;

} // namespace launcher
