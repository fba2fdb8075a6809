#include "launcher/compatibility_win32.h"

#include <windows.h>

#include <shellapi.h>

#include "resources/strings/ids.h"
#include "winapi/error.h"
#include "winapi/handle_win32.h"
#include "winapi/registry_win32.h"
#include "winapi/ui_text_win32.h"

namespace launcher {
namespace {

constexpr wchar_t handlerKey[] =
    L"Directory\\Background\\shellex\\ContextMenuHandlers\\NvCplDesktopContext";
constexpr wchar_t removal[] =
    L"delete HKCR\\Directory\\Background\\shellex\\ContextMenuHandlers\\NvCplDesktopContext /f";

// Starts the registry console tool elevated (the system asks the user) and waits until it has
// ended. A start that is refused leaves nothing to wait for.
void runRemoval() {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = L"reg";
    info.lpParameters = removal;
    info.lpDirectory = L"";
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info))
        return;
    const winapi::SharedHandle process = winapi::ownHandle(info.hProcess);
    if (process)
        WaitForSingleObject(winapi::raw(process), INFINITE);
}

} // namespace

bool nvidiaMenuPresent() {
    try {
        winapi::registry::Key key(HKEY_CLASSES_ROOT, handlerKey);
        return !key.readString("").empty();
    } catch (const winapi::Error&) {
        return false;
    }
}

bool checkCompatibility() {
    if (!nvidiaMenuPresent())
        return true;
    const winapi::UiText text(GetModuleHandleW(nullptr));
    if (MessageBoxW(nullptr, text(IDS_COMPAT_QUESTION).c_str(), text(IDS_COMPAT_CAPTION).c_str(),
                    MB_YESNO) != IDYES)
        return false;
    runRemoval();
    Sleep(1000);
    return !nvidiaMenuPresent();
}

} // namespace launcher
