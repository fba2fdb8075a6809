#include "launcher/launcher_win32.h"

#include <optional>
#include <stdexcept>
#include <string>

#include <commctrl.h>
#include <shellapi.h>
#include <wrl/client.h>

#include "component/client_win32.h"
#include "component/configuration_win32.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "launcher/compatibility_win32.h"
#include "launcher/launcher_window_win32.h"
#include "launcher/shell_follower_win32.h"
#include "launcher/tray_win32.h"
#include "tessora.h"
#include "vantle/hook_installer_win32.h"
#include "winapi/error.h"
#include "winapi/handle_win32.h"
#include "winapi/module_win32.h"
#include "winapi/os_version_win32.h"
#include "winapi/thread_win32.h"

namespace launcher {
namespace {

constexpr int maxAttempts = 5;
constexpr DWORD pauseMs = 1000;
constexpr wchar_t startedValue[] = L"Started";
// How often the launcher looks whether the desktop it hooked still exists.
constexpr UINT followTickMs = 1000;

// A failing call of the component. Not a runtime error: the start-up attempts do not retry it.
struct ComError {
    HRESULT result;
    IID interfaceId;
};

// A file that another program holds open for longer than a write waits (an indexer, a backup at
// logon) fails the Refresh only in part: the desktop was arranged and the counts are kept, to be
// saved by the next write. Kelvara goes on then; any other failure ends it in order.
void refresh(ITessora* tessora) {
    const HRESULT result = component::arrangeFor(tessora, TriggerStart);
    if (FAILED(result) &&
        component::failureOf(tessora, result).kind != component::FailureKind::notSaved)
        throw ComError{result, IID_ITessora};
}

// One start-up attempt, then the message loop; returns the exit code. The component is released
// before the hook is removed, however the attempt ends.
int attempt() {
    desktop_access::Desktop& desktop = desktop_access::getDesktop();
    disableAutoArrange(desktop.listView);
    std::optional<desktop_hook::HookInstaller> hook(std::in_place, desktop.listView);
    CoInitialize(nullptr); // discovery already entered the apartment; the result changes nothing
    Microsoft::WRL::ComPtr<ITessora> tessora;
    if (FAILED(CoCreateInstance(CLSID_Tessora, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_ITessora,
                                &tessora)))
        throw std::runtime_error("Failed to create Tessora");
    refresh(tessora.Get());
    if (isFirstStart()) {
        launchWelcome();
        refresh(tessora.Get());
    }
    ShellFollower follower(desktop, hook, tessora.Get());
    std::optional<Tray> tray;
    std::optional<LauncherWindow> window;
    try {
        window.emplace(LauncherWindow::Handlers{[&] {
                                                    follower.check();
                                                    if (tray)
                                                        tray->shellStarted();
                                                },
                                                [&] {
                                                    follower.check();
                                                    if (tray)
                                                        tray->tick();
                                                },
                                                [&](LPARAM event) {
                                                    if (tray)
                                                        tray->iconEvent(event);
                                                },
                                                [&](UINT id) {
                                                    if (tray)
                                                        tray->command(id);
                                                },
                                                [&](bool saved, DWORD error) {
                                                    if (tray)
                                                        tray->saveOutcome(saved, error);
                                                }},
                       followTickMs);
        tray.emplace(window->window(), trayMessage, tessora.Get());
    } catch (const winapi::Error&) {
        // Without its window the launcher cannot follow a restarted shell or offer its menu; it
        // still runs.
    }
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    tray.reset(); // the icon goes while its window still exists
    return static_cast<int>(message.wParam);
}

} // namespace

// A shell that does not answer fails the attempt, which is then retried: the extended styles go
// first, as a request with a bound, which fails at once when the system already considers the
// shell hung. Writing the window style sends the list view two messages and waits for both
// without a bound of its own, so it gets one.
void disableAutoArrange(HWND listView) {
    const DWORD mask = winapi::osVersion().major >= 6
                           ? LVS_EX_SNAPTOGRID | LVS_EX_JUSTIFYCOLUMNS | LVS_EX_AUTOAUTOARRANGE |
                                 LVS_EX_AUTOSIZECOLUMNS
                           : LVS_EX_SNAPTOGRID;
    desktop_access::sendToShell(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, 0);
    // Read where it is written: a write that goes through late must not undo later changes.
    if (!winapi::callWithin(desktop_access::answerTimeoutMs, [listView] {
            SetWindowLongW(listView, GWL_STYLE,
                           GetWindowLongW(listView, GWL_STYLE) & ~LVS_AUTOARRANGE);
        }))
        throw desktop_access::DesktopAccessError(desktop_access::notAnsweringMessage);
}

bool isFirstStart() {
    winapi::registry::Key& settings = component::configuration().settingsKey;
    try {
        if (settings.readDword(startedValue) != 0)
            return false;
    } catch (const winapi::Error&) {
        // No key, no value, or a value that cannot be read: a first start.
    }
    settings.writeDword(startedValue, 1);
    return true;
}

void launchWelcome() {
    const std::wstring self = winapi::moduleFileName(nullptr);
    const std::wstring welcome = self.substr(0, self.find_last_of(L'\\') + 1) + L"Orvinta.exe";
    ShellExecuteW(nullptr, L"open", welcome.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

int run() {
    // Held with its ownership until the process ends, never released or closed.
    SetLastError(ERROR_SUCCESS);
    CreateMutexW(nullptr, TRUE, singleInstanceMutex);
    const DWORD created = GetLastError();
    if (created == ERROR_ALREADY_EXISTS || created == ERROR_ACCESS_DENIED)
        return 1;

    Sleep(pauseMs);
    try {
        if (!checkCompatibility())
            return 1;
    } catch (...) {
        return 1;
    }

    try {
        for (int attempts = 0; attempts < maxAttempts; ++attempts) {
            try {
                return attempt();
            } catch (const std::runtime_error&) {
                Sleep(pauseMs);
            }
        }
    } catch (const ComError&) {
        // The component refused to arrange; the attempt has released it and removed the hook.
    }
    return 1;
}

} // namespace launcher
