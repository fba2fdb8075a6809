#include "vantle/hook_events.h"

namespace desktop_hook {

HookWork HookEvents::next(std::uint64_t now) {
    if (!activations_.empty()) {
        const std::int32_t index = activations_.front();
        activations_.pop_front();
        return CountActivation{index};
    }
    if (!arrangePending_)
        return NothingToDo{};
    if (now < arrangeDue_)
        return WaitUntil{arrangeDue_};
    arrangePending_ = false;
    return ArrangeDesktop{};
}

} // namespace desktop_hook
