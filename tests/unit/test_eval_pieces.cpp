// Piece terms: which parts fire for which piece, checked against the named
// weights (the reference test holds the weights' values themselves; the
// piece-square sums are not part of these terms).
#include <gtest/gtest.h>

#include "eval/params.h"
#include "test_common.h"

using namespace evaltest;

namespace {

ScorePair mobility(int type, int safeSquares) { return Mobility[type - Knight][safeSquares]; }
ScorePair outpost(int type, const char* square) { return bothPhases(OutpostBonus[type - Knight][sq(square)]); }
ScorePair middleGameOnly(int mg) { return {mg, 0}; }
// What a bishop pays for own pawns on its colour and for the rams.
ScorePair bishopPawns(int onItsColour, int rams) {
    return -(BishopPawnPenalty * onItsColour + bothPhases(BishopRamPenalty[rams]));
}

}  // namespace

TEST(EvalPieces, DefendedKnightOutpost) {
    // Nd5 defended by c4, no Black pawn at all: eight safe squares and an
    // outpost worth half as much again for the pawn's support. f6 is in the
    // zone of the g8 king: one attacker, no square next to the king.
    auto pos = position("6k1/8/8/3N4/2P5/8/8/6K1 w - - 0 1");
    KingAttackTally tally{};
    const ScorePair base = outpost(Knight, "d5");
    EXPECT_EQ(pieceTerm(*pos, White, &tally), mobility(Knight, 8) + base + base / 2);
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, KingAttackWeight[Knight]);
    EXPECT_EQ(tally.kingAdjacentAttacks, 0);
}

TEST(EvalPieces, KnightHarassedByPawnEvenWhenDefended) {
    // Nd4, defended by e3, attacked by c5; and c5 can attack d4, so no
    // outpost. Eight safe squares.
    auto pos = position("6k1/8/8/2p5/3N4/4P3/8/6K1 w - - 0 1");
    EXPECT_EQ(pieceTerm(*pos, White), mobility(Knight, 8) - PawnHarass[Knight]);
}

TEST(EvalPieces, BishopPinnedNextToItsKing) {
    // Bd2 pinned by Bb4 against Ke1: the pin line holds no square, so no safe
    // square, passive and caught. An outpost on d2; no pawns and no rams.
    auto pos = position("7k/8/8/8/1b6/8/3B4/4K3 w - - 0 1");
    EXPECT_EQ(pieceTerm(*pos, White),
              mobility(Bishop, 0) + outpost(Bishop, "d2") + bishopPawns(0, 0) - MinorPassive - MinorCaught);
}

TEST(EvalPieces, PinnedBishopCountsOnlyTheSquaresTowardItsKing) {
    // Bc3 pinned by Qa5 against Ke1: of its diagonals only d2 remains, one
    // safe square, never b4 toward the pinner. An outpost on c3, no pawns,
    // passive; d2 is not attacked by Black, so not caught.
    auto pos = position("7k/8/8/q7/8/2B5/8/4K3 w - - 0 1");
    EXPECT_EQ(pieceTerm(*pos, White), mobility(Bishop, 1) + outpost(Bishop, "c3") + bishopPawns(0, 0) - MinorPassive);
}

TEST(EvalPieces, BishopBehindItsPawnsWithRams) {
    // Bf1 (light) with own pawns on the light squares d3 and e4, both rammed:
    // safe squares e2, g2, h3; e5 keeps it from being an outpost; no safe
    // square in the enemy half.
    auto pos = position("6k1/8/8/4p3/3pP3/3P4/8/5BK1 w - - 0 1");
    EXPECT_EQ(pieceTerm(*pos, White), mobility(Bishop, 3) + bishopPawns(2, 2) - MinorPassive);
}

TEST(EvalPieces, QueenMobilityIsCappedAtFifteen) {
    // Qd4 on an open board reaches 27 squares: the entry for 15. f6 is in the
    // zone of the h6 king; g7 is next to it.
    auto pos = position("8/8/7k/8/3Q4/8/8/7K w - - 0 1");
    KingAttackTally tally{};
    EXPECT_EQ(pieceTerm(*pos, White, &tally), mobility(Queen, MobilityCap));
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, KingAttackWeight[Queen]);
    EXPECT_EQ(tally.kingAdjacentAttacks, 1);
}

TEST(EvalPieces, RookOnOpenFileAndSeventh) {
    // Re7 against pawns a7, b7 and the king on h8: 13 safe squares, two pawns
    // on the board, an open file (counted as half-open and again as open),
    // two enemy pawns on its rank, and the king held on the eighth.
    auto pos = position("7k/pp2R3/8/8/8/8/8/6K1 w - - 0 1");
    KingAttackTally tally{};
    EXPECT_EQ(pieceTerm(*pos, White, &tally),
              mobility(Rook, 13) + middleGameOnly(RookPawnCount[2]) + RookFile * 2 + RookOnPawns * 2 + RookSeventh);
    EXPECT_EQ(tally.kingAttackersCount, 1);
    EXPECT_EQ(tally.kingAttackWeight, KingAttackWeight[Rook]);
    EXPECT_EQ(tally.kingAdjacentAttacks, 2);  // g7, h7
}

TEST(EvalPieces, TrappedRook) {
    // Rh1 behind h2 next to Kg1: one safe square (g1), three pawns on the
    // board, trapped with one square.
    auto corner = position("6k1/8/8/8/8/8/5PPP/6KR w - - 0 1");
    const ScorePair threePawns = middleGameOnly(RookPawnCount[3]);
    EXPECT_EQ(pieceTerm(*corner, White),
              mobility(Rook, 1) + threePawns + middleGameOnly(TrappedRookPerSquare * 1 - TrappedRookBase));

    // Rg1 beside Kf1, behind g2: h1 and f1 are safe; the rook's file is not
    // lower than the king's: trapped with two squares.
    auto beside = position("6k1/8/8/8/8/8/5PPP/5KR1 w - - 0 1");
    EXPECT_EQ(pieceTerm(*beside, White),
              mobility(Rook, 2) + threePawns + middleGameOnly(TrappedRookPerSquare * 2 - TrappedRookBase));

    // Without an own pawn on its file the rook is not trapped: Rh1 against a
    // Black pawn on h2 (which takes g1 away) has one safe square, h2, and a
    // half-open file.
    auto open = position("6k1/8/8/8/8/8/5PPp/6KR w - - 0 1");
    EXPECT_EQ(pieceTerm(*open, White), mobility(Rook, 1) + threePawns + RookFile);
}

TEST(EvalPieces, RookPawnCountExtremes) {
    // All sixteen pawns on the board. Ra1 behind a2 has b1, c1, d1 and the
    // king's e1 as safe squares; with four squares it is not trapped.
    auto full = position("4k3/pppppppp/8/8/8/8/PPPPPPPP/R3K3 w - - 0 1");
    EXPECT_EQ(pieceTerm(*full, White), mobility(Rook, 4) + middleGameOnly(RookPawnCount[16]));

    // No pawns at all: eleven safe squares and the open file.
    auto none = position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    EXPECT_EQ(pieceTerm(*none, White), mobility(Rook, 11) + middleGameOnly(RookPawnCount[0]) + RookFile * 2);
}

TEST(EvalPieces, TallyIsSetWhateverItHeld) {
    // The piece terms set the tally: what the record held before must not
    // show. Qd5 aims at the g8 king's zone (f5, f7) as one attacker; the b2
    // pawn adds nothing.
    auto pos = position("6k1/8/8/3Q4/8/8/1P6/6K1 w - - 0 1");
    AttackInfo ai;
    buildAttackInfo(*pos, ai);
    KingAttackTally fresh;
    KingAttackTally stale{.kingAttackWeight = 50, .kingAttackersCount = 7, .kingAdjacentAttacks = 9};
    EXPECT_EQ(evaluatePieces<White>(*pos, ai, fresh, 0), evaluatePieces<White>(*pos, ai, stale, 0));
    EXPECT_EQ(stale.kingAttackersCount, fresh.kingAttackersCount);
    EXPECT_EQ(stale.kingAttackWeight, fresh.kingAttackWeight);
    EXPECT_EQ(stale.kingAdjacentAttacks, fresh.kingAdjacentAttacks);
    EXPECT_EQ(fresh.kingAttackersCount, 1);
}
