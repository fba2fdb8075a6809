#include "vantle/hook_events.h"

#include <gtest/gtest.h>

namespace {

using namespace desktop_hook;

TEST(HookEvents, OpeningsAreCountedInOrderEveryOne) {
    HookEvents events;
    for (int index : {3, 0, 3})
        events.iconActivated(index);
    for (int expected : {3, 0, 3}) {
        const HookWork work = events.next(0);
        ASSERT_TRUE(std::holds_alternative<CountActivation>(work));
        EXPECT_EQ(std::get<CountActivation>(work).index, expected);
    }
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(0)));
}

TEST(HookEvents, ResizesSettleIntoOneArrangement) {
    HookEvents events;
    events.desktopResized(1000);
    events.desktopResized(1300); // still changing: the wait starts again
    HookWork work = events.next(1700);
    ASSERT_TRUE(std::holds_alternative<WaitUntil>(work));
    EXPECT_EQ(std::get<WaitUntil>(work).time, 1300 + settleMilliseconds);
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(1800)));
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(5000)));
}

TEST(HookEvents, OpeningsGoBeforeAPendingArrangement) {
    HookEvents events;
    events.desktopResized(0);
    events.iconActivated(7);
    EXPECT_TRUE(std::holds_alternative<CountActivation>(events.next(10000)));
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(10000)));
}

TEST(HookEvents, ClearDropsEverything) {
    HookEvents events;
    events.desktopResized(0);
    events.iconActivated(1);
    events.clear();
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(10000)));
}

} // namespace
