// Faster formulations that must give exactly what the plain definitions give:
// the one-word-key insertion sort of a stage, and the king zone screened by
// shifted shield pawns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "search/ordering.h"
#include "test_eval_util.h"

using namespace evaltest;

namespace {

Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= squareBB(sq(n));
    return b;
}

}  // namespace

TEST(FastPaths, SortIsTheStableSortByDescendingScore) {
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

        sortByScore(moves, scores, first, last);

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
