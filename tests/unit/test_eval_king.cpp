// King shelter, the shelter memo, king danger and the danger table.
#include <gtest/gtest.h>

#include <thread>

#include "eval/params.h"
#include "test_common.h"

using namespace evaltest;

// The exact shelter and danger values are checked against an independent
// model by the reference test; here the shape the evaluation relies on.

TEST(EvalKing, KingDangerTable) {
    initEvalTables();
    EXPECT_EQ(KingDanger[0], 0);
    for (int i = 1; i < KingDangerSize; i++) {
        // Never less for more danger, and never a jump of more than one step.
        EXPECT_GE(KingDanger[i], KingDanger[i - 1]) << i;
        EXPECT_LE(KingDanger[i] - KingDanger[i - 1], KingDangerStep) << i;
        EXPECT_LE(KingDanger[i], KingDangerMax) << i;
    }
    // Slow at first (a lone attacker costs little), then the full step, then
    // the cap.
    EXPECT_LE(KingDanger[3], 2 * (KingDanger[2] + 1));
    EXPECT_LT(KingDanger[2] - KingDanger[1], KingDanger[41] - KingDanger[40]);
    EXPECT_EQ(KingDanger[KingDangerSize - 1], KingDangerMax);
}

TEST(EvalKing, ShelterFilesAreClampedAtTheEdge) {
    // A king on a1 or b1 looks at files a to c; one on e1 has no shield.
    auto pos = position("4k3/8/8/8/8/8/PPP5/K7 w - - 0 1");
    EXPECT_EQ(kingShelter(*pos, White, sq("a1")), kingShelter(*pos, White, sq("b1")));
    EXPECT_GT(kingShelter(*pos, White, sq("b1")), kingShelter(*pos, White, sq("e1")));
    // Mirrored across the middle files and by colour, the same shelter.
    auto mirrored = position("7k/5ppp/8/8/8/8/8/3K4 w - - 0 1");
    EXPECT_EQ(kingShelter(*mirrored, Black, sq("h8")), kingShelter(*pos, White, sq("a1")));
    EXPECT_EQ(kingShelter(*mirrored, Black, sq("g8")), kingShelter(*pos, White, sq("b1")));
}

TEST(EvalKing, ShelterDefendedShieldAndStorm) {
    // A shield pawn that has stepped forward protected still shelters; an
    // enemy pawn storming at the king lowers the shelter, the more so when
    // it is close and supported.
    auto home = position("6k1/8/8/8/8/8/5PPP/6K1 w - - 0 1");
    auto stepped = position("6k1/8/8/8/8/6P1/5P1P/6K1 w - - 0 1");
    auto far = position("6k1/7p/8/8/8/8/5PPP/6K1 w - - 0 1");
    auto storm = position("6k1/8/8/7p/6p1/8/5PPP/6K1 w - - 0 1");
    const int shelter = kingShelter(*home, White, sq("g1"));
    EXPECT_GT(kingShelter(*stepped, White, sq("g1")), kingShelter(*home, White, sq("e1")));
    EXPECT_LT(kingShelter(*storm, White, sq("g1")), shelter);
    EXPECT_LT(kingShelter(*storm, White, sq("g1")), kingShelter(*far, White, sq("g1")));

    // The same seen from Black: shield f7, g7, h7 against g5 supported by h4.
    auto mirrored = position("6k1/5ppp/8/6P1/7P/8/8/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*mirrored, Black, sq("g8")), kingShelter(*storm, White, sq("g1")));
    auto steppedBlack = position("6k1/5p1p/6p1/8/8/8/8/6K1 w - - 0 1");
    EXPECT_EQ(kingShelter(*steppedBlack, Black, sq("g8")), kingShelter(*stepped, White, sq("g1")));
}

TEST(EvalKing, ShelterTakesTheBestCastlingSquare) {
    // Ke1 with the kingside right and a shield on f2, g2, h2: the shelter of
    // g1 counts; with no right only e1. Black has nothing that reaches the
    // zone, so only the shelter is added.
    auto castling = position("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    const int g1 = kingShelter(*castling, White, sq("g1")), e1 = kingShelter(*castling, White, sq("e1"));
    ASSERT_GT(g1, e1);
    EXPECT_EQ(kingTerm(*castling, White), g1);
    auto none = position("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(kingTerm(*none, White), e1);
}

TEST(EvalKing, ShelterMemo) {
    auto pos = position("4k3/8/8/8/8/8/5PPP/4K2R w K - 0 1");
    const int shelter = kingShelter(*pos, White, sq("g1"));
    kingTerm(*pos, White);
    const uint64_t key = shelterMemoKey(*pos, White);
    const int slot = ShelterMemo::slot(key);
    ShelterMemo& memo = shelterMemo();
    EXPECT_EQ(memo.key[slot], key);
    EXPECT_EQ(memo.score[slot], shelter);
    // A matching key is trusted: the stored score is used as it stands.
    memo.score[slot] = 100;
    EXPECT_EQ(kingTerm(*pos, White), 100);
    // The same pawns and king for Black would be another key.
    EXPECT_NE(shelterMemoKey(*pos, Black), key);
    // Losing the castling right changes the key, so the shelter is computed
    // afresh (e1 alone) rather than taken from the memo.
    auto moved = position("4k3/8/8/8/8/8/5PPP/4K2R w - - 0 1");
    EXPECT_EQ(kingTerm(*moved, White), kingShelter(*moved, White, sq("e1")));
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
    EXPECT_EQ(other, kingShelter(*pos, White, sq("g1")));
    EXPECT_EQ(kingTerm(*pos, White), 100);
}

TEST(EvalKing, MoreAttackersNeverLowerTheDanger) {
    // Kg1 behind f2, g2, h2 against a queen, then a knight beside it, then a
    // rook as well: each attacker adds danger, and the same position with the
    // colours exchanged gives Black the same value.
    const char* const fens[][2] = {
        {"6k1/8/8/8/8/8/5PPP/6K1 w - - 0 1", "6k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"},
        {"6k1/8/8/8/7q/8/5PPP/6K1 w - - 0 1", "6k1/5ppp/8/7Q/8/8/8/6K1 b - - 0 1"},
        {"6k1/8/8/8/6nq/8/5PPP/6K1 w - - 0 1", "6k1/5ppp/8/6NQ/8/8/8/6K1 b - - 0 1"},
        {"5rk1/8/8/8/6nq/8/5PPP/6K1 w - - 0 1", "6k1/5ppp/8/6NQ/8/8/8/5RK1 b - - 0 1"},
    };
    int previous = 1 << 20;
    for (const auto& pair : fens) {
        const int white = kingTerm(*position(pair[0]), White);
        EXPECT_EQ(kingTerm(*position(pair[1]), Black), white) << pair[0];
        EXPECT_LE(white, previous) << pair[0];
        previous = white;
    }
    EXPECT_LT(previous, kingShelter(*position(fens[0][0]), White, sq("g1")));
}

TEST(EvalKing, DangerGrowsWithTheTallyAndIsClamped) {
    auto pos = position("6k1/8/8/8/8/8/5PPP/6K1 w - - 0 1");
    const int shelter = kingShelter(*pos, White, sq("g1"));
    // No attacker at all: only the shelter, whatever the weight says.
    EXPECT_EQ(kingTermWith(*pos, White, {100, 0, 50}), shelter);
    // A danger below zero uses the first entry; a huge one the last.
    EXPECT_EQ(kingTermWith(*pos, White, {0, 1, 0}), shelter);
    EXPECT_EQ(kingTermWith(*pos, White, {1000, 10, 100}), shelter - KingDanger[KingDangerSize - 1]);
    // More weight, more attackers or more attacks next to the king never
    // make the king safer.
    for (int attackers = 1; attackers <= 4; attackers++)
        for (int weight = 0; weight <= 40; weight += 4)
            for (int adjacent = 0; adjacent <= 8; adjacent++) {
                const int term = kingTermWith(*pos, White, {weight, attackers, adjacent});
                EXPECT_LE(term, shelter);
                EXPECT_LE(kingTermWith(*pos, White, {weight + 4, attackers, adjacent}), term);
                EXPECT_LE(kingTermWith(*pos, White, {weight, attackers + 1, adjacent}), term);
                EXPECT_LE(kingTermWith(*pos, White, {weight, attackers, adjacent + 1}), term);
            }
}
