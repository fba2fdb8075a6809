#include "launcher/tray_icon_win32.h"

#include <algorithm>
#include <utility>

namespace launcher {
namespace {

constexpr UINT iconId = 1;
constexpr WORD applicationIcon = 128; // the icon resource of Kelvara.exe

template <std::size_t size> void copyText(wchar_t (&field)[size], const std::wstring& text) {
    const std::size_t length = std::min(text.size(), size - 1);
    text.copy(field, length);
    field[length] = L'\0';
}

} // namespace

TrayIcon::TrayIcon(HWND window, UINT callbackMessage, std::wstring tip)
    : window_(window), callbackMessage_(callbackMessage), tip_(std::move(tip)),
      icon_(winapi::own<DestroyIcon>(static_cast<HICON>(
          LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(applicationIcon), IMAGE_ICON,
                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)))) {
    show();
}

TrayIcon::~TrayIcon() {
    if (shown_) {
        NOTIFYICONDATAW removal = data(0);
        Shell_NotifyIconW(NIM_DELETE, &removal);
    }
}

void TrayIcon::showAgain() {
    shown_ = false;
    show();
}

void TrayIcon::keepShown() {
    if (!shown_ || GetShellWindow() != shell_)
        showAgain();
}

void TrayIcon::tell(const std::wstring& text) {
    if (!shown_)
        return;
    NOTIFYICONDATAW balloon = data(NIF_INFO);
    copyText(balloon.szInfoTitle, tip_);
    copyText(balloon.szInfo, text);
    balloon.dwInfoFlags = NIIF_WARNING;
    Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

NOTIFYICONDATAW TrayIcon::data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = iconId;
    data.uFlags = flags | (byGuid_ ? NIF_GUID : 0);
    if (byGuid_)
        data.guidItem = trayIconGuid;
    return data;
}

void TrayIcon::show() {
    const auto add = [&] {
        NOTIFYICONDATAW icon = data(NIF_MESSAGE | NIF_TIP | (icon_ ? NIF_ICON : 0));
        icon.uCallbackMessage = callbackMessage_;
        icon.hIcon = icon_.get();
        copyText(icon.szTip, tip_);
        // An icon the shell still holds (it was slow to answer, or had not gone after all)
        // cannot be added twice; it is brought up to date instead.
        return Shell_NotifyIconW(NIM_ADD, &icon) || Shell_NotifyIconW(NIM_MODIFY, &icon);
    };
    shown_ = add();
    if (!shown_ && byGuid_) {
        byGuid_ = false;
        shown_ = add();
    }
    shell_ = GetShellWindow();
}

} // namespace launcher
