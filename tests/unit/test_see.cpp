#include <gtest/gtest.h>

#include <string>

#include "board/see.h"
#include "test_common.h"

namespace {

// The exchange value of the move from-to for the side to move, with the
// move code built from the board.
int seeOf(const Position& pos, const char* from, const char* to, int promotion = NoPiece) {
    const int captured = pos.board[sq(to)] != NoPiece                              ? pos.board[sq(to)]
                         : (pos.board[sq(from)] == Pawn && sq(to) == pos.epSquare) ? Pawn
                                                                                   : NoPiece;
    const Move m = makeMoveCode(sq(from), sq(to), pos.board[sq(from)], captured, promotion);
    return see(m, pos, pos.sideToMove, pos.occupied);
}

int seeFastOf(const Position& pos, const char* from, const char* to) {
    const Move m = makeMoveCode(sq(from), sq(to), pos.board[sq(from)], pos.board[sq(to)], NoPiece);
    return seeFast(m, pos, pos.sideToMove, pos.occupied);
}

}  // namespace

TEST(See, SimpleExchanges) {
    // A pawn takes an undefended knight.
    Position& pos = positionOf("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(seeOf(pos, "e4", "d5"), 820);
    EXPECT_EQ(seeFastOf(pos, "e4", "d5"), 1);
    // The same for Black.
    setFromFen("4k3/8/8/4p3/3N4/8/8/4K3 b - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "e5", "d4"), 820);
    // A rook takes a pawn defended by a pawn: 200 - 1300.
    setFromFen("4k3/8/2p5/3p4/8/8/8/3RK3 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "d1", "d5"), -1100);
    EXPECT_EQ(seeFastOf(pos, "d1", "d5"), -1100);
    // A queen steps onto a square that a pawn guards, or one nobody guards.
    setFromFen("4k3/8/8/3p4/8/8/8/2Q1K3 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "c1", "c4"), -2521);
    EXPECT_EQ(seeOf(pos, "c1", "c2"), 0);
    EXPECT_EQ(seeFastOf(pos, "c1", "c2"), 0);
}

TEST(See, DefenderMayStop) {
    // Knight takes a pawn defended by a pawn: the pawn recaptures, White stops.
    Position& pos = positionOf("4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1");
    EXPECT_EQ(seeOf(pos, "e3", "d5"), 200 - 820);
    // With a second attacker the exchange goes on: N takes P, P takes N, R
    // takes P: 200 - 820 + 200, and Black does not recapture with nothing.
    setFromFen("4k3/8/2p5/3p4/8/4N3/8/3RK3 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "e3", "d5"), 200 - 820 + 200);
}

TEST(See, XRays) {
    // Doubled rooks against one defender: the rear rook joins once the front
    // one is used. Without it the result would be 820 - 1300.
    Position& pos = positionOf("4r1k1/8/4n3/8/8/8/4R3/4R1K1 w - - 0 1");
    EXPECT_EQ(seeOf(pos, "e2", "e6"), 820);
    // A queen behind a bishop on the diagonal.
    setFromFen("6k1/8/5p2/4p3/8/8/1B6/Q5K1 w - - 0 1", pos);
    // B takes P e5, P f6 takes B, Q takes P: 200 - 840 + 200.
    EXPECT_EQ(seeOf(pos, "b2", "e5"), 200 - 840 + 200);
}

TEST(See, Promotions) {
    // Pawn takes a rook and promotes: captured value plus 2321 (or plus 620
    // for a knight), then the knight on b6 recaptures.
    Position& pos = positionOf("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(seeOf(pos, "b7", "a8", Queen), 1300 + 2321);
    EXPECT_EQ(seeOf(pos, "b7", "a8", Knight), 1300 + 620);
    EXPECT_EQ(seeOf(pos, "b7", "b8", Queen), 2321 - 2521);  // the a8 rook takes the new queen
    setFromFen("r3k3/1P6/1n6/8/8/8/8/4K3 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "b7", "a8", Queen), 1300 + 2321 - 2521);
    EXPECT_EQ(seeOf(pos, "b7", "a8", Knight), 1300 + 620 - 820);
    EXPECT_EQ(seeFastOf(pos, "b7", "a8"), 1);
    // A pawn recapturing on the last rank becomes a queen: R takes N, B takes
    // R, P takes B and promotes, and Black has nothing left.
    setFromFen("1n6/P7/3b2k1/8/8/8/8/KR6 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "b1", "b8"), 820);
}

TEST(See, KingCaptureEndsTheExchange) {
    // Queen takes a pawn that only the king defends, with a rook behind the
    // queen: the king may not recapture.
    Position& pos = positionOf("4k3/3p4/8/8/8/3Q4/8/3RK3 w - - 0 1");
    EXPECT_EQ(seeOf(pos, "d3", "d7"), 200);
    setFromFen("4k3/3p4/8/8/8/3Q4/8/4K3 w - - 0 1", pos);
    EXPECT_EQ(seeOf(pos, "d3", "d7"), 200 - 2521);
    // Taking the king itself is worth 32000 at once.
    setFromFen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", pos);
    EXPECT_EQ(seeRecapture(pos, pos.occupied, White, sq("a8"), King), 32000);
}

TEST(See, EnPassant) {
    // The captured pawn counts 200 and its square opens the file: the d1 rook
    // recaptures through d5. Without the opening the result would be 0.
    Position& pos = positionOf("3rk3/8/8/3pP3/8/8/8/3RK3 w - d6 0 1");
    ASSERT_EQ(pos.epSquare, sq("d6"));
    EXPECT_EQ(seeOf(pos, "e5", "d6"), 200);
}
