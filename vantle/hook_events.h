// The desktop hook's queue of work: icons the user opened, to be counted in order, icons renamed
// (in the same order: an opening before a rename counts the old label), and changes of
// the desktop (its size, its work areas), which ask for one arrangement once they have settled
// (no further change for a while). The hook fills it on the shell's window thread; its worker
// takes the work out, does it and says how it went.
//
// Nothing is dropped at the first failure: work that fails is handed out again after a pause
// that grows with every try, and dropped (and counted as dropped) only after the last one. An
// opening that was counted but whose arrangement failed is not counted again; an arrangement is
// tried again instead. A change that arrives while an arrangement runs asks for one more. No
// arrangement is made while a rename waits to be tried again: it would forget what the old label
// had before the rename could move it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <variant>

namespace desktop_hook {

// How long the desktop must stay unchanged before it is arranged again.
inline constexpr std::uint64_t settleMilliseconds = 500;
// How long icons moved by hand must stay where they were put before that is taken in.
inline constexpr std::uint64_t handMoveSettleMilliseconds = 1000;
// The pauses before the second, third, ... try of work that failed; after the last, it is dropped.
inline constexpr std::array<std::uint64_t, 4> retryPauses = {250, 500, 1000, 2000};

struct CountActivation {
    std::int32_t index;
    std::u16string label; // the icon's label when it was opened; empty when it was not known
};
// What asked for an arrangement, as its restore point tells it; when several things did, a
// change of the display goes before icons arriving or leaving, and those before an opening and a
// hand move.
enum class ArrangeCause { handMove, opening, iconsChanged, displayChange };
struct ArrangeDesktop {
    // Only icons moved by hand ask for it: only the automatic arrangement takes such moves in
    // (an edge arrangement would just undo them).
    bool onlyIfAutomatic = false;
    ArrangeCause cause = ArrangeCause::iconsChanged;
};
struct RenameIcon {
    std::u16string from;
    std::u16string to;
};
struct WaitUntil {
    std::uint64_t time;
};
struct NothingToDo {};
using HookWork = std::variant<CountActivation, RenameIcon, ArrangeDesktop, WaitUntil, NothingToDo>;

class HookEvents {
  public:
    void iconActivated(std::int32_t index, std::u16string label = {});
    // An icon's label changed from `from` to `to`, the icon staying.
    void iconRenamed(std::u16string from, std::u16string to);
    // The desktop changed at the given time (milliseconds on any steady clock): its size or its
    // work areas (display), or the icons on it.
    void desktopChanged(std::uint64_t now, ArrangeCause cause = ArrangeCause::iconsChanged);
    // Icons were moved by hand (by the shell itself, not by an arrangement).
    void iconsMovedByHand(std::uint64_t now);

    // What to do next: the first opening or rename that is due, in the order they happened; the
    // arrangement once the changes have settled; or how long to wait. Work handed out stays the
    // worker's until it reports what became of it (below).
    HookWork next(std::uint64_t now);

    // The work handed out last is done (an opening whose icon is gone counts as done too).
    void done();
    // It failed: it is handed out again after a pause, or dropped after the last try.
    void failed(std::uint64_t now);
    // The opening handed out last was counted, but the arrangement that follows a count failed:
    // the opening is done, and an arrangement is tried again after a pause.
    void countedButNotArranged(std::uint64_t now);

    void clear();
    // How much work was given up after its last try.
    std::uint32_t dropped() const { return dropped_; }

  private:
    // An opening, or a rename (renamedTo set).
    struct Opening {
        std::int32_t index;
        std::u16string label;
        std::optional<std::u16string> renamedTo;
        std::size_t tries = 0;
        std::uint64_t due = 0;
    };
    enum class Held { nothing, opening, arrangement };

    void retryArrangement(std::uint64_t now);

    std::deque<Opening> openings_;
    bool arrangePending_ = false;
    bool arrangeOnlyIfAutomatic_ = false;
    ArrangeCause arrangeCause_ = ArrangeCause::handMove;
    std::uint64_t arrangeDue_ = 0;
    std::size_t arrangeTries_ = 0;
    Held held_ = Held::nothing;
    std::uint32_t dropped_ = 0;
};

} // namespace desktop_hook
