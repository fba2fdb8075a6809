// The desktop hook's queue of work: icons the user opened, to be counted in order, and changes of
// the desktop's size, which ask for one arrangement once they have settled (no further change for
// a while). The hook fills it on the shell's window thread; its worker empties it.
#pragma once

#include <cstdint>
#include <deque>
#include <variant>

namespace desktop_hook {

// How long the desktop's size must stay unchanged before it is arranged again.
inline constexpr std::uint64_t settleMilliseconds = 500;

struct CountActivation {
    std::int32_t index;
};
struct ArrangeDesktop {};
struct WaitUntil {
    std::uint64_t time;
};
struct NothingToDo {};
using HookWork = std::variant<CountActivation, ArrangeDesktop, WaitUntil, NothingToDo>;

class HookEvents {
  public:
    void iconActivated(std::int32_t index) { activations_.push_back(index); }
    // The desktop changed size at the given time (milliseconds on any steady clock).
    void desktopResized(std::uint64_t now) {
        arrangePending_ = true;
        arrangeDue_ = now + settleMilliseconds;
    }
    // What to do next: openings first, in the order they happened; then the arrangement, once
    // the size has settled.
    HookWork next(std::uint64_t now);
    void clear() {
        activations_.clear();
        arrangePending_ = false;
    }

  private:
    std::deque<std::int32_t> activations_;
    bool arrangePending_ = false;
    std::uint64_t arrangeDue_ = 0;
};

} // namespace desktop_hook
