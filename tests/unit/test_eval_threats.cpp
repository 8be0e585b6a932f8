// Threats: which parts fire, checked against the named weights (the
// reference test holds the weights' values themselves).
#include <gtest/gtest.h>

#include "eval/params.h"
#include "test_common.h"

using namespace evaltest;

TEST(EvalThreats, KnightAttackedByPawn) {
    // e4 attacks Nd5, which Rd8 defends: weak but not hanging.
    auto defended = position("3r2k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1");
    EXPECT_EQ(threatTerm(*defended, White), MinorThreat[1]);
    // Without the rook nothing defends it: also hanging.
    auto alone = position("6k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1");
    EXPECT_EQ(threatTerm(*alone, White), MinorThreat[1] + Hanging);
}

TEST(EvalThreats, VictimClassComesFromTheWholeSet) {
    // Weak: Nd5 (hit by e4, defended by Bb7) and Bb7 (hit by Rb1, hanging).
    // The class is the knight's (1) for both groups, although the rook hits
    // the bishop.
    auto pos = position("6k1/1b6/8/3n4/4P3/8/8/1R4K1 w - - 0 1");
    EXPECT_EQ(threatTerm(*pos, White), MinorThreat[1] + MajorThreat[1] + Hanging);
}

TEST(EvalThreats, KingAttackAndQueenChase) {
    // h2 is weak (hit by Ra2 and Kg1) and hanging, a pawn (class 0) the king
    // attacks. The rook attacks d2 and a5, squares on the lines of the lone
    // Qd5 that it attacks: two chase squares.
    auto pos = position("6k1/8/8/3q4/8/8/R6p/6K1 w - - 0 1");
    const ScorePair base = MajorThreat[0] + Hanging + KingThreat;
    EXPECT_EQ(threatTerm(*pos, White), base + QueenChase * 2);
    // With a second Black queen the chase is not scored.
    auto twoQueens = position("2q3k1/8/8/3q4/8/8/R6p/6K1 w - - 0 1");
    EXPECT_EQ(threatTerm(*twoQueens, White), base);
}

TEST(EvalThreats, PawnDefendedUnitsAreNotWeak) {
    // Nd5 is attacked by e4 but defended by c6: no threat at all.
    auto pos = position("6k1/8/2p5/3n4/4P3/8/8/6K1 w - - 0 1");
    EXPECT_EQ(threatTerm(*pos, White), ScorePair{});
}
