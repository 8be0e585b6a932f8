// Passed pawns and threats, worked out by hand.
#include <gtest/gtest.h>

#include "test_eval_util.h"

using namespace evaltest;

TEST(EvalPassed, LowPassersGetOnlyTheTableAndConnection) {
    // c3 and d3, connected passers on rank 3: 42 / 17 each, plus 16 * (2 - 1)
    // in the end game for the neighbour; w = 0, so no king or path terms.
    auto pos = position("4k3/8/8/8/8/2PP4/8/4K3 w - - 0 1");
    const Delta d = passedTerm(*pos, White);
    EXPECT_EQ(d.mg, 2 * 42);
    EXPECT_EQ(d.eg, 2 * (17 + 16));
    // On rank 2 the connection is worth nothing.
    auto second = position("4k3/8/8/8/8/8/2PP4/4K3 w - - 0 1");
    const Delta s = passedTerm(*second, White);
    EXPECT_EQ(s.mg, 2 * 22);
    EXPECT_EQ(s.eg, 2 * 21);
}

TEST(EvalPassed, SeventhRankPawnWithRookBehind) {
    // a7 with Ra1 behind it, a8 free and uncontrolled: r = 6, w = 20.
    // Kings: 20 * (6 * d(a8, h6) - 3 * d(a8, f3)) = 20 * (42 - 15) = 540.
    // k = 26 + 15 = 41, c = 7.
    auto pos = position("8/P7/7k/8/8/5K2/8/R7 w - - 0 1");
    Delta d = passedTerm(*pos, White);
    EXPECT_EQ(d.mg, 363 + 7 * 20);
    EXPECT_EQ(d.eg, 393 + 540 + 41 * 20);

    // An enemy rook behind instead: the whole path is unsafe (k = 0) and
    // nothing of White's covers a8 (c = 0).
    auto enemy = position("8/P7/7k/8/8/5K2/8/r7 w - - 0 1");
    d = passedTerm(*enemy, White);
    EXPECT_EQ(d.mg, 363);
    EXPECT_EQ(d.eg, 393 + 540);
}

TEST(EvalPassed, FifthRankPawnFacingTheKing) {
    // e5 with Kd4 and Ke8: w = 6, F = e6. Kings: 6 * (6 * 2 - 3 * 2) = 36,
    // and -6 * 2 as the pawn is not on the seventh. The path holds e8 and e7
    // is covered by the king, but e6 is not: k = 10; White covers no path
    // square: c = 0.
    auto pos = position("4k3/8/8/4P3/3K4/8/8/8 w - - 0 1");
    const Delta d = passedTerm(*pos, White);
    EXPECT_EQ(d.mg, 100);
    EXPECT_EQ(d.eg, 99 + 36 - 12 + 10 * 6);
    // The mirror image for Black scores the same.
    auto mirrored = position("8/8/8/3k4/4p3/8/8/4K3 b - - 0 1");
    const Delta m = passedTerm(*mirrored, Black);
    EXPECT_EQ(m.mg, d.mg);
    EXPECT_EQ(m.eg, d.eg);
}

TEST(EvalThreats, KnightAttackedByPawn) {
    // e4 attacks Nd5, which Rd8 defends: weak but not hanging, MinorThreat[1].
    auto defended = position("3r2k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1");
    Delta d = threatTerm(*defended, White);
    EXPECT_EQ(d.mg, 35);
    EXPECT_EQ(d.eg, 39);
    // Without the rook nothing defends it: also hanging (+33 / +44).
    auto alone = position("6k1/8/8/3n4/4P3/8/8/6K1 w - - 0 1");
    d = threatTerm(*alone, White);
    EXPECT_EQ(d.mg, 35 + 33);
    EXPECT_EQ(d.eg, 39 + 44);
}

TEST(EvalThreats, VictimClassComesFromTheWholeSet) {
    // Weak: Nd5 (hit by e4, defended by Bb7) and Bb7 (hit by Rb1, hanging).
    // The class is the knight's (1) for both groups, although the rook hits
    // the bishop: MinorThreat[1] + MajorThreat[1] + one hanging unit.
    auto pos = position("6k1/1b6/8/3n4/4P3/8/8/1R4K1 w - - 0 1");
    const Delta d = threatTerm(*pos, White);
    EXPECT_EQ(d.mg, 35 + 41 + 33);
    EXPECT_EQ(d.eg, 39 + 56 + 44);
}

TEST(EvalThreats, KingAttackAndQueenChase) {
    // h2 is weak (hit by Ra2 and Kg1) and hanging: MajorThreat[0] (-7 / 32),
    // hanging (33 / 44), king attack on a pawn (214 / 67). The rook attacks
    // d2 and a5, squares on the lines of the lone Qd5 that it attacks: 2 * 40
    // and 2 * 20.
    auto pos = position("6k1/8/8/3q4/8/8/R6p/6K1 w - - 0 1");
    Delta d = threatTerm(*pos, White);
    EXPECT_EQ(d.mg, -7 + 33 + 214 + 80);
    EXPECT_EQ(d.eg, 32 + 44 + 67 + 40);
    // With a second Black queen the chase is not scored.
    auto twoQueens = position("2q3k1/8/8/3q4/8/8/R6p/6K1 w - - 0 1");
    d = threatTerm(*twoQueens, White);
    EXPECT_EQ(d.mg, -7 + 33 + 214);
    EXPECT_EQ(d.eg, 32 + 44 + 67);
}

TEST(EvalThreats, PawnDefendedUnitsAreNotWeak) {
    // Nd5 is attacked by e4 but defended by c6: no threat at all.
    auto pos = position("6k1/8/2p5/3n4/4P3/8/8/6K1 w - - 0 1");
    const Delta d = threatTerm(*pos, White);
    EXPECT_EQ(d.mg, 0);
    EXPECT_EQ(d.eg, 0);
}
