// The driver: caches, phase, whole-board terms, a full evaluation worked out
// by hand, and the trace.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/largealloc.h"
#include "board/makemove.h"
#include "test_common.h"

using namespace evaltest;

namespace {

uint64_t evalIndex(uint64_t key) { return uint32_t(key) & EvalHashTable.mask; }

std::string lastLine(const std::string& text) {
    const size_t cut = text.rfind('\n');
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

}  // namespace

TEST(EvalDriver, PhaseBoundaries) {
    // Start position without one rook each: 16882 - 2600 = 14282, phase 256.
    auto full = position("1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/1NBQKBNR w - - 0 1");
    EXPECT_EQ(full->nonPawnMaterial[White] + full->nonPawnMaterial[Black], 14282);
    EXPECT_EQ(gamePhase(*full), 256);
    // One knight less: (13462 - 3320) * 256 / 10962 = 236.
    auto less = position("1nbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/2BQKBNR w - - 0 1");
    EXPECT_EQ(gamePhase(*less), 236);
    // Knight and bishop each: 3320, phase 0.
    auto low = position("4kbn1/8/8/8/8/8/8/4KBN1 w - - 0 1");
    EXPECT_EQ(low->nonPawnMaterial[White] + low->nonPawnMaterial[Black], 3320);
    EXPECT_EQ(gamePhase(*low), 0);
}

TEST(EvalDriver, NoKingSafetyWithoutMiddleGame) {
    // Phase 0: the shelter memo is not even looked at.
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    ShelterMemo& memo = shelterMemo();
    auto holds = [&](const Position& p, int color) {
        const uint64_t key = shelterMemoKey(p, color);
        return memo.key[ShelterMemo::slot(key)] == key;
    };
    memo = ShelterMemo{};
    auto pos = position("4kbn1/pppppppp/8/8/8/8/PPPPPPPP/4KBN1 w - - 0 1");
    evaluate(*pos);
    EXPECT_FALSE(holds(*pos, White));
    EXPECT_FALSE(holds(*pos, Black));
    // With some material left both kings are evaluated.
    auto middle = position("r3kbn1/pppppppp/8/8/8/8/PPPPPPPP/R3KBN1 w - - 0 1");
    evaluate(*middle);
    EXPECT_TRUE(holds(*middle, White));
    EXPECT_TRUE(holds(*middle, Black));
}

// A FEN may crowd the board with queens; the sum of such a position is held
// below the mate scores, from either side, computed or read from the cache.
TEST(EvalDriver, CrowdedBoardsStayBelowTheMateScores) {
    for (const char* fen :
         {"QQQQQQQQ/QQQQQQqQ/K6k/8/8/8/8/8 w - - 0 1", "QQQQQQQQ/QQQQQQqQ/K6k/8/8/8/8/8 b - - 0 1",
          "qqqqqqqq/qqqqqqQq/k6K/8/8/8/8/8 w - - 0 1", "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/K6k/8/8/8/8 w - - 0 1"}) {
        auto pos = position(fen);
        for (int pass = 0; pass < 2; pass++) {
            const Score v = evaluate(*pos);
            EXPECT_GT(v, -ScoreMateThreshold) << fen;
            EXPECT_LT(v, ScoreMateThreshold) << fen;
        }
    }
    // An ordinary position is not touched by the bound.
    auto start = position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_LT(std::abs(evaluate(*start)), 200);
}

TEST(EvalDriver, CacheHitAndOtherSideToMove) {
    auto pos = position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const Score first = evaluate(*pos);
    const uint64_t key = ttIndexKey(*pos);
    const uint64_t index = evalIndex(key);
    EXPECT_EQ(cacheLoad(EvalHashTable, index, 0), key);
    EXPECT_EQ(evaluate(*pos), first);
    // A hit returns the stored 16 bits, sign-extended, without computing.
    cacheStore(EvalHashTable, index, 1, uint64_t(uint16_t(int16_t(-1234))));
    EXPECT_EQ(evaluate(*pos), -1234);
    // The trace computes afresh and stores the true value again.
    const std::string trace = traceEvaluation(*pos);
    EXPECT_EQ(lastLine(trace), "Final evaluation: " + std::to_string(first) + " (" + std::to_string(first * 100 / 257) +
                                   " cp, side to move)");
    EXPECT_EQ(evaluate(*pos), first);

    // Black to move: another key, and a value computed for that position
    // (the tempo moves to the other side: 2 * 25 in the middle game).
    auto other = position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 2 3");
    EXPECT_NE(ttIndexKey(*other), key);
    EXPECT_EQ(evaluate(*other), -(first - 50));
}

TEST(EvalDriver, PawnCacheGivesTheSameValue) {
    auto pos = position("r2q1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 9");
    // A fresh evaluation cache forces the computation; the second run finds
    // the pawn entry of the first.
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);
    const Score miss = evaluate(*pos);
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    const uint64_t pawnIndex = uint32_t(pos->pawnKey) & PawnHashTable.mask;
    EXPECT_EQ(uint32_t(cacheLoad(PawnHashTable, pawnIndex, 1)), uint32_t(pos->pawnKey >> 32));
    EXPECT_EQ(evaluate(*pos), miss);
}

TEST(EvalDriver, PawnEndingByHand) {
    // Ke1, a2, h2 against Ke8, a7, White to move; phase 0.
    // Pawns: a2 isolated, opposed (156 / 236); h2 isolated, unopposed, passed
    // (171 / 227); a7 isolated, opposed (156 / 236). Passed h2 on rank 2:
    // 22 / 21. Piece-square sums: White 178 / 135, Black 209 / 135. Tempo
    // 25 / 23. Pawn ending: +200 for the extra pawn; two rams are no
    // blockade; h2 is not unstoppable (d(h8, e8) - d(h8, h2) = -3).
    // eg: White 463 + 21 + 135 + 23 + 200 = 842, Black 371: 471.
    // Scale for two pawns and no pieces: 80% = 204; 471 * 204 / 256 = 375.
    // Pull: (12 - 3) * 29 / 5 = 52; max(375 - 52, 187) = 323.
    auto pos = position("4k3/p7/8/8/8/8/P6P/4K3 w - - 0 1");
    EXPECT_EQ(evaluate(*pos), 323);
    // Black to move: eg 842 - 46 = 796, 425 * 204 / 256 = 338, 338 - 52 =
    // 286, seen from Black.
    auto black = position("4k3/p7/8/8/8/8/P6P/4K3 b - - 0 1");
    EXPECT_EQ(evaluate(*black), -286);
}

TEST(EvalDriver, ImbalanceAndBishopPair) {
    // Two bishops against eight pawns, read from the trace rows.
    auto pos = position("4k3/pppppppp/8/8/8/8/8/2B1KB2 w - - 0 1");
    const std::string trace = traceEvaluation(*pos);
    char expected[160];
    // D = 2 against 8 Black pawns: 2 * 8 * 21 = 336, 2 * 8 * 15 = 240.
    std::snprintf(expected, sizeof expected, "%-20s | %6d %6d | %6d %6d |", "Imbalance", 336, 240, 0, 0);
    EXPECT_NE(trace.find(expected), std::string::npos) << trace;
    std::snprintf(expected, sizeof expected, "%-20s | %6d %6d | %6d %6d |", "Bishop pair", 94, 94, 0, 0);
    EXPECT_NE(trace.find(expected), std::string::npos) << trace;
}

TEST(EvalDriver, SpaceAfterKingsPawn) {
    // After 1. e4, all minors on (M = 8). White: 8 safe squares, e2 and e3
    // behind the e4 pawn, d5 and f5 controlled ahead (2 / 2 = 1):
    // 64 * 11 * 36 / 256 = 99, plus 14 for each of 8 empty zone squares.
    auto pos = position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(spaceTerm(*pos, White), 99 + 112);
    // Black: d5 and f5 are hit by e4, leaving 6 safe squares:
    // 64 * 6 * 36 / 256 = 54, plus 8 empty squares.
    EXPECT_EQ(spaceTerm(*pos, Black), 54 + 112);
    // The start position: 8 safe squares each, 72 + 112.
    auto start = position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(spaceTerm(*start, White), 72 + 112);
    EXPECT_EQ(spaceTerm(*start, Black), 72 + 112);
}

TEST(EvalDriver, SpecialEndgameVerdictIsCachedAndTraced) {
    // Two knights cannot force mate: the recogniser's 0 is final.
    auto pos = position("4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1");
    EXPECT_EQ(evaluate(*pos), 0);
    const uint64_t key = ttIndexKey(*pos);
    EXPECT_EQ(cacheLoad(EvalHashTable, evalIndex(key), 0), key);
    EXPECT_EQ(cacheLoad(EvalHashTable, evalIndex(key), 1), 0u);
    const std::string trace = traceEvaluation(*pos);
    EXPECT_NE(trace.find("Special endgame"), std::string::npos);
    EXPECT_EQ(lastLine(trace), "Final evaluation: 0 (0 cp, side to move)");
}

TEST(EvalDriver, TraceAgreesWithEvaluate) {
    const char* fens[] = {
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R b KQ - 0 9",
        "8/5pk1/6p1/8/3K4/8/5PP1/8 w - - 0 1",
        "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1",
    };
    for (const char* fen : fens) {
        auto pos = position(fen);
        resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
        const Score fresh = evaluate(*pos);
        const std::string trace = traceEvaluation(*pos);
        int v = 0, cp = 0;
        ASSERT_EQ(std::sscanf(lastLine(trace).c_str(), "Final evaluation: %d (%d cp", &v, &cp), 2) << fen;
        EXPECT_EQ(v, fresh) << fen;
        EXPECT_EQ(cp, fresh * 100 / 257) << fen;
        EXPECT_EQ(evaluate(*pos), fresh) << fen;
    }
}
