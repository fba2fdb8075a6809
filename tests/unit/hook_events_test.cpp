#include "vantle/hook_events.h"

#include <gtest/gtest.h>

namespace {

using namespace desktop_hook;

bool isWait(const HookWork& work, std::uint64_t until) {
    return std::holds_alternative<WaitUntil>(work) && std::get<WaitUntil>(work).time == until;
}

TEST(HookEvents, OpeningsAreCountedInOrderEveryOne) {
    HookEvents events;
    events.iconActivated(3, u"Mail");
    events.iconActivated(0);
    events.iconActivated(3, u"Mail");
    for (int expected : {3, 0, 3}) {
        const HookWork work = events.next(0);
        ASSERT_TRUE(std::holds_alternative<CountActivation>(work));
        EXPECT_EQ(std::get<CountActivation>(work).index, expected);
        events.done();
    }
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(0)));
}

// A rename waits its turn behind the openings before it, and no arrangement is made while it
// waits to be tried again: that arrangement would forget the old label's count.
TEST(HookEvents, RenamesGoInTurnAndHoldTheArrangementWhileTheyWait) {
    HookEvents events;
    events.iconActivated(1, u"Mail");
    events.iconRenamed(u"Mail", u"Letters");
    events.desktopChanged(0);
    HookWork work = events.next(0);
    ASSERT_TRUE(std::holds_alternative<CountActivation>(work));
    EXPECT_EQ(std::get<CountActivation>(work).label, u"Letters") << "found by the label it has";
    events.done();
    work = events.next(400);
    ASSERT_TRUE(std::holds_alternative<RenameIcon>(work));
    EXPECT_EQ(std::get<RenameIcon>(work).from, u"Mail");
    EXPECT_EQ(std::get<RenameIcon>(work).to, u"Letters");
    events.failed(400);
    EXPECT_TRUE(isWait(events.next(settleMilliseconds), 400 + retryPauses[0]));
    ASSERT_TRUE(std::holds_alternative<RenameIcon>(events.next(400 + retryPauses[0])));
    events.done();
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(400 + retryPauses[0])));
}

TEST(HookEvents, ChangesSettleIntoOneArrangement) {
    HookEvents events;
    events.desktopChanged(1000);
    events.desktopChanged(1300); // still changing: the wait starts again
    EXPECT_TRUE(isWait(events.next(1700), 1300 + settleMilliseconds));
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(1800)));
    events.done();
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(5000)));
}

TEST(HookEvents, ChangeDuringAnArrangementAsksForOneMore) {
    HookEvents events;
    events.desktopChanged(0);
    ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(600)));
    events.desktopChanged(700); // while the arrangement runs
    events.done();
    EXPECT_TRUE(isWait(events.next(800), 700 + settleMilliseconds));
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(1300)));
    events.done();
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(9000)));
}

TEST(HookEvents, OpeningsGoBeforeAPendingArrangement) {
    HookEvents events;
    events.desktopChanged(0);
    events.iconActivated(7);
    EXPECT_TRUE(std::holds_alternative<CountActivation>(events.next(10000)));
    events.done();
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(10000)));
}

TEST(HookEvents, AFailedOpeningIsTriedAgainBeforeTheOnesAfterIt) {
    HookEvents events;
    events.iconActivated(1);
    events.iconActivated(2);
    ASSERT_TRUE(std::holds_alternative<CountActivation>(events.next(100)));
    events.failed(100);
    // The second opening waits for the first: openings are counted in the order they happened.
    EXPECT_TRUE(isWait(events.next(150), 100 + retryPauses[0]));
    HookWork work = events.next(100 + retryPauses[0]);
    ASSERT_TRUE(std::holds_alternative<CountActivation>(work));
    EXPECT_EQ(std::get<CountActivation>(work).index, 1);
    events.done();
    work = events.next(1000);
    ASSERT_TRUE(std::holds_alternative<CountActivation>(work));
    EXPECT_EQ(std::get<CountActivation>(work).index, 2);
    events.done();
    EXPECT_EQ(events.dropped(), 0u);
}

TEST(HookEvents, WorkIsDroppedOnlyAfterItsLastTry) {
    HookEvents events;
    events.iconActivated(4);
    std::uint64_t now = 0;
    std::uint64_t waited = 0;
    for (std::size_t attempt = 0; attempt <= retryPauses.size(); ++attempt) {
        const HookWork work = events.next(now);
        ASSERT_TRUE(std::holds_alternative<CountActivation>(work)) << "attempt " << attempt;
        events.failed(now);
        if (attempt < retryPauses.size()) {
            now += retryPauses[attempt];
            waited += retryPauses[attempt];
        }
    }
    EXPECT_EQ(events.dropped(), 1u);
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(now)));
    EXPECT_GE(waited, 3000u) << "the tries span a few seconds, enough for a busy shell";

    events.desktopChanged(now);
    now += settleMilliseconds;
    for (std::size_t attempt = 0; attempt <= retryPauses.size(); ++attempt) {
        ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(now)));
        events.failed(now);
        if (attempt < retryPauses.size())
            now += retryPauses[attempt];
    }
    EXPECT_EQ(events.dropped(), 2u);
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(now + 100000)));
}

TEST(HookEvents, ACountedOpeningIsNeverCountedAgainButItsArrangementIs) {
    HookEvents events;
    events.iconActivated(5);
    ASSERT_TRUE(std::holds_alternative<CountActivation>(events.next(0)));
    events.countedButNotArranged(0);
    EXPECT_TRUE(isWait(events.next(10), retryPauses[0]));
    EXPECT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(retryPauses[0])));
    events.done();
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(100000)));
}

TEST(HookEvents, ASucceededArrangementStartsTheTriesAfresh) {
    HookEvents events;
    std::uint64_t now = 0;
    for (int round = 0; round < 10; ++round) {
        events.iconActivated(round);
        ASSERT_TRUE(std::holds_alternative<CountActivation>(events.next(now)));
        events.countedButNotArranged(now);
        now += 10000;
        ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(now)));
        events.failed(now);
        now += 10000;
        ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(events.next(now))) << "round " << round;
        events.done();
    }
    EXPECT_EQ(events.dropped(), 0u);
}

TEST(HookEvents, MovesByHandAskForAnAutomaticArrangementOnceTheyHaveSettled) {
    HookEvents events;
    events.iconsMovedByHand(0);
    events.iconsMovedByHand(300); // the user is still dragging
    EXPECT_TRUE(isWait(events.next(400), 300 + handMoveSettleMilliseconds));
    HookWork work = events.next(300 + handMoveSettleMilliseconds);
    ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(work));
    EXPECT_TRUE(std::get<ArrangeDesktop>(work).onlyIfAutomatic);
    events.done();

    // A real change of the desktop with them asks for an arrangement whatever the method, and
    // waits for both to settle.
    events.iconsMovedByHand(5000);
    events.desktopChanged(5100);
    EXPECT_TRUE(isWait(events.next(5700), 5000 + handMoveSettleMilliseconds));
    work = events.next(5000 + handMoveSettleMilliseconds);
    ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(work));
    EXPECT_FALSE(std::get<ArrangeDesktop>(work).onlyIfAutomatic);
    events.done();
    events.desktopChanged(9000);
    events.iconsMovedByHand(9100);
    work = events.next(9100 + handMoveSettleMilliseconds);
    ASSERT_TRUE(std::holds_alternative<ArrangeDesktop>(work));
    EXPECT_FALSE(std::get<ArrangeDesktop>(work).onlyIfAutomatic);
}

TEST(HookEvents, ClearDropsEverything) {
    HookEvents events;
    events.desktopChanged(0);
    events.iconActivated(1);
    events.clear();
    EXPECT_TRUE(std::holds_alternative<NothingToDo>(events.next(10000)));
}

} // namespace
