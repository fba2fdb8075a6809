#include "launcher/compatibility_win32.h"

#include <windows.h>

#include <shellapi.h>

#include "winapi/error.h"
#include "winapi/handle_win32.h"
#include "winapi/registry_win32.h"

namespace launcher {
namespace {

constexpr wchar_t handlerKey[] =
    L"Directory\\Background\\shellex\\ContextMenuHandlers\\NvCplDesktopContext";
constexpr char caption[] = "Kelvara compatibility issue";
constexpr char question[] = "We have detected that you have the NVIDIA Control Panel context menu "
                            "enabled. For some of our users, "
                            "the context menu item has created problems when running Kelvara.\n\n "
                            "Would you like to disable the "
                            "context menu item now so Kelvara can safely run?";
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
    if (MessageBoxA(nullptr, question, caption, MB_YESNO) != IDYES)
        return false;
    runRemoval();
    Sleep(1000);
    return !nvidiaMenuPresent();
}

} // namespace launcher
