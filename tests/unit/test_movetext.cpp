#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/makemove.h"
#include "board/movetext.h"
#include "test_common.h"

namespace {

bool sameBoard(const Position& a, const Position& b) {
    return a.key == b.key && a.historyLength == b.historyLength && a.castleRights == b.castleRights &&
           a.epSquare == b.epSquare && a.sideToMove == b.sideToMove &&
           std::memcmp(a.board, b.board, sizeof a.board) == 0;
}

}  // namespace

TEST(MoveText, SquaresAndMoves) {
    EXPECT_EQ(squareToText(0), "a1");
    EXPECT_EQ(squareToText(7), "a8");
    EXPECT_EQ(squareToText(8), "b1");
    EXPECT_EQ(squareToText(63), "h8");
    EXPECT_EQ(moveToText(makeMoveCode(sq("g7"), sq("f8"), Pawn, Rook, Knight)), "g7f8N");
    EXPECT_EQ(moveToText(makeMoveCode(sq("e7"), sq("e8"), Pawn, NoPiece, Queen)), "e7e8Q");
    EXPECT_EQ(moveToText(makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece)), "e1g1");
    EXPECT_EQ(moveToText(makeMoveCode(sq("e2"), sq("e4"), Pawn, NoPiece, NoPiece)), "e2e4");
}

TEST(MoveText, GameWithCastling) {
    Position& pos = positionOf(StartFen);
    for (const char* word : {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "e1g1"})
        ASSERT_TRUE(moveFromText(word, pos)) << word;
    EXPECT_EQ(pos.board[sq("g1")], King);
    EXPECT_EQ(pos.board[sq("f1")], Rook);
    EXPECT_EQ(pos.board[sq("h1")], NoPiece);
    EXPECT_EQ(pos.board[sq("e1")], NoPiece);
    EXPECT_EQ(pos.castleRights, BlackKingside | BlackQueenside);
    EXPECT_EQ(pos.sideToMove, Black);
    EXPECT_EQ(pos.historyLength, 7);
}

TEST(MoveText, EnPassant) {
    Position& pos = positionOf(StartFen);
    for (const char* word : {"e2e4", "a7a6", "e4e5", "d7d5"}) ASSERT_TRUE(moveFromText(word, pos)) << word;
    ASSERT_EQ(pos.epSquare, sq("d6"));
    ASSERT_TRUE(moveFromText("e5d6", pos));
    EXPECT_EQ(pos.board[sq("d5")], NoPiece);
    EXPECT_EQ(pos.board[sq("d6")], Pawn);
    EXPECT_EQ(pos.pieceCount[Black][Pawn], 7);
    EXPECT_EQ(moveCaptured(pos.history[pos.historyLength - 1].move), Pawn);
}

TEST(MoveText, PromotionLetterInEitherCase) {
    Position& pos = positionOf("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    ASSERT_TRUE(moveFromText("a7a8q", pos));
    const Move lower = pos.history[0].move;
    EXPECT_EQ(pos.board[sq("a8")], Queen);
    setFromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", pos);
    ASSERT_TRUE(moveFromText("a7a8Q", pos));
    EXPECT_EQ(pos.history[0].move, lower);
    EXPECT_EQ(moveToText(lower), "a7a8Q");
    for (const char* word : {"a7a8n", "a7a8B", "a7a8r"}) {
        setFromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", pos);
        EXPECT_TRUE(moveFromText(word, pos)) << word;
    }
    EXPECT_EQ(pos.board[sq("a8")], Rook);
    // Only the fifth character is read as the promotion letter.
    setFromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", pos);
    EXPECT_TRUE(moveFromText("a7a8qq", pos));
    EXPECT_EQ(pos.history[0].move, lower);
}

TEST(MoveText, OnlyLegalMovesArePlayed) {
    Position& pos = positionOf(StartFen);
    static Position before;
    before = pos;
    const char* const rejected[] = {
        "0000",    // the null move
        "e2e5",    // not a pawn move
        "e1e2",    // onto an own piece
        "e7e5",    // the opponent's pawn
        "e3e4",    // no piece there
        "e2e4q",   // a promotion letter on a move that does not promote
        "e2e4x",   // junk after the move
        "e2e4qq",  // the same promotion letter, more besides
        "i2i4",   "e0e1", "e2e9", "E2E4", "e2e", "e2", "e", "",
    };
    for (const char* word : rejected) {
        EXPECT_FALSE(moveFromText(word, pos)) << word;
        EXPECT_TRUE(sameBoard(pos, before)) << word;
    }
    EXPECT_FALSE(moveFromText(std::string("e2\0e4", 5), pos));
    EXPECT_TRUE(sameBoard(pos, before));

    // A pawn on the seventh rank must name its promotion piece, and only N, B, R, Q.
    setFromFen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", pos);
    before = pos;
    for (const char* word : {"a7a8", "a7a8K", "a7a8k", "a7a8P", "a7a8?", "a7a8x"}) {
        EXPECT_FALSE(moveFromText(word, pos)) << word;
        EXPECT_TRUE(sameBoard(pos, before)) << word;
    }

    // Castling through an attacked square, a pinned piece, a king step into check.
    setFromFen("4k3/8/8/8/1bb5/8/3N4/R3K2R w KQ - 0 1", pos);
    before = pos;
    for (const char* word : {"e1g1", "e1f1", "d2f3"}) {
        EXPECT_FALSE(moveFromText(word, pos)) << word;
        EXPECT_TRUE(sameBoard(pos, before)) << word;
    }
    EXPECT_TRUE(moveFromText("e1c1", pos));
    EXPECT_EQ(pos.board[sq("d1")], Rook);
}
