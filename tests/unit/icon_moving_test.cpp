#include "desktop_access/icon_moving.h"

#include <gtest/gtest.h>

#include "desktop_access/errors.h"
#include "tests/support/fake_desktop.h"
#include "winapi/error.h"

namespace {

using desktop_access::Desktop;
using desktop_access::IconMove;

class IconMovingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        desktop_access::resetIconsNotTaken();
    }

    // n more icons at (0, 0), each to move to (targetX, targetY).
    std::vector<IconMove> movesFromOrigin(int n, int targetX, int targetY) {
        std::vector<IconMove> moves;
        for (int i = 0; i < n; ++i) {
            const int index = static_cast<int>(desktop.items.size());
            desktop.addIcon(u"icon", 0, 0);
            desktop.items.back().position = {0, 0};
            moves.push_back({{&desktop, index}, 0, 0, targetX, targetY});
        }
        return moves;
    }
    std::vector<int> xsOf(int index) {
        std::vector<int> xs;
        for (const auto& move : desktop.moves)
            if (move.index == index)
                xs.push_back(move.x);
        return xs;
    }

    Desktop desktop;
};

TEST_F(IconMovingTest, FewIconsHalveTheDistanceRoundingHalfUp) {
    desktop_access::runAnimation(movesFromOrigin(1, 10, 0));
    EXPECT_EQ(xsOf(0), (std::vector<int>{5, 8, 9, 10}));
    EXPECT_EQ(fake::pauses, 3);
}

TEST_F(IconMovingTest, NegativeStepsRoundHalfUpToo) {
    desktop_access::runAnimation(movesFromOrigin(1, -3, 0));
    EXPECT_EQ(xsOf(0), (std::vector<int>{-1, -2, -3})); // -1.5 rounds to -1, then -1, then snapped
}

TEST_F(IconMovingTest, SixIconsArriveInOnePass) {
    desktop_access::runAnimation(movesFromOrigin(6, 400, -120));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(xsOf(i), (std::vector<int>{400, 400})) << "one step, then set exactly on arrival";
        EXPECT_EQ(desktop.items[i].position, (desktop_access::Point{400, -120}));
    }
    EXPECT_EQ(fake::pauses, 1);
}

TEST_F(IconMovingTest, DivisorFollowsTheMovesStillInTheList) {
    auto moves = movesFromOrigin(6, 100, 0);
    moves[0].targetX = 1; // arrives at once, leaving five: these then move by halves
    desktop_access::runAnimation(moves);
    EXPECT_EQ(xsOf(0), (std::vector<int>{1}));
    EXPECT_EQ(xsOf(1), (std::vector<int>{50, 75, 88, 94, 97, 99, 100}));
}

TEST_F(IconMovingTest, NearlyArrivedIconIsSetExactlyAndNeverStepped) {
    auto moves = movesFromOrigin(1, 1, 1);
    desktop_access::runAnimation(moves);
    ASSERT_EQ(desktop.moves.size(), 1u);
    EXPECT_EQ(desktop.moves[0].x, 1);
    EXPECT_EQ(desktop.moves[0].y, 1);
    EXPECT_EQ(fake::pauses, 0);
}

TEST_F(IconMovingTest, EmptyListEndsAtOnce) {
    desktop_access::startAnimation({});
    EXPECT_EQ(fake::glidesStarted, 1);
    EXPECT_EQ(fake::pauses, 0);
    EXPECT_TRUE(desktop.moves.empty());
}

TEST_F(IconMovingTest, RefusedPositionEndsTheAnimationInsideItsThread) {
    auto moves = movesFromOrigin(2, 50, 50);
    desktop.failRequest = "set";
    desktop.failIndex = 1;
    EXPECT_NO_THROW(desktop_access::startAnimation(moves));
    EXPECT_EQ(desktop_access::iconsNotTaken(), 2u) << "no icon of it is known to stand in place";
    EXPECT_THROW(desktop_access::runAnimation(moves), desktop_access::DesktopAccessError);
}

TEST_F(IconMovingTest, TheListViewRepaintsOnceAfterEachPassesPositions) {
    desktop_access::runAnimation(movesFromOrigin(1, 10, 0)); // 5, 8, 9, then snapped to 10
    EXPECT_EQ(desktop.repaints, (std::vector<std::size_t>{1, 2, 3, 4}));
    desktop = Desktop();
    desktop_access::runAnimation(movesFromOrigin(6, 400, 0)); // a jump, then each set exactly
    EXPECT_EQ(desktop.repaints, (std::vector<std::size_t>{6, 12}));
    desktop.failRequest = "repaint";
    EXPECT_THROW(desktop_access::runAnimation(movesFromOrigin(1, 10, 0)),
                 desktop_access::DesktopAccessError);
}

TEST_F(IconMovingTest, AGlideANewerArrangementWaitsForSetsItsIconsAtTheirTargetsAtOnce) {
    fake::hurryAtPause = 2; // after the passes to 5 and to 8, the icon goes straight to 10
    EXPECT_EQ(desktop_access::runAnimation(movesFromOrigin(1, 10, 0)), 0u);
    EXPECT_EQ(xsOf(0), (std::vector<int>{5, 8, 10}));
    EXPECT_EQ(fake::pauses, 2) << "no pause after the last pass";
    EXPECT_EQ(desktop.repaints, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(desktop.positionReads, 1) << "its places are still checked";
}

TEST_F(IconMovingTest, EveryIconIsReadBackOnceWhenAllTookTheirPlaces) {
    for (const int count : {1, 5, 6, 40}) {
        desktop = Desktop();
        EXPECT_EQ(desktop_access::runAnimation(movesFromOrigin(count, 300, 200)), 0u);
        EXPECT_EQ(desktop.positionReads, count) << count << " icons";
    }
}

TEST_F(IconMovingTest, AnIconNotAtItsTargetIsSetOnceMoreAndCountedIfItStillIsNot) {
    auto moves = movesFromOrigin(8, 300, 200);
    desktop.droppedSets[2] = -1; // every position of it is answered and ignored
    desktop.droppedSets[5] = 2;  // the jump and the exact set are ignored, a third one takes
    EXPECT_EQ(desktop_access::runAnimation(moves), 1u);
    EXPECT_EQ(desktop.items[2].position, (desktop_access::Point{0, 0}));
    EXPECT_EQ(desktop.items[5].position, (desktop_access::Point{300, 200}));
    EXPECT_EQ(xsOf(2), (std::vector<int>{300, 300, 300})) << "set once more, not again and again";
    EXPECT_EQ(xsOf(5), (std::vector<int>{300, 300, 300}));
    EXPECT_EQ(xsOf(0), (std::vector<int>{300, 300}));
    EXPECT_EQ(desktop.positionReads, 8 + 2) << "each icon once, the two astray twice";
    EXPECT_EQ(desktop.repaints.back(), desktop.moves.size()) << "repainted after the re-set";
}

TEST_F(IconMovingTest, AnIconMovedElsewhereAfterItsGlideStaysThereAndCounts) {
    auto moves = movesFromOrigin(6, 300, 200);
    // The user drags it away as its place is checked: the first reading finds it there.
    desktop.items[3].glide = {{640, 480}};
    EXPECT_EQ(desktop_access::runAnimation(moves), 1u);
    EXPECT_EQ(desktop.items[3].position, (desktop_access::Point{640, 480}));
    EXPECT_EQ(xsOf(3), (std::vector<int>{300, 300})) << "not set back under the user's hand";
}

TEST_F(IconMovingTest, AnimationsAddWhatDidNotTakeUntilTheCountIsReset) {
    desktop.droppedSets[0] = -1;
    desktop.droppedSets[1] = -1;
    desktop_access::startAnimation(movesFromOrigin(3, 90, 90));
    EXPECT_EQ(desktop_access::iconsNotTaken(), 2u);
    desktop_access::startAnimation(movesFromOrigin(1, 90, 90)); // icon 3 takes
    EXPECT_EQ(desktop_access::iconsNotTaken(), 2u);
    desktop_access::resetIconsNotTaken();
    EXPECT_EQ(desktop_access::iconsNotTaken(), 0u);
}

} // namespace
