// Faster formulations that must give exactly what the plain definitions give:
// the one-word-key insertion sort of a stage, the king zone (a table of file
// frames, screened by shifted shield pawns), and the evaluation's own pin
// finder against the board's slider-blocker test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/ordering.h"
#include "test_common.h"

using namespace evaltest;

namespace {

// A FEN with the two kings and the pawns given, White to move.
std::string kingsAndPawns(Square whiteKing, Square blackKing, Bitboard whitePawns, Bitboard blackPawns) {
    char board[64] = {};
    for (Square s = 0; s < 64; s++) {
        if (whitePawns & squareBB(s)) board[s] = 'P';
        if (blackPawns & squareBB(s)) board[s] = 'p';
    }
    board[whiteKing] = 'K';
    board[blackKing] = 'k';
    return placementOf(board) + " w - - 0 1";
}

// The zone as first written: the enemy king's file and its neighbours (b..g
// for a king on the edge) in the attacker's enemy half, less every zone
// square on a shield pawn's file in front of it, found square by square.
Bitboard plainKingZone(const Position& pos, int color) {
    const int them = color ^ 1;
    const int kingFile = std::clamp(fileOf(pos.kingSquare[them]), 1, 6);
    Bitboard zone = 0;
    for (Square s = 0; s < 64; s++) {
        const bool enemyHalf = color == White ? rankOf(s) >= 4 : rankOf(s) <= 3;
        if (enemyHalf && std::abs(fileOf(s) - kingFile) <= 1) zone |= squareBB(s);
    }
    Bitboard screened = 0;
    for (Square s = 0; s < 64; s++)
        for (Square p = 0; p < 64; p++) {
            const bool shield = (zone & pos.pieceBB[them][Pawn] & squareBB(p)) != 0;
            const bool inFront = them == White ? rankOf(s) > rankOf(p) : rankOf(s) < rankOf(p);
            if (shield && fileOf(s) == fileOf(p) && inFront) screened |= squareBB(s);
        }
    return zone & ~screened;
}

}  // namespace

TEST(FastPaths, RootSortIsTheStableSortByDescendingScore) {
    // Few distinct scores force many ties; negative and extreme scores check
    // that the score survives the packing into one key.
    std::mt19937 rng(12345);
    const int values[] = {INT32_MIN, -700000, -3, 0, 0, 5, 5, 5, 90000, INT32_MAX};
    for (int round = 0; round < 300; round++) {
        const int first = int(rng() % 5);
        const int last = first + int(rng() % 60);
        Move moves[MaxMoves];
        int scores[MaxMoves];
        for (int i = 0; i < last + 3; i++) {
            moves[i] = 1000 + i;
            scores[i] = values[rng() % 10];
        }
        std::vector<std::pair<int, Move>> expected;
        for (int i = first; i < last; i++) expected.push_back({scores[i], moves[i]});
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        const int untouchedBefore = first > 0 ? moves[first - 1] : 0;
        const int untouchedAfter = moves[last];

        stableInsertionSort(scores, first, first + 1, last, [&](int to, int at) {
            rotateEntry(moves, to, at);
            rotateEntry(scores, to, at);
        });

        for (int i = first; i < last; i++) {
            ASSERT_EQ(scores[i], expected[i - first].first) << "round " << round;
            ASSERT_EQ(moves[i], expected[i - first].second) << "round " << round;
        }
        if (first > 0) {
            EXPECT_EQ(moves[first - 1], untouchedBefore);
        }
        EXPECT_EQ(moves[last], untouchedAfter);
    }
}

TEST(FastPaths, KingZoneScreenedByShieldPawns) {
    // Black king g8 behind f7, g6, h7: files f..h of ranks 5..8, less the
    // squares in front of each shield pawn (f6 f5, g5, h6 h5).
    auto pos = position("6k1/5p1p/6p1/8/8/8/8/6K1 w - - 0 1");
    EXPECT_EQ(kingAttackZone(*pos, White), squares({"f8", "f7", "g8", "g7", "g6", "h8", "h7"}));

    // White king b1 behind a2, b3, c4 (nothing of c5.. is in the zone).
    pos = position("6k1/8/8/8/2P5/1P6/P7/1K6 b - - 0 1");
    EXPECT_EQ(kingAttackZone(*pos, Black), squares({"a1", "a2", "b1", "b2", "b3", "c1", "c2", "c3", "c4"}));

    // A shield pawn on the zone's far edge screens three squares and no
    // square of the next file: Black pawn a8 (never legal, still handled),
    // king b8; and an enemy pawn outside the zone screens nothing.
    pos = position("pk6/8/8/8/4p3/8/8/6K1 w - - 0 1");
    EXPECT_EQ(kingAttackZone(*pos, White), squares({"a8", "b8", "b7", "b6", "b5", "c8", "c7", "c6", "c5"}));
}

TEST(FastPaths, KingZoneIsThePlainZoneForEveryKingSquare) {
    // Every square for each king in turn, the other king and up to eight
    // pawns a side (ranks 2..7) at random.
    std::mt19937 rng(2024);
    int compared = 0;
    for (int color = White; color <= Black; color++)
        for (Square k = 0; k < 64; k++)
            for (int round = 0; round < 8; round++) {
                Square other;
                do other = Square(rng() % 64);
                while (Distance[k][other] <= 1);
                Bitboard pawns[2] = {0, 0};
                for (int side = White; side <= Black; side++)
                    for (int n = int(rng() % 9); n > 0; n--) {
                        const Square p = Square((rng() % 8) * 8 + 1 + rng() % 6);
                        if (p != k && p != other) pawns[side] |= squareBB(p);
                    }
                pawns[Black] &= ~pawns[White];
                // The attacked king (of the other colour) stands on k.
                const Square whiteKing = color == White ? other : k;
                const Square blackKing = color == White ? k : other;
                auto pos = position(kingsAndPawns(whiteKing, blackKing, pawns[White], pawns[Black]));
                ASSERT_EQ(kingAttackZone(*pos, color), plainKingZone(*pos, color))
                    << kingsAndPawns(whiteKing, blackKing, pawns[White], pawns[Black]) << " attacker " << color;
                compared++;
            }
    EXPECT_EQ(compared, 2 * 64 * 8);
}

TEST(FastPaths, PinnedUnitsAreTheBoardsSliderBlockers) {
    // The suite positions and every position one legal move on: pins by
    // bishops, rooks and queens along both kinds of line, units shielded by
    // a second unit, and checks (whose line holds no unit at all).
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/eval_positions.epd");
    ASSERT_TRUE(in.good());
    int compared = 0, withPins = 0;
    std::string fen;
    Move moves[MaxMoves];
    auto compare = [&](const Position& pos) {
        AttackInfo ai;
        buildAttackInfo(pos, ai);
        const Bitboard expected = (sliderBlockers(pos.kingSquare[White], Black, pos) & pos.colorBB[White]) |
                                  (sliderBlockers(pos.kingSquare[Black], White, pos) & pos.colorBB[Black]);
        compared++;
        if (expected) withPins++;
        return ai.pinned == expected;
    };
    while (std::getline(in, fen)) {
        if (fen.empty()) continue;
        auto pos = position(fen);
        ASSERT_TRUE(compare(*pos)) << fen;
        const int n = generateLegalMoves(*pos, moves);
        for (int i = 0; i < n; i++) {
            makeMove(*pos, moves[i]);
            ASSERT_TRUE(compare(*pos)) << fen << " after move " << i;
            unmakeMove(*pos);
        }
    }
    EXPECT_GE(compared, 10000);
    EXPECT_GE(withPins, compared / 20);  // the sweep must meet pins
}
