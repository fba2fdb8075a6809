// What is asked of the shell's windows waits for the answer only so long (answerTimeoutMs).
#include "desktop_access/desktop_win32.h"
#include "desktop_access/errors.h"
#include "winapi/error.h"
#include "winapi/thread_win32.h"

namespace desktop_access {

// The caller's thread answers what others send to its own windows while it waits, as with
// SendMessageW (SMTO_BLOCK would not): a shell that, while handling our request, sends to every
// top-level window (a broadcast reaches the hidden window of the caller's COM apartment) must
// not wait for us while we wait for it.
LRESULT sendToShell(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT,
                             answerTimeoutMs, &answer))
        throw DesktopAccessError(notAnsweringMessage);
    return static_cast<LRESULT>(answer);
}

// Some shells put off repainting moved icons while positions keep coming, so a glide would show
// only at its end. Painting at once makes the system send the list view WM_PAINT and wait for it
// with no bound of its own, even when the shell is known to hang: a shell the system counts as
// hung is found out first by a request that gives up at once, and the paint itself runs on a
// thread of its own, waited for as long as a request.
void repaintIcons(Desktop& desktop) {
    ensureCurrent(desktop);
    const HWND listView = desktop.listView;
    sendToShell(listView, WM_NULL, 0, 0);
    if (!winapi::callWithin(answerTimeoutMs, [listView] {
            RedrawWindow(listView, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }))
        throw DesktopAccessError(notAnsweringMessage);
}

namespace {

// The command of the desktop's SHELLDLL_DefView behind its "Show desktop icons": it shows the
// list view when hidden and hides it when shown, and keeps the setting in the registry.
constexpr WPARAM toggleIconsCommand = 0x7402;

} // namespace

bool iconsShown(Desktop& desktop) {
    ensureCurrent(desktop);
    return IsWindowVisible(desktop.listView) != FALSE;
}

void showIcons(Desktop& desktop, bool shown) {
    if (iconsShown(desktop) == shown)
        return;
    const HWND view = GetParent(desktop.listView);
    if (view == nullptr)
        throw DesktopAccessError("The desktop's icons cannot be shown or hidden here");
    sendToShell(view, WM_COMMAND, toggleIconsCommand, 0);
    // The view answers once it has toggled; a shell that shows or hides the list view a little
    // later is given one request's time.
    const ULONGLONG deadline = GetTickCount64() + answerTimeoutMs;
    while (iconsShown(desktop) != shown) {
        if (GetTickCount64() >= deadline)
            throw DesktopAccessError(shown ? "The desktop did not show its icons"
                                           : "The desktop did not hide its icons");
        Sleep(20);
    }
}

} // namespace desktop_access
