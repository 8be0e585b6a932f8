// Passed pawns: which parts fire, checked against the named
// weights (the reference test holds the weights' values themselves).
#include <gtest/gtest.h>

#include "eval/params.h"
#include "test_common.h"

using namespace evaltest;

namespace {

ScorePair endGameOnly(int eg) { return {0, eg}; }

}  // namespace

TEST(EvalPassed, LowPassersGetOnlyTheTableAndConnection) {
    // c3 and d3, connected passers on rank 3 (r = 2): the table, plus the
    // connection once per rank above the second in the end game; w = 0, so
    // no king or path terms.
    auto pos = position("4k3/8/8/8/8/2PP4/8/4K3 w - - 0 1");
    EXPECT_EQ(passedTerm(*pos, White), (PassedBonus[2] + endGameOnly(ConnectedPasserEg)) * 2);
    // On rank 2 the connection is worth nothing.
    auto second = position("4k3/8/8/8/8/8/2PP4/4K3 w - - 0 1");
    EXPECT_EQ(passedTerm(*second, White), PassedBonus[1] * 2);
}

TEST(EvalPassed, SeventhRankPawnWithRookBehind) {
    // a7 with Ra1 behind it, a8 free and uncontrolled: r = 6, w = 20. Kings:
    // the enemy's on h6 is 7 steps from a8, ours on f3 5 steps (no further
    // own-king term on the seventh). Through the rook the whole path is safe
    // and defended.
    constexpr int w = 20;
    const int kings = w * (PassedEnemyKingWeight * 7 - PassedOwnKingWeight * 5);
    auto pos = position("8/P7/7k/8/8/5K2/8/R7 w - - 0 1");
    EXPECT_EQ(passedTerm(*pos, White),
              PassedBonus[6] + endGameOnly(kings) + (endGameOnly(PassedPathSafe) + PassedPathDefended) * w);

    // An enemy rook behind instead: the whole path is unsafe and nothing of
    // White's covers a8.
    auto enemy = position("8/P7/7k/8/8/5K2/8/r7 w - - 0 1");
    EXPECT_EQ(passedTerm(*enemy, White), PassedBonus[6] + endGameOnly(kings));
}

TEST(EvalPassed, FifthRankPawnFacingTheKing) {
    // e5 with Kd4 and Ke8: r = 4, w = 6, the square in front e6. Both kings
    // are two steps from e6, and the own king's distance counts once more as
    // the pawn is not on the seventh. The path holds e8 and e7 is covered by
    // the king, but e6 is not: only the step is safe; White covers no path
    // square.
    constexpr int w = 6;
    const int kings = w * (PassedEnemyKingWeight * 2 - PassedOwnKingWeight * 2) - w * 2;
    auto pos = position("4k3/8/8/4P3/3K4/8/8/8 w - - 0 1");
    const Delta d = passedTerm(*pos, White);
    EXPECT_EQ(d, PassedBonus[4] + endGameOnly(kings + PassedStepSafe * w));
    // The mirror image for Black scores the same.
    auto mirrored = position("8/8/8/3k4/4p3/8/8/4K3 b - - 0 1");
    EXPECT_EQ(passedTerm(*mirrored, Black), d);
}
