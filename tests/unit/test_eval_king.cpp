// King shelter, the shelter memo, king danger and the danger table.
#include <gtest/gtest.h>

#include <thread>

#include "test_eval_util.h"

using namespace evaltest;

TEST(EvalKing, KingDangerTable) {
    initEvalTables();
    const int start[10] = {0, 0, 1, 3, 6, 10, 15, 20, 27, 34};
    for (int i = 0; i < 10; i++) EXPECT_EQ(KingDanger[i], start[i]) << i;
    // From 40 on the 33-per-step bound takes over: 646 at 39, 679 at 40.
    EXPECT_EQ(KingDanger[39], 646);
    EXPECT_EQ(KingDanger[40], 679);
    EXPECT_EQ(KingDanger[44], 811);
    EXPECT_EQ(KingDanger[58], 1273);
    for (int i = 59; i < 100; i++) EXPECT_EQ(KingDanger[i], 1300) << i;
}

TEST(EvalKing, ShelterFilesAreClampedAtTheEdge) {
    // Pawns a2, b2, c2, none defended (nothing on rank 1), no Black pawn:
    // each file costs -9 + 7, so 266 + 3 * 2 = 272 for a king on a1 or b1.
    auto pos = position("4k3/8/8/8/8/8/PPP5/K7 w - - 0 1");
    EXPECT_EQ(kingShelter(*pos, White, sq("a1")), 272);
    EXPECT_EQ(kingShelter(*pos, White, sq("b1")), 272);
    // A king on e1 has no shield on d, e, f: 266 - 3 * (87 + 7).
    EXPECT_EQ(kingShelter(*pos, White, sq("e1")), 266 - 3 * 94);
}

TEST(EvalKing, ShelterDefendedShieldAndStorm) {
    // g3 defended by f2 and h2: ShelterPenalty[1][2] = -7 (and storm 7);
    // f2 and h2 undefended: -9 + 7 each. 266 + 2 + 0 + 2.
    auto defended = position("6k1/8/8/8/8/6P1/5P1P/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*defended, White, sq("g1")), 270);

    // Storm: g4 supported by h5 (StormPenalty[1][4] = 44), h5 unsupported on
    // Black's rank 4 (StormPenalty[0][3] = -7). Shield f2, g2, h2 (-9 each).
    // 266 - (-9 + 7) - (-9 + 44) - (-9 - 7) = 249.
    auto storm = position("6k1/8/8/7p/6p1/8/5PPP/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*storm, White, sq("g1")), 249);

    // The same seen from Black: shield f7, g7, h7 against g5 supported by h4.
    auto mirrored = position("6k1/5ppp/8/6P1/7P/8/8/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*mirrored, Black, sq("g8")), 249);
}

TEST(EvalKing, ShelterTakesTheBestCastlingSquare) {
    // Ke1 with the kingside right and a shield on f2, g2, h2: e1 alone scores
    // 266 - 94 - 94 + 2 = 80, g1 scores 272; with no right only e1 counts.
    // Black has nothing that reaches the zone, so only the shelter is added.
    auto castling = position("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    EXPECT_EQ(kingTerm(*castling, White), 272);
    auto none = position("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(kingTerm(*none, White), 80);
}

TEST(EvalKing, ShelterMemo) {
    auto pos = position("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    kingTerm(*pos, White);
    const uint64_t key = shelterMemoKey(*pos, White);
    const int slot = ShelterMemo::slot(key);
    ShelterMemo& memo = shelterMemo();
    EXPECT_EQ(memo.key[slot], key);
    EXPECT_EQ(memo.score[slot], 272);
    // A matching key is trusted: the stored score is used as it stands.
    memo.score[slot] = 100;
    EXPECT_EQ(kingTerm(*pos, White), 100);
    // The same pawns and king for Black would be another key.
    EXPECT_NE(shelterMemoKey(*pos, Black), key);
    // Losing the castling right changes the key, so the shelter is computed
    // afresh (e1 alone: 80) rather than taken from the memo.
    auto moved = position("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(kingTerm(*moved, White), 80);
}

TEST(EvalKing, ShelterMemoBelongsToTheThread) {
    // Another thread starts with its own, empty memo and computes the true
    // shelter even while this thread's memo holds a doctored score.
    auto pos = position("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    kingTerm(*pos, White);
    const int slot = ShelterMemo::slot(shelterMemoKey(*pos, White));
    shelterMemo().score[slot] = 100;
    int other = 0;
    uint64_t otherKeyBefore = 1;
    std::thread worker([&] {
        otherKeyBefore = shelterMemo().key[slot];
        other = kingTerm(*pos, White);
    });
    worker.join();
    EXPECT_EQ(otherKeyBefore, 0u);
    EXPECT_EQ(other, 272);
    EXPECT_EQ(kingTerm(*pos, White), 100);
}

TEST(EvalKing, DangerFromQueenAndKnight) {
    // Kg1 behind f2, g2, h2 (shelter 272) against Qh4 and Ng4. Black's tally:
    // both reach the zone {f1, g1, h1, f2, g2, h2}: weight 2 + 5, two
    // attackers, f2 and h2 next to the king for each (4).
    // danger = 7 * 2 / 3 + 3 * 4 - 272 / 32 = 4 + 12 - 8 = 8; queen contact
    // on f2 and h2, both also hit by the knight: + 2 * 15 = 38. No safe check
    // reaches a Black attacker. Safe king squares f1 and h1: 38 * 300 / 256
    // = 44; KingDanger[44] = 811.
    auto pos = position("6k1/8/8/8/6nq/8/5PPP/6K1 w - - 0 1");
    EXPECT_EQ(kingTerm(*pos, White), 272 - 811);
}

TEST(EvalKing, DangerIndexIsClamped) {
    // The shelter of 272 alone with a tally of one attacker and no weight:
    // danger = -272 / 32 < 0 uses entry 0.
    auto pos = position("6k1/8/8/8/8/8/5PPP/6K1 w - - 0 1");
    EXPECT_EQ(kingTermWith(*pos, White, {0, 1, 0}), 272);
    // A huge tally runs past 99 and uses entry 99 (1300).
    EXPECT_EQ(kingTermWith(*pos, White, {100, 10, 0}), 272 - 1300);
    // No attacker at all: only the shelter, whatever the weight says.
    EXPECT_EQ(kingTermWith(*pos, White, {100, 0, 50}), 272);
}
