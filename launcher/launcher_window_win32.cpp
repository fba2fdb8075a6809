#include "launcher/launcher_window_win32.h"

#include "launcher/tray_menu_win32.h"
#include "winapi/error.h"

namespace launcher {
namespace {

constexpr UINT_PTR tickTimer = 1;

} // namespace

LauncherWindow::LauncherWindow(Handlers handlers, UINT tickMs)
    : handlers_(std::move(handlers)), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      saveOutcome_(RegisterWindowMessageW(winapi::saveOutcomeMessage)) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &LauncherWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = launcherWindowClass;
    RegisterClassW(&windowClass); // a second window of the class in this process finds it there
    // Never shown; a tool window stays out of the taskbar and the task switcher even so.
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, launcherWindowClass, L"Kelvara", WS_POPUP, 0, 0, 0,
                              0, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
        throw winapi::Error(GetLastError(), "Failed to create the launcher's window");
    // A launcher run with more rights than the shell hears its broadcast, and the component's
    // word from inside the shell, all the same.
    for (const UINT message : {taskbarCreated_, saveOutcome_})
        if (message != 0)
            ChangeWindowMessageFilterEx(window_, message, MSGFLT_ALLOW, nullptr);
    setTick(tickMs);
}

LauncherWindow::~LauncherWindow() {
    KillTimer(window_, tickTimer);
    DestroyWindow(window_);
}

void LauncherWindow::setTick(UINT tickMs) {
    SetTimer(window_, tickTimer, tickMs, nullptr);
}

LRESULT CALLBACK LauncherWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<LauncherWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        // Nothing leaves a window procedure; the next tick tries again.
        return 0;
    }
}

LRESULT LauncherWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (handlers_.shellStarted)
            handlers_.shellStarted();
        return 0;
    }
    if (message == saveOutcome_ && saveOutcome_ != 0) {
        if (handlers_.saveOutcome)
            handlers_.saveOutcome(wParam == 0, DWORD(lParam));
        return 0;
    }
    if (message == WM_TIMER && wParam == tickTimer) {
        if (handlers_.tick)
            handlers_.tick();
        return 0;
    }
    if (message == trayMessage) {
        if (handlers_.trayEvent)
            handlers_.trayEvent(lParam);
        return 0;
    }
    if (message == WM_COMMAND || message == WM_CLOSE) {
        // A program that asks the window to close asks Kelvara to end, as the menu's Quit does;
        // the window itself stays until the launcher is done with it.
        if (handlers_.command)
            handlers_.command(message == WM_CLOSE ? commandQuit : LOWORD(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace launcher
