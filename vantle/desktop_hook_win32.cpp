// The hook procedure and its worker, running in the shell's process.
//
// The hook sees the messages sent to the desktop list view's thread. It only notes what happened
// and returns at once; a worker thread of its own, started when there is work and ending when
// there is none, creates the Tessora component in its own apartment and makes the calls. Doing
// that work on the window thread would deadlock the desktop: a snapshot sends messages to that
// thread, and may wait for the store lock while another process, holding it, waits on the same
// thread.
#include "vantle/hook_installer_win32.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <commctrl.h>
#include <wrl/client.h>

#include "tessora.h"
#include "vantle/hook_events.h"
#include "winapi/handle_win32.h"
#include "winapi/module_win32.h"

namespace desktop_hook {
namespace {

// The desktop list view, shared by every process that loads the library: set by the installer's
// process, read by the hook in the shell's process.
HWND sharedListView __attribute__((section(".vantle"), shared)) = nullptr;

std::mutex eventsMutex;
std::condition_variable eventsChanged;
HookEvents events;
bool workerRunning = false;

std::uint64_t nowMilliseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

HMODULE thisModule(bool addReference) {
    return winapi::moduleContaining(&sharedListView, addReference);
}

// Makes one call of the component; a component that cannot be created drops the event.
template <typename Call> void callComponent(Microsoft::WRL::ComPtr<ITessora>& tessora, Call call) {
    if (!tessora && FAILED(CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_ITessora, &tessora)))
        return;
    call(tessora.Get());
}

void work() {
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Microsoft::WRL::ComPtr<ITessora> tessora;
        std::unique_lock lock(eventsMutex);
        for (;;) {
            const HookWork next = events.next(nowMilliseconds());
            if (const auto* activation = std::get_if<CountActivation>(&next)) {
                lock.unlock();
                callComponent(tessora, [&](ITessora* t) { t->IconActivated(activation->index); });
                lock.lock();
            } else if (std::holds_alternative<ArrangeDesktop>(next)) {
                lock.unlock();
                callComponent(tessora, [](ITessora* t) { t->Refresh(); });
                lock.lock();
            } else if (const auto* wait = std::get_if<WaitUntil>(&next)) {
                const std::uint64_t now = nowMilliseconds();
                eventsChanged.wait_for(
                    lock, std::chrono::milliseconds(wait->time > now ? wait->time - now : 0));
            } else {
                workerRunning = false;
                break;
            }
        }
    }
    if (SUCCEEDED(apartment))
        CoUninitialize();
}

DWORD WINAPI workerThread(LPVOID module) {
    try {
        work();
    } catch (...) {
        const std::lock_guard lock(eventsMutex);
        events.clear();
        workerRunning = false;
    }
    // The thread holds a reference to the library, so it can never be unloaded under the worker.
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// Called with eventsMutex held.
void ensureWorker() {
    if (workerRunning) {
        eventsChanged.notify_one();
        return;
    }
    HMODULE module = thisModule(true);
    const winapi::SharedHandle thread =
        winapi::ownHandle(CreateThread(nullptr, 0, &workerThread, module, 0, nullptr));
    if (!thread) {
        FreeLibrary(module);
        events.clear(); // nobody to do the work: the events are dropped
        return;
    }
    workerRunning = true;
}

void noteActivation(std::int32_t index) {
    const std::lock_guard lock(eventsMutex);
    events.iconActivated(index);
    ensureWorker();
}

void noteResize() {
    const std::lock_guard lock(eventsMutex);
    events.desktopResized(nowMilliseconds());
    ensureWorker();
}

void inspect(const CWPSTRUCT& message) {
    const HWND listView = sharedListView;
    if (listView == nullptr)
        return;
    if (message.message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
        if (header != nullptr && header->hwndFrom == listView && header->code == LVN_ITEMACTIVATE)
            noteActivation(reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
    } else if (message.hwnd == listView &&
               (message.message == WM_SIZE || message.message == LVM_SETWORKAREAS)) {
        noteResize();
    }
}

LRESULT CALLBACK callWindowProcedure(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        try {
            inspect(*reinterpret_cast<const CWPSTRUCT*>(lParam));
        } catch (...) {
            // Nothing may reach the shell; an event that cannot be noted is lost.
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

HHOOK installHook(HWND listView, DWORD& error) noexcept {
    const DWORD thread = GetWindowThreadProcessId(listView, nullptr);
    if (thread == 0) {
        error = GetLastError() != 0 ? GetLastError() : ERROR_INVALID_WINDOW_HANDLE;
        return nullptr;
    }
    sharedListView = listView;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &callWindowProcedure, thisModule(false), thread);
    if (hook == nullptr)
        error = GetLastError();
    return hook;
}

void removeHook(HHOOK hook) noexcept {
    if (hook != nullptr)
        UnhookWindowsHookEx(hook);
}

} // namespace desktop_hook
