#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <string>

#include "board/tables.h"
#include "test_common.h"

namespace {

// Reference slider attacks by walking the board square by square.
Bitboard walkAttacks(int type, Square s, Bitboard occ) {
    static const int Diagonal[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    static const int Straight[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    Bitboard attacks = 0;
    for (int pass = 0; pass < 2; pass++) {
        if ((pass == 0 && type == Rook) || (pass == 1 && type == Bishop)) continue;
        const int(*dirs)[2] = pass == 0 ? Diagonal : Straight;
        for (int d = 0; d < 4; d++) {
            int f = fileOf(s) + dirs[d][0], r = rankOf(s) + dirs[d][1];
            for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
                attacks |= squareBB(makeSquare(f, r));
                if (occ & squareBB(makeSquare(f, r))) break;
            }
        }
    }
    return attacks;
}

class Tables : public ::testing::Test {
protected:
    void SetUp() override { initTestTables(); }
};

}  // namespace

TEST_F(Tables, SquareNumberingIsFileMajor) {
    EXPECT_EQ(sq("a1"), 0);
    EXPECT_EQ(sq("a2"), 1);
    EXPECT_EQ(sq("b1"), 8);
    EXPECT_EQ(sq("e1"), 32);
    EXPECT_EQ(sq("h8"), 63);
    EXPECT_EQ(FileMask[0], 0xFFULL);
    EXPECT_EQ(RelativeRankMask[White][0], 0x0101010101010101ULL);
    EXPECT_EQ(RelativeRankMask[Black][0], 0x0101010101010101ULL << 7);
}

TEST_F(Tables, LinesBetweenAndBeyond) {
    EXPECT_EQ(Between[sq("a1")][sq("h8")], squares({"b2", "c3", "d4", "e5", "f6", "g7"}));
    EXPECT_EQ(Between[sq("a1")][sq("b3")], 0u);
    EXPECT_EQ(Beyond[sq("a1")][sq("c3")], squares({"d4", "e5", "f6", "g7", "h8"}));
    EXPECT_EQ(Beyond[sq("c3")][sq("a1")], 0u);
    EXPECT_EQ(Between[sq("e1")][sq("e8")], squares({"e2", "e3", "e4", "e5", "e6", "e7"}));
    EXPECT_EQ(Beyond[sq("h1")][sq("g1")], squares({"f1", "e1", "d1", "c1", "b1", "a1"}));
    EXPECT_EQ(RayThrough[sq("b1")][sq("d3")], squares({"c2", "e4", "f5", "g6", "h7"}));
    // A step that crosses the board edge must not wrap to the next file.
    EXPECT_EQ(Between[sq("a8")][sq("b1")], 0u);
    EXPECT_EQ(Beyond[sq("a7")][sq("a8")], 0u);
    for (Square i = 0; i < 64; i++) {
        EXPECT_EQ(Between[i][i], 0u);
        EXPECT_EQ(Beyond[i][i], 0u);
        for (Square j = 0; j < 64; j++) {
            EXPECT_EQ(Between[i][j], Between[j][i]);
            EXPECT_EQ(RayThrough[i][j], Between[i][j] | Beyond[i][j]);
            bool aligned = (PseudoAttacks[Queen][i] >> j) & 1;
            if (aligned) {
                EXPECT_EQ(popCount(Between[i][j]), Distance[i][j] - 1);
            } else {
                EXPECT_EQ(Beyond[i][j], 0u);
            }
        }
    }
}

TEST_F(Tables, Distances) {
    EXPECT_EQ(Distance[sq("a1")][sq("h8")], 7);
    EXPECT_EQ(Distance[sq("e4")][sq("e4")], 0);
    EXPECT_EQ(Distance[sq("b1")][sq("c7")], 6);
    EXPECT_EQ(DistanceRing[sq("a1")][1], squares({"a2", "b1", "b2"}));
    EXPECT_EQ(DistanceRing[sq("e4")][0], 0u);
    for (Square s = 0; s < 64; s++) {
        Bitboard all = 0;
        for (int d = 1; d < 8; d++) all |= DistanceRing[s][d];
        EXPECT_EQ(all, ~squareBB(s));
        EXPECT_EQ(DistanceRing[s][1], PseudoAttacks[King][s]);
    }
}

TEST_F(Tables, KingZone) {
    EXPECT_EQ(KingZone[White][sq("e1")], squares({"d1", "f1", "d2", "e2", "f2", "d3", "e3", "f3"}));
    EXPECT_EQ(KingZone[White][sq("e7")], PseudoAttacks[King][sq("e7")]);
    EXPECT_EQ(KingZone[Black][sq("e8")], squares({"d8", "f8", "d7", "e7", "f7", "d6", "e6", "f6"}));
    EXPECT_EQ(KingZone[Black][sq("g2")], PseudoAttacks[King][sq("g2")]);
    EXPECT_EQ(KingZone[White][sq("h1")], squares({"g1", "g2", "h2", "g3", "h3"}));
}

TEST_F(Tables, PawnTables) {
    EXPECT_EQ(PawnPushes[White][sq("e2")], squares({"e3", "e4"}));
    EXPECT_EQ(PawnPushes[Black][sq("e7")], squares({"e6", "e5"}));
    EXPECT_EQ(PawnPushes[White][sq("e3")], squares({"e4"}));
    EXPECT_EQ(PawnPushes[White][sq("a8")], 0u);
    EXPECT_EQ(PawnPushes[Black][sq("b1")], 0u);
    EXPECT_EQ(PawnAttacks[White][sq("a2")], squares({"b3"}));
    EXPECT_EQ(PawnAttacks[Black][sq("e5")], squares({"d4", "f4"}));
    EXPECT_EQ(PawnAttacks[White][sq("h8")], 0u);
    EXPECT_EQ(PawnAttacks[White][sq("e1")], squares({"d2", "f2"}));

    EXPECT_EQ(ForwardFile[White][sq("e5")], squares({"e6", "e7", "e8"}));
    EXPECT_EQ(ForwardFile[Black][sq("e5")], squares({"e4", "e3", "e2", "e1"}));
    EXPECT_EQ(PawnAttackSpan[White][sq("a6")], squares({"b7", "b8"}));
    EXPECT_EQ(PassedPawnMask[Black][sq("h3")], squares({"g2", "g1", "h2", "h1"}));
    EXPECT_EQ(PawnSupportMask[White][sq("e4")], squares({"d3", "d4", "f3", "f4"}));
    EXPECT_EQ(PawnSupportMask[Black][sq("a5")], squares({"b5", "b6"}));
    EXPECT_EQ(PawnSupportMask[White][sq("e1")], squares({"d1", "f1"}));
    EXPECT_EQ(ForwardRanksMask[Black][0], ~RelativeRankMask[White][7]);
    EXPECT_EQ(AdjacentFilesMask[0], FileMask[1]);
    EXPECT_EQ(AdjacentFilesMask[7], FileMask[6]);
}

TEST_F(Tables, PieceAttacks) {
    EXPECT_EQ(attacksFrom(Rook, sq("a1"), squares({"a4", "c1"})), squares({"a2", "a3", "a4", "b1", "c1"}));
    EXPECT_EQ(BlockerMask[Rook][sq("a1")],
              squares({"a2", "a3", "a4", "a5", "a6", "a7", "b1", "c1", "d1", "e1", "f1", "g1"}));
    EXPECT_EQ(PseudoAttacks[Knight][sq("a1")], squares({"b3", "c2"}));
    EXPECT_EQ(PseudoAttacks[Knight][sq("h8")], squares({"g6", "f7"}));
    EXPECT_EQ(popCount(PseudoAttacks[Queen][sq("d4")]), 27);
    EXPECT_EQ(popCount(PseudoAttacks[Bishop][sq("a1")]), 7);
    for (Square s = 0; s < 64; s++) {
        EXPECT_EQ(BlockerMask[Knight][s], 0u);
        EXPECT_EQ(BlockerMask[King][s], 0u);
        EXPECT_EQ(PseudoAttacks[Pawn][s], 0u);
        EXPECT_EQ(popCount(PseudoAttacks[Rook][s]), 14);
        for (int t = Knight; t <= King; t++) EXPECT_EQ(PseudoAttacksBySquare[s][t], PseudoAttacks[t][s]);
    }
    // Table-driven slider attacks must match a plain board walk for any occupancy.
    std::mt19937_64 rng(12345);
    for (int trial = 0; trial < 2000; trial++) {
        Bitboard occ = rng() & rng();
        Square s = int(rng() % 64);
        for (int t = Bishop; t <= Queen; t++) ASSERT_EQ(attacksFrom(t, s, occ), walkAttacks(t, s, occ));
    }
}

TEST_F(Tables, Castling) {
    const int32_t queenside8[4] = {sq("e8"), sq("c8"), sq("a8"), sq("d8")};
    for (int k = 0; k < 4; k++) EXPECT_EQ(CastleInfo[3][k], queenside8[k]);
    const int32_t expected[4][4] = {{32, 48, 56, 40}, {32, 16, 0, 24}, {39, 55, 63, 47}, {39, 23, 7, 31}};
    for (int r = 0; r < 4; r++)
        for (int k = 0; k < 4; k++) EXPECT_EQ(CastleInfo[r][k], expected[r][k]);
    EXPECT_EQ(CastleMask[sq("e1")], 3);
    EXPECT_EQ(CastleMask[sq("h1")], 1);
    EXPECT_EQ(CastleMask[sq("a1")], 2);
    EXPECT_EQ(CastleMask[sq("e8")], 12);
    EXPECT_EQ(CastleMask[sq("h8")], 4);
    EXPECT_EQ(CastleMask[sq("a8")], 8);
    EXPECT_EQ(CastleMask[sq("d1")], 0);
}

TEST_F(Tables, ZobristKeys) {
    EXPECT_EQ(ZobristPiece[White][Pawn][0], 0x3a8b62bdf821159fULL);
    EXPECT_EQ(ZobristPiece[Black][Pawn][0], 0x5976964636a5bab1ULL);
    EXPECT_EQ(zobristEp(0), 0xdd5da4a13ffc75d2ULL);
    EXPECT_EQ(ZobristCastle[0], 0xd05ca25e6dc12045ULL);
    EXPECT_EQ(ZobristCastle[15], 0x3ae20ed47d19e3dcULL);
    EXPECT_EQ(ZobristSide, 0x65e2421213ad1aecULL);
    EXPECT_EQ(zobristEp(NoSquare), 0u);
}
