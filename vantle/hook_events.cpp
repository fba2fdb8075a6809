#include "vantle/hook_events.h"

#include <algorithm>

namespace desktop_hook {

void HookEvents::iconActivated(std::int32_t index, std::u16string label) {
    openings_.push_back({index, std::move(label), std::nullopt});
}

void HookEvents::iconRenamed(std::u16string from, std::u16string to) {
    openings_.push_back({-1, std::move(from), std::move(to)});
}

void HookEvents::desktopChanged(std::uint64_t now, ArrangeCause cause) {
    arrangeCause_ = arrangePending_ ? std::max(arrangeCause_, cause) : cause;
    arrangeOnlyIfAutomatic_ = false;
    arrangePending_ = true;
    arrangeDue_ = std::max(arrangeDue_, now + settleMilliseconds);
    arrangeTries_ = 0;
}

void HookEvents::iconsMovedByHand(std::uint64_t now) {
    if (!arrangePending_) {
        arrangeOnlyIfAutomatic_ = true;
        arrangeCause_ = ArrangeCause::handMove;
    }
    arrangePending_ = true;
    arrangeDue_ = std::max(arrangeDue_, now + handMoveSettleMilliseconds);
    arrangeTries_ = 0;
}

HookWork HookEvents::next(std::uint64_t now) {
    if (held_ != Held::nothing)
        done(); // a worker that did not say: its work counts as done
    const bool openingDue = !openings_.empty() && openings_.front().due <= now;
    if (openingDue) {
        held_ = Held::opening;
        const Opening& front = openings_.front();
        if (front.renamedTo)
            return RenameIcon{front.label, *front.renamedTo};
        // The icon may have been renamed since it was opened: it is found by the label it has.
        std::u16string label = front.label;
        for (const Opening& later : openings_)
            if (later.renamedTo && later.label == label)
                label = *later.renamedTo;
        return CountActivation{front.index, label};
    }
    const bool renameWaits = std::any_of(openings_.begin(), openings_.end(),
                                         [](const Opening& entry) { return entry.renamedTo; });
    if (arrangePending_ && arrangeDue_ <= now && !renameWaits) {
        arrangePending_ = false;
        held_ = Held::arrangement;
        return ArrangeDesktop{arrangeOnlyIfAutomatic_, arrangeCause_};
    }
    if (!openings_.empty() && arrangePending_)
        return WaitUntil{renameWaits ? openings_.front().due
                                     : std::min(openings_.front().due, arrangeDue_)};
    if (!openings_.empty())
        return WaitUntil{openings_.front().due};
    if (arrangePending_)
        return WaitUntil{arrangeDue_};
    return NothingToDo{};
}

void HookEvents::done() {
    if (held_ == Held::opening && !openings_.empty())
        openings_.pop_front();
    if (held_ == Held::arrangement && !arrangePending_)
        arrangeTries_ = 0;
    held_ = Held::nothing;
}

void HookEvents::failed(std::uint64_t now) {
    if (held_ == Held::opening && !openings_.empty()) {
        Opening& opening = openings_.front();
        if (opening.tries < retryPauses.size()) {
            opening.due = now + retryPauses[opening.tries++];
        } else {
            openings_.pop_front();
            ++dropped_;
        }
    } else if (held_ == Held::arrangement) {
        retryArrangement(now);
    }
    held_ = Held::nothing;
}

void HookEvents::countedButNotArranged(std::uint64_t now) {
    if (held_ == Held::opening && !openings_.empty())
        openings_.pop_front();
    held_ = Held::nothing;
    if (!arrangePending_) {
        arrangeOnlyIfAutomatic_ = false;
        arrangeCause_ = ArrangeCause::opening;
        retryArrangement(now);
    }
}

void HookEvents::retryArrangement(std::uint64_t now) {
    if (arrangePending_)
        return; // a change came in meanwhile: its own arrangement follows
    if (arrangeTries_ < retryPauses.size()) {
        arrangePending_ = true;
        arrangeDue_ = now + retryPauses[arrangeTries_++];
    } else {
        arrangeTries_ = 0;
        ++dropped_;
    }
}

void HookEvents::clear() {
    openings_.clear();
    arrangePending_ = false;
    arrangeTries_ = 0;
    held_ = Held::nothing;
}

} // namespace desktop_hook
