#include "launcher/tray_win32.h"

#include "component/client_win32.h"
#include "launcher/tray_menu_win32.h"
#include "winapi/error.h"
#include "winapi/text_win32.h"

namespace launcher {

Tray::Tray(HWND window, UINT callbackMessage, ITessora* tessora)
    : window_(window), tessora_(tessora), icon_(window, callbackMessage) {}

void Tray::iconEvent(LPARAM lParam) {
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        showMenu();
        break;
    case WM_LBUTTONDBLCLK:
        arrange();
        break;
    default:
        break;
    }
}

void Tray::command(UINT id) {
    if (id == commandArrangeNow) {
        arrange();
    } else if (id >= commandSortBase && id < commandSortBase + sortMethodCount) {
        if (attempt(tessora_->SetSortMethod(static_cast<::SortMethod>(id - commandSortBase)),
                    u"Kelvara could not store the sort method"))
            arrange();
    } else if (id >= commandArrangeBase && id < commandArrangeBase + arrangeMethodCount) {
        if (attempt(
                tessora_->SetArrangeMethod(static_cast<::ArrangeMethod>(id - commandArrangeBase)),
                u"Kelvara could not store the arrange method"))
            arrange();
    } else if (id == commandLock) {
        attempt(tessora_->ToggleLock(), u"Kelvara could not change the lock");
    } else if (id == commandQuit) {
        PostQuitMessage(0);
    }
}

void Tray::showMenu() {
    const component::Settings settings = component::readSettings(tessora_);
    const winapi::Shared<HMENU> menu =
        makeTrayMenu({settings.sortMethod, settings.arrangeMethod, settings.locked != 0});
    POINT at{};
    GetCursorPos(&at);
    // A menu closes at a click elsewhere only when its window is in the foreground, and the
    // message posted after it keeps the next opening from closing again at once.
    SetForegroundWindow(window_);
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    TrackPopupMenuEx(menu.get(), align | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, at.x, at.y, window_,
                     nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
}

bool Tray::attempt(HRESULT result, const char16_t* what) {
    if (SUCCEEDED(result))
        return true;
    std::u16string line =
        component::failureLine(what, component::failureOf(tessora_, result).reason);
    line.pop_back(); // a balloon's text needs no line end
    icon_.tell(winapi::toWide(line));
    return false;
}

void Tray::arrange() {
    attempt(tessora_->Refresh(), u"Kelvara could not arrange the desktop");
}

} // namespace launcher
