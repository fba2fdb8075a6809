#include "launcher/shell_follower_win32.h"

#include <stdexcept>

#include <commctrl.h>

#include "component/client_win32.h"
#include "launcher/launcher_win32.h"

namespace launcher {
namespace {

// A new shell fills its desktop a little at a time: it is arranged once the item count has stayed
// the same from one check to the next, or after this many checks whatever it holds.
constexpr int maxSettlingChecks = 10;
constexpr int maxArrangementTries = 5;

std::optional<LRESULT> itemCount(HWND listView) {
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(listView, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                             desktop_access::answerTimeoutMs, &count))
        return std::nullopt;
    return static_cast<LRESULT>(count);
}

} // namespace

ShellFollower::ShellFollower(desktop_access::Desktop& desktop,
                             std::optional<desktop_hook::HookInstaller>& hook, ITessora* tessora)
    : desktop_(&desktop), hook_(hook), tessora_(tessora) {}

void ShellFollower::check() {
    if (!desktop_ || !desktop_access::isCurrent(*desktop_) || !hook_)
        follow();
    if (settlingCount_)
        arrangeOnceSettled();
}

void ShellFollower::follow() {
    try {
        desktop_access::Desktop& fresh = desktop_access::getDesktop();
        if (&fresh == desktop_ && hook_)
            return;
        // The old hook went with the old shell; removing it is harmless and frees its handle.
        hook_.reset();
        desktop_ = &fresh;
        disableAutoArrange(fresh.listView);
        hook_.emplace(fresh.listView);
        settlingCount_ = -1;
        settlingChecks_ = 0;
        failedArrangements_ = 0;
    } catch (const std::runtime_error&) {
        // No desktop yet (the new shell is still starting), or it went again: the next check.
    }
}

void ShellFollower::arrangeOnceSettled() {
    const std::optional<LRESULT> count = itemCount(desktop_->listView);
    const bool settled = count && *count == *settlingCount_;
    if (count)
        settlingCount_ = *count;
    if (!settled && ++settlingChecks_ < maxSettlingChecks)
        return;
    if (SUCCEEDED(component::arrangeFor(tessora_, TriggerShellRestart)) ||
        ++failedArrangements_ >= maxArrangementTries)
        settlingCount_.reset();
}

} // namespace launcher
