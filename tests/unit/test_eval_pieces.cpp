// Piece terms, worked out by hand (piece-square sums left out).
#include <gtest/gtest.h>

#include "test_eval_util.h"

using namespace evaltest;

TEST(EvalPieces, DefendedKnightOutpost) {
    // Nd5 defended by c4, no Black pawn at all. Eight safe squares (40 / 26);
    // outpost 37 + 18 = 55 in both phases. f6 is in the zone of the g8 king:
    // one attacker of weight 2, no square next to the king.
    auto pos = position("6k1/8/8/3N4/2P5/8/8/6K1 w - - 0 1");
    KingAttackTally tally{};
    const Delta d = pieceTerm(*pos, White, &tally);
    EXPECT_EQ(d.mg, 40 + 55);
    EXPECT_EQ(d.eg, 26 + 55);
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, 2);
    EXPECT_EQ(tally.kingAdjacentAttacks, 0);
}

TEST(EvalPieces, KnightHarassedByPawnEvenWhenDefended) {
    // Nd4, defended by e3, attacked by c5: -63 / -77, and c5 can attack d4,
    // so no outpost. Eight safe squares (40 / 26).
    auto pos = position("6k1/8/8/2p5/3N4/4P3/8/6K1 w - - 0 1");
    const Delta d = pieceTerm(*pos, White);
    EXPECT_EQ(d.mg, 40 - 63);
    EXPECT_EQ(d.eg, 26 - 77);
}

TEST(EvalPieces, BishopPinnedNextToItsKing) {
    // Bd2 pinned by Bb4 against Ke1: the pin line holds no square, so no safe
    // square (-26 / -50), passive (-15 / -10) and caught (-20 / -60). Outpost
    // d2 = 8; no pawns and no rams: -(0 + (-15)) = +15 in both phases.
    auto pos = position("7k/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
    const Delta d = pieceTerm(*pos, White);
    EXPECT_EQ(d.mg, -26 + 8 + 15 - 15 - 20);
    EXPECT_EQ(d.eg, -50 + 8 + 15 - 10 - 60);
}

TEST(EvalPieces, PinnedBishopCountsOnlyTheSquaresTowardItsKing) {
    // Bc3 pinned by Qa5 against Ke1: of its diagonals only d2 remains, one
    // safe square (-3 / -22), never b4 toward the pinner. Outpost c3 = 18,
    // +15 for no pawns, passive (-15 / -10); d2 is not attacked by Black.
    auto pos = position("7k/8/8/q7/8/2B5/8/4K3 w - - 0 1");
    const Delta d = pieceTerm(*pos, White);
    EXPECT_EQ(d.mg, -3 + 18 + 15 - 15);
    EXPECT_EQ(d.eg, -22 + 18 + 15 - 10);
}

TEST(EvalPieces, BishopBehindItsPawnsWithRams) {
    // Bf1 (light) with own pawns on the light squares d3 and e4, both rammed:
    // safe squares e2, g2, h3 (25 / 8); -(11 * 2 + 4) and -(14 * 2 + 4);
    // e5 keeps it from being an outpost; no safe square in the enemy half.
    auto pos = position("6k1/8/8/4p3/3pP3/3P4/8/5BK1 w - - 0 1");
    const Delta d = pieceTerm(*pos, White);
    EXPECT_EQ(d.mg, 25 - 26 - 15);
    EXPECT_EQ(d.eg, 8 - 32 - 10);
}

TEST(EvalPieces, QueenMobilityIsCappedAtFifteen) {
    // Qd4 on an open board reaches 27 squares: the entry for 15 (24 / 279).
    // f6 is in the zone of the h6 king; g7 is next to it.
    auto pos = position("8/8/7k/8/3Q4/8/8/7K w - - 0 1");
    KingAttackTally tally{};
    const Delta d = pieceTerm(*pos, White, &tally);
    EXPECT_EQ(d.mg, 24);
    EXPECT_EQ(d.eg, 279);
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, 5);
    EXPECT_EQ(tally.kingAdjacentAttacks, 1);
}

TEST(EvalPieces, RookOnOpenFileAndSeventh) {
    // Re7 against pawns a7, b7 and the king on h8: 13 safe squares
    // (32 / 144), two pawns on the board (-5), open file (58 / 16), two
    // enemy pawns on its rank (42 / 52), king held on the eighth (12 / 40).
    auto pos = position("7k/pp2R3/8/8/8/8/8/6K1 w - - 0 1");
    KingAttackTally tally{};
    const Delta d = pieceTerm(*pos, White, &tally);
    EXPECT_EQ(d.mg, 32 - 5 + 58 + 42 + 12);
    EXPECT_EQ(d.eg, 144 + 16 + 52 + 40);
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, 4);
    EXPECT_EQ(tally.kingAdjacentAttacks, 2);  // g7, h7
}

TEST(EvalPieces, TrappedRook) {
    // Rh1 behind h2 next to Kg1: one safe square (g1) (-8 / -29), three pawns
    // on the board (-10), trapped 8 * 1 - 90.
    auto corner = position("6k1/8/8/8/8/8/5PPP/6KR w - - 0 1");
    Delta d = pieceTerm(*corner, White);
    EXPECT_EQ(d.mg, -8 - 10 + 8 - 90);
    EXPECT_EQ(d.eg, -29);

    // Rg1 beside Kf1, behind g2: h1 and f1 are safe (-1 / -11); the rook's
    // file is not lower than the king's: trapped 8 * 2 - 90.
    auto beside = position("6k1/8/8/8/8/8/5PPP/5KR1 w - - 0 1");
    d = pieceTerm(*beside, White);
    EXPECT_EQ(d.mg, -1 - 10 + 16 - 90);
    EXPECT_EQ(d.eg, -11);

    // Without an own pawn on its file the rook is not trapped: Rh1 against a
    // Black pawn on h2 (which takes g1 away) has one safe square, h2, and a
    // half-open file (+29 / +8).
    auto open = position("6k1/8/8/8/8/8/5PPp/6KR w - - 0 1");
    d = pieceTerm(*open, White);
    EXPECT_EQ(d.mg, -8 - 10 + 29);
    EXPECT_EQ(d.eg, -29 + 8);
}

TEST(EvalPieces, RookPawnCountExtremes) {
    // All sixteen pawns on the board: -127 in the middle game. Ra1 behind a2
    // has b1, c1, d1 and the king's e1 as safe squares (9 / 22); with four
    // squares it is not trapped.
    auto full = position("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - - 0 1");
    Delta d = pieceTerm(*full, White);
    EXPECT_EQ(d.mg, 9 - 127);
    EXPECT_EQ(d.eg, 22);

    // No pawns at all: -1. Eleven safe squares (29 / 120) and the open file
    // (58 / 16).
    auto none = position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    d = pieceTerm(*none, White);
    EXPECT_EQ(d.mg, 29 - 1 + 58);
    EXPECT_EQ(d.eg, 120 + 16);
}
