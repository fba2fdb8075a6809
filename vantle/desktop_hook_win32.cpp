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
#include <string>

#include <commctrl.h>
#include <wrl/client.h>

#include "component/client_win32.h"
#include "component/renames_win32.h"
#include "desktop_access/desktop_win32.h"
#include "desktop_access/labels.h"
#include "tessora.h"
#include "vantle/hook_events.h"
#include "winapi/handle_win32.h"
#include "winapi/module_win32.h"
#include "winapi/text_win32.h"

namespace desktop_hook {
namespace {

using Microsoft::WRL::ComPtr;

// Shared by every process that loads the library: the desktop list view, set by the installer's
// process and read by the hook in the shell's process; and how much work the worker gave up.
HWND sharedListView __attribute__((section(".vantle"), shared)) = nullptr;
LONG sharedDropped __attribute__((section(".vantle"), shared)) = 0;

constexpr int labelCapacity = int(desktop_access::labelBufferLength);

// The queue and its worker's state. Never destroyed: the shell's process may end while a worker
// waits on it, and the system ends that thread without a word; destroying a condition variable
// that a thread ended that way still waits on would hang the shell's exit.
struct WorkerState {
    std::mutex mutex;
    std::condition_variable changed;
    HookEvents events;
    bool running = false;
};
WorkerState& state = *new WorkerState;
std::mutex& eventsMutex = state.mutex;
std::condition_variable& eventsChanged = state.changed;
HookEvents& events = state.events;
bool& workerRunning = state.running;

std::uint64_t nowMilliseconds() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

HMODULE thisModule(bool addReference) {
    return winapi::moduleContaining(&sharedListView, addReference);
}

// The item's label, asked on the list view's own thread (a direct call there) or from the worker
// (a bounded request to that thread). Nothing when the list view does not answer.
bool itemLabel(HWND listView, int index, std::wstring& label, bool onWindowThread) {
    wchar_t text[labelCapacity] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = labelCapacity;
    const WPARAM which = static_cast<WPARAM>(index);
    const LPARAM address = reinterpret_cast<LPARAM>(&item);
    if (onWindowThread) {
        // The list view's own procedure, called directly: a message sent here would pass through
        // every hook of the thread again, this one included, which costs the shell more.
        const auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(listView, GWLP_WNDPROC));
        if (procedure == nullptr)
            return false;
        CallWindowProcW(procedure, listView, LVM_GETITEMTEXTW, which, address);
    } else {
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutW(listView, LVM_GETITEMTEXTW, which, address, SMTO_ABORTIFHUNG,
                                 desktop_access::answerTimeoutMs, &ignored))
            return false;
    }
    text[labelCapacity - 1] = L'\0';
    label = text;
    return true;
}

// Where the opened icon stands now. Icons may have come or gone since it was opened, which
// shifts the indexes: the icon is found again by its label. -1 when it is gone; the index as it
// was when the list view cannot tell.
int currentIndex(const CountActivation& opening) {
    const HWND listView = sharedListView;
    if (opening.label.empty() || listView == nullptr)
        return opening.index;
    const std::wstring wanted = winapi::toWide(opening.label);
    std::wstring label;
    if (!itemLabel(listView, opening.index, label, false))
        return opening.index;
    if (label == wanted)
        return opening.index;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(listView, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                             desktop_access::answerTimeoutMs, &count))
        return opening.index;
    for (int index = 0; index < static_cast<int>(count); ++index)
        if (itemLabel(listView, index, label, false) && label == wanted)
            return index;
    return -1;
}

bool haveComponent(ComPtr<ITessora>& tessora) {
    return tessora || SUCCEEDED(CoCreateInstance(CLSID_Tessora, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_ITessora, &tessora));
}

enum class Outcome { done, failed, countedButNotArranged };

ArrangeTrigger triggerOf(ArrangeCause cause) {
    switch (cause) {
    case ArrangeCause::handMove:
        return TriggerHandMove;
    case ArrangeCause::opening:
        return TriggerOpening;
    case ArrangeCause::displayChange:
        return TriggerDisplayChange;
    default:
        return TriggerIconsChanged;
    }
}

Outcome countOpening(ComPtr<ITessora>& tessora, const CountActivation& opening) {
    if (!haveComponent(tessora))
        return Outcome::failed;
    const int index = currentIndex(opening);
    if (index < 0)
        return Outcome::done; // the icon has left the desktop: nothing to count any more
    const HRESULT result = tessora->IconActivated(index);
    if (SUCCEEDED(result))
        return Outcome::done;
    // Only an opening the component did not count may be counted again.
    return component::failureOf(tessora.Get(), result).kind == component::FailureKind::notCounted
               ? Outcome::failed
               : Outcome::countedButNotArranged;
}

Outcome rename(ComPtr<ITessora>& tessora, const RenameIcon& renamed) {
    ComPtr<ITessoraRenames> renames;
    if (!haveComponent(tessora) || FAILED(tessora.As(&renames)))
        return Outcome::failed;
    const HRESULT result = renames->IconRenamed(winapi::toWide(renamed.from).c_str(),
                                                winapi::toWide(renamed.to).c_str());
    // A rename whose files could not be written is kept as counts are: trying it again could
    // only lose openings counted meanwhile.
    return SUCCEEDED(result) || component::failureOf(tessora.Get(), result).kind ==
                                    component::FailureKind::notSaved
               ? Outcome::done
               : Outcome::failed;
}

Outcome arrange(ComPtr<ITessora>& tessora, const ArrangeDesktop& arrangement) {
    if (!haveComponent(tessora))
        return Outcome::failed;
    if (arrangement.onlyIfAutomatic) {
        ArrangeMethod method = ArrangeAuto;
        if (FAILED(tessora->GetArrangeMethod(&method)))
            return Outcome::failed;
        if (method != ArrangeAuto)
            return Outcome::done; // an edge arrangement would only undo the user's move
    }
    return SUCCEEDED(component::arrangeFor(tessora.Get(), triggerOf(arrangement.cause)))
               ? Outcome::done
               : Outcome::failed;
}

// Called with eventsMutex held.
void report(Outcome outcome) {
    const std::uint32_t before = events.dropped();
    switch (outcome) {
    case Outcome::done:
        events.done();
        break;
    case Outcome::failed:
        events.failed(nowMilliseconds());
        break;
    case Outcome::countedButNotArranged:
        events.countedButNotArranged(nowMilliseconds());
        break;
    }
    if (events.dropped() != before)
        InterlockedIncrement(&sharedDropped);
}

void work() {
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<ITessora> tessora;
        std::unique_lock lock(eventsMutex);
        for (;;) {
            const HookWork next = events.next(nowMilliseconds());
            if (const auto* opening = std::get_if<CountActivation>(&next)) {
                lock.unlock();
                const Outcome outcome = countOpening(tessora, *opening);
                lock.lock();
                report(outcome);
            } else if (const auto* renamed = std::get_if<RenameIcon>(&next)) {
                lock.unlock();
                const Outcome outcome = rename(tessora, *renamed);
                lock.lock();
                report(outcome);
            } else if (const auto* arrangement = std::get_if<ArrangeDesktop>(&next)) {
                lock.unlock();
                const Outcome outcome = arrange(tessora, *arrangement);
                lock.lock();
                report(outcome);
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
        InterlockedIncrement(&sharedDropped);
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
        // Nobody to do the work now: it stays queued for the next event's worker.
        FreeLibrary(module);
        return;
    }
    workerRunning = true;
}

void noteActivation(HWND listView, std::int32_t index) {
    std::wstring label;
    itemLabel(listView, index, label, true);
    const std::lock_guard lock(eventsMutex);
    events.iconActivated(index, winapi::fromWide(label));
    ensureWorker();
}

void noteChange(ArrangeCause cause) {
    const std::lock_guard lock(eventsMutex);
    events.desktopChanged(nowMilliseconds(), cause);
    ensureWorker();
}

// An item's label set anew (LVM_SETITEMTEXT, or LVM_SETITEM with text), before the list view
// takes it: the label it had is still there to read. A label the list view asks back for later
// (LPSTR_TEXTCALLBACK) is not known here.
void noteTextChange(HWND listView, const CWPSTRUCT& message) {
    const auto* item = reinterpret_cast<const LVITEMW*>(message.lParam);
    const bool setItem = message.message == LVM_SETITEMW || message.message == LVM_SETITEMA;
    if (item == nullptr || item->iSubItem != 0 || (setItem && !(item->mask & LVIF_TEXT)) ||
        item->pszText == nullptr || item->pszText == LPSTR_TEXTCALLBACKW)
        return;
    const int index = setItem ? item->iItem : static_cast<int>(message.wParam);
    std::wstring text;
    if (message.message == LVM_SETITEMTEXTA || message.message == LVM_SETITEMA) {
        const auto* narrow = reinterpret_cast<const char*>(item->pszText);
        const int length = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
        if (length <= 0)
            return;
        text.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, narrow, -1, text.data(), length);
        text.resize(static_cast<std::size_t>(length - 1));
    } else {
        text = item->pszText;
    }
    std::wstring label;
    if (!itemLabel(listView, index, label, true) || label.empty() || label == text)
        return;
    const std::lock_guard lock(eventsMutex);
    events.iconRenamed(winapi::fromWide(label), winapi::fromWide(text));
    events.desktopChanged(nowMilliseconds(), ArrangeCause::iconsChanged); // sorted by name anew
    ensureWorker();
}

void noteMoveByHand() {
    const std::lock_guard lock(eventsMutex);
    events.iconsMovedByHand(nowMilliseconds());
    ensureWorker();
}

// What changes the desktop: its size, its work areas, icons arriving or leaving.
bool changesTheDesktop(UINT message) {
    switch (message) {
    case WM_SIZE:
    case LVM_SETWORKAREAS:
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        return true;
    default:
        return false;
    }
}

// A position set by the shell's own thread: the shell placing an icon where the user dropped it.
// Kelvara's moves come from other threads (its worker here, or other processes).
bool movedByTheShell(UINT message) {
    return (message == LVM_SETITEMPOSITION || message == LVM_SETITEMPOSITION32) &&
           InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

void inspect(const CWPSTRUCT& message) {
    const HWND listView = sharedListView;
    if (listView == nullptr)
        return;
    if (message.message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
        if (header != nullptr && header->hwndFrom == listView && header->code == LVN_ITEMACTIVATE)
            noteActivation(listView, reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
    } else if (message.hwnd == listView && changesTheDesktop(message.message)) {
        noteChange(message.message == WM_SIZE || message.message == LVM_SETWORKAREAS
                       ? ArrangeCause::displayChange
                       : ArrangeCause::iconsChanged);
    } else if (message.hwnd == listView && movedByTheShell(message.message)) {
        noteMoveByHand();
    } else if (message.hwnd == listView &&
               (message.message == LVM_SETITEMTEXTW || message.message == LVM_SETITEMTEXTA ||
                message.message == LVM_SETITEMW || message.message == LVM_SETITEMA)) {
        noteTextChange(listView, message);
    }
}

LRESULT CALLBACK callWindowProcedure(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        try {
            inspect(*reinterpret_cast<const CWPSTRUCT*>(lParam));
        } catch (...) {
            // Nothing may reach the shell; an event that cannot be noted is lost.
            InterlockedIncrement(&sharedDropped);
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

std::uint32_t droppedEvents() noexcept {
    return static_cast<std::uint32_t>(InterlockedCompareExchange(&sharedDropped, 0, 0));
}

} // namespace desktop_hook
