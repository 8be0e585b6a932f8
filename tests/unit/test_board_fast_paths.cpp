// The board's hot paths against plain formulations of the same questions,
// over every pseudo-legal move (legal or not) of the perft positions and of
// random games played from them: the gives-check test, making and unmaking,
// the keys a move leads to, and exchange evaluation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/see.h"
#include "board/tables.h"
#include "test_common.h"

namespace {

// The gives-check test written the plain way: every move that changes more
// than one square is played; otherwise a direct check on the occupancy
// before the move, then a discovered one by any slider behind the mover.
bool plainGivesCheck(Move m, Position& pos) {
    const int us = pos.sideToMove, them = us ^ 1;
    const int piece = movePiece(m);
    const Square from = moveFrom(m), to = moveTo(m);
    const Square k = pos.kingSquare[them];
    if (isPromotion(m) || (piece == Pawn && to == pos.epSquare) || (piece == King && Distance[from][to] == 2)) {
        makeMove(pos, m);
        const bool check = isSquareAttacked(k, us, pos);
        unmakeMove(pos);
        return check;
    }
    if (piece == Pawn) {
        if (PawnAttacks[us][to] & squareBB(k)) return true;
    } else if ((PseudoAttacks[piece][to] & squareBB(k)) && !(Between[to][k] & pos.occupied)) {
        return true;
    }
    if (!(PseudoAttacks[Queen][k] & squareBB(from)) || (RayThrough[k][from] & squareBB(to))) return false;
    const Bitboard sliders =
        (pos.pieceBB[us][Bishop] | pos.pieceBB[us][Rook] | pos.pieceBB[us][Queen]) & Beyond[k][from];
    for (Bitboard s = sliders; s;) {
        const Square a = popLsb(s);
        if (!(attacksFrom(pos.board[a], a, pos.occupied & ~squareBB(from)) & squareBB(k))) continue;
        // The mover was the only piece between this slider and the king.
        if (attacksFrom(pos.board[a], a, pos.occupied) & squareBB(from)) return true;
    }
    return false;
}

// Exchange evaluation written the plain way: all attackers of the square
// through the current occupancy, the least valuable one taken each turn.
int plainSeeRecapture(const Position& pos, Bitboard occ, int side, Square q, int type) {
    Square best = NoSquare;
    for (int t = Pawn; t <= King && best == NoSquare; t++) {
        for (Bitboard b = pos.pieceBB[side][t] & occ; b;) {
            const Square a = popLsb(b);
            const bool hits =
                t == Pawn ? (PawnAttacks[side][a] & squareBB(q)) != 0 : (attacksFrom(t, a, occ) & squareBB(q)) != 0;
            if (hits) {
                best = a;
                break;
            }
        }
    }
    if (best == NoSquare) return 0;
    int gain = CaptureValue[type];
    if (type == King) return gain;
    int now = pos.board[best];
    if (now == Pawn && (rankOf(q) == 0 || rankOf(q) == 7)) {
        now = Queen;
        gain += CaptureValue[Queen] - CaptureValue[Pawn];
    }
    return std::max(0, gain - plainSeeRecapture(pos, occ & ~squareBB(best), side ^ 1, q, now));
}

// Every position of random games from the perft positions (fixed seed).
void forWalkedPositions(int rounds, int plies, const std::function<void(Position&)>& visit) {
    initTestTables();
    forRandomGamePositions(2024, rounds, plies, visit);
}

}  // namespace

TEST(BoardFastPaths, GivesCheckAgreesWithThePlainTestOnEveryPseudoLegalMove) {
    int moves = 0, checks = 0, special = 0;
    forWalkedPositions(3, 40, [&](Position& pos) {
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, checkInfoOf(pos), list);
        for (int i = 0; i < n; i++) {
            const bool plain = plainGivesCheck(list[i], pos);
            ASSERT_EQ(givesCheck(list[i], pos), plain) << moveToText(list[i]);
            moves++;
            checks += plain;
            special += isPromotion(list[i]) || isCastling(list[i]);
        }
    });
    // Enough checks and special moves that every branch was taken.
    EXPECT_GT(moves, 100000);
    EXPECT_GT(checks, 3000);
    EXPECT_GT(special, 1000);
}

TEST(BoardFastPaths, GivesCheckOnTheRareMoves) {
    initTestTables();
    Position pos;
    // A rook checks along a file only when nothing stands between.
    setFromFen("4k3/8/8/4p3/8/8/8/R5K1 w - - 0 1", pos);
    EXPECT_FALSE(givesCheck(makeMoveCode(sq("a1"), sq("e1"), Rook, NoPiece, NoPiece), pos));
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("a1"), sq("a8"), Rook, NoPiece, NoPiece), pos));
    // Discovered by a bishop when the knight in front steps aside, but not by
    // a pawn moving along the line.
    setFromFen("7k/8/8/4N3/8/2B5/8/K7 w - - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("e5"), sq("c6"), Knight, NoPiece, NoPiece), pos));
    setFromFen("7k/8/8/8/8/2B5/1P6/K7 w - - 0 1", pos);
    EXPECT_FALSE(givesCheck(makeMoveCode(sq("b2"), sq("b3"), Pawn, NoPiece, NoPiece), pos));
    // Castling checks with the rook; the king itself never does.
    setFromFen("5k2/8/8/8/8/8/8/4K2R w K - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece), pos));
    // A promotion that checks through the square the pawn left.
    setFromFen("7k/1P6/8/8/8/8/8/K7 w - - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, Queen), pos));
    EXPECT_FALSE(givesCheck(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, Knight), pos));
}

TEST(BoardFastPaths, MakeAndUnmakeRestoreThePositionExactly) {
    int moves = 0;
    forWalkedPositions(2, 40, [&](Position& pos) {
        static Position before;
        std::memcpy(&before, &pos, sizeof(Position));
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, checkInfoOf(pos), list);
        for (int i = 0; i < n; i++) {
            makeMove(pos, list[i]);
            ASSERT_TRUE(positionIsConsistent(pos)) << moveToText(list[i]);
            ASSERT_EQ(pos.historyLength, before.historyLength + 1);
            unmakeMove(pos);
            // Everything but the undo record just written must be as before.
            ASSERT_EQ(std::memcmp(&pos, &before, offsetof(Position, history)), 0) << moveToText(list[i]);
            ASSERT_EQ(std::memcmp(&pos.historyLength, &before.historyLength,
                                  sizeof(Position) - offsetof(Position, historyLength)),
                      0)
                << moveToText(list[i]);
            moves++;
        }
        makeNullMove(pos);
        ASSERT_TRUE(positionIsConsistent(pos));
        unmakeNullMove(pos);
        ASSERT_EQ(std::memcmp(&pos, &before, offsetof(Position, history)), 0);
    });
    EXPECT_GT(moves, 50000);
}

// The keys a move leads to, worked out before it is played, are the keys
// makeMove gives, except where the estimate leaves a detail out on purpose:
// castling, lost castling rights, the pawn an en-passant capture takes, and
// a passed square recorded after a double push. makeMove says which it was.
TEST(BoardFastPaths, KeysAfterAMoveAreTheKeysMakeMoveGives) {
    int exact = 0, approximate = 0, withRights = 0;
    forWalkedPositions(2, 40, [&](Position& pos) {
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, checkInfoOf(pos), list);
        for (int i = 0; i < n; i++) {
            const Move m = list[i];
            const uint64_t cacheKey = cacheKeyAfter(pos, m), pawnKey = pawnKeyAfter(pos, m);
            const bool enPassant = movePiece(m) == Pawn && moveTo(m) == pos.epSquare;
            const int rightsBefore = pos.castleRights;
            const bool asForetold = makeMove(pos, m);
            const bool leftOut =
                isCastling(m) || enPassant || pos.epSquare != NoSquare || pos.castleRights != rightsBefore;
            // The search skips a second fetch on makeMove's word that the key came out as foretold.
            ASSERT_EQ(asForetold, !leftOut) << moveToText(m);
            if (!leftOut) {
                ASSERT_EQ(cacheKey, pos.cacheKey) << moveToText(m);
                exact++;
                if (rightsBefore) withRights++;
            } else {
                approximate++;
            }
            if (!enPassant) {
                ASSERT_EQ(pawnKey, pos.pawnKey) << moveToText(m);
            }
            unmakeMove(pos);
        }
    });
    EXPECT_GT(exact, 50000);
    EXPECT_GT(approximate, 0);
    EXPECT_GT(withRights, 1000);
}

TEST(BoardFastPaths, ExchangeEvaluationAgreesWithThePlainOne) {
    int captures = 0, losing = 0;
    forWalkedPositions(3, 40, [&](Position& pos) {
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, checkInfoOf(pos), list);
        const int us = pos.sideToMove;
        for (int i = 0; i < n; i++) {
            const Move m = list[i];
            if (!isCapture(m) || isPromotion(m) || (movePiece(m) == Pawn && moveTo(m) == pos.epSquare)) continue;
            const Square to = moveTo(m);
            const int expected =
                CaptureValue[pos.board[to]] -
                plainSeeRecapture(pos, pos.occupied & ~squareBB(moveFrom(m)), us ^ 1, to, pos.board[moveFrom(m)]);
            const int value = see(m, pos, us, pos.occupied);
            // Taking the king ends the exchange at once either way.
            if (pos.board[to] == King) continue;
            ASSERT_EQ(value, expected) << moveToText(m);
            captures++;
            losing += value < 0;
        }
    });
    EXPECT_GT(captures, 5000);
    EXPECT_GT(losing, 500);
}
