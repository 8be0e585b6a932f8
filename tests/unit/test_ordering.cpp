// History, killer and counter-move learning, and the staged move picker.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/legality.h"
#include "search/ordering.h"
#include "test_search_util.h"

using searchtest::makeThread;
using searchtest::moveByText;

namespace {

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

struct CutoffFixture {
    std::unique_ptr<SearchThread> thread = makeThread(StartFen);
    SearchStack stack[4] = {};
    SearchStack* ss = stack + 2;
    Move cut = moveByText(thread->pos, "g1f3");
    Move quiets[2] = {moveByText(thread->pos, "a2a3"), moveByText(thread->pos, "b1c3")};

    int32_t& history(Move m) { return thread->historyTable[White][movePiece(m)][moveTo(m)]; }
};

}  // namespace

TEST(QuietStats, BonusAndMalusFromZero) {
    CutoffFixture f;
    Move previous = makeMoveCode(makeSquare(4, 6), makeSquare(4, 4), Pawn, NoPiece, NoPiece);  // e7e5
    (f.ss - 1)->currentMove = previous;
    updateQuietStats(*f.thread, f.ss, f.cut, 4, f.quiets, 2);
    // bonus = 2 * 4 * 4 = 32; 0 + 32 - 0 and 0 - 32 - 0.
    EXPECT_EQ(f.history(f.cut), 32);
    EXPECT_EQ(f.history(f.quiets[0]), -32);
    EXPECT_EQ(f.history(f.quiets[1]), -32);
    EXPECT_EQ(f.ss->killers[0], f.cut);
    EXPECT_EQ(f.ss->killers[1], MoveNone);
    const Move* pair = f.thread->counterMoves[White][Pawn][makeSquare(4, 4)];
    EXPECT_EQ(pair[0], f.cut);
    EXPECT_EQ(pair[1], MoveNone);

    // A second cutoff of another move pushes the first one back.
    Move other = moveByText(f.thread->pos, "d2d4");
    updateQuietStats(*f.thread, f.ss, other, 4, nullptr, 0);
    EXPECT_EQ(f.ss->killers[0], other);
    EXPECT_EQ(f.ss->killers[1], f.cut);
    EXPECT_EQ(pair[0], other);
    EXPECT_EQ(pair[1], f.cut);
}

TEST(QuietStats, GrowthIsDampedTowardsTheBound) {
    CutoffFixture f;
    f.history(f.cut) = 1000;
    f.history(f.quiets[0]) = -1000;
    updateQuietStats(*f.thread, f.ss, f.cut, 10, f.quiets, 1);
    // bonus 200: 1000 + 200 - 200000 / 2000 = 1100; -1000 - 200 - (-100) = -1100.
    EXPECT_EQ(f.history(f.cut), 1100);
    EXPECT_EQ(f.history(f.quiets[0]), -1100);

    // At the bounds the entries stay where they are, and odd products truncate.
    f.history(f.cut) = 2000;
    f.history(f.quiets[0]) = -2000;
    updateQuietStats(*f.thread, f.ss, f.cut, 16, f.quiets, 1);
    EXPECT_EQ(f.history(f.cut), 2000);
    EXPECT_EQ(f.history(f.quiets[0]), -2000);

    f.history(f.cut) = -7;
    updateQuietStats(*f.thread, f.ss, f.cut, 1, nullptr, 0);
    // bonus 2: -7 + 2 - (-14 / 2000 = 0) = -5.
    EXPECT_EQ(f.history(f.cut), -5);
}

TEST(QuietStats, DeepCutoffsLeaveTheHistory) {
    CutoffFixture f;
    (f.ss - 1)->currentMove = makeMoveCode(makeSquare(1, 7), makeSquare(2, 5), Knight, NoPiece, NoPiece);
    f.history(f.quiets[0]) = 300;
    updateQuietStats(*f.thread, f.ss, f.cut, 17, f.quiets, 2);
    EXPECT_EQ(f.history(f.cut), 0);
    EXPECT_EQ(f.history(f.quiets[0]), 300);
    EXPECT_EQ(f.history(f.quiets[1]), 0);
    EXPECT_EQ(f.ss->killers[0], f.cut);
    EXPECT_EQ(f.thread->counterMoves[White][Knight][makeSquare(2, 5)][0], f.cut);
}

TEST(QuietStats, KillerAlreadyFirstChangesNothing) {
    CutoffFixture f;
    Move second = moveByText(f.thread->pos, "h2h3");
    f.ss->killers[0] = f.cut;
    f.ss->killers[1] = second;
    updateQuietStats(*f.thread, f.ss, f.cut, 3, nullptr, 0);
    EXPECT_EQ(f.ss->killers[0], f.cut);
    EXPECT_EQ(f.ss->killers[1], second);
}

TEST(QuietStats, NoCounterMoveAfterANullMoveOrAtTheRoot) {
    for (Move previous : {MoveNull, MoveNone}) {
        CutoffFixture f;
        (f.ss - 1)->currentMove = previous;
        updateQuietStats(*f.thread, f.ss, f.cut, 5, nullptr, 0);
        CounterMoveTable empty = {};
        EXPECT_EQ(std::memcmp(f.thread->counterMoves, empty, sizeof(empty)), 0);
        EXPECT_EQ(f.ss->killers[0], f.cut);  // the killer is still learnt
    }
}

TEST(QuietStats, CounterPairOfNoMoveReadsPawnOnA1OrA2) {
    auto thread = makeThread(StartFen);
    EXPECT_EQ(counterPair(*thread, thread->pos, MoveNone), thread->counterMoves[White][Pawn][0]);
    EXPECT_EQ(counterPair(*thread, thread->pos, MoveNull), thread->counterMoves[White][Pawn][1]);
}

namespace {

struct Picked {
    std::string text;
    int score;
    int stage;
};

std::vector<Picked> pickAll(SearchThread& thread, Move hashMove, int first, int last, const Move* killers) {
    CheckInfo ci;
    computeCheckInfo(ci, thread.pos);
    MovePicker picker;
    initPicker(picker, hashMove, first, last, ci, killers, thread.historyTable);
    std::vector<Picked> out;
    Move m;
    int score, stage;
    while ((m = nextMove(picker, thread.pos, score, stage)) != MoveNone) out.push_back({moveToText(m), score, stage});
    return out;
}

}  // namespace

TEST(MovePicker, StartPositionQuietsInGenerationOrder) {
    auto thread = makeThread(StartFen);
    Move killers[2] = {MoveNone, MoveNone};
    auto picked = pickAll(*thread, MoveNone, StageCaptures, StageQuiets, killers);
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "b2b3", "c2c3",
                                               "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                                               "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4"};
    ASSERT_EQ(picked.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(picked[i].text, expected[i]);
        EXPECT_EQ(picked[i].stage, StageQuiets);
        EXPECT_EQ(picked[i].score, 0);
    }
}

TEST(MovePicker, HashMoveFirstAndNotAgain) {
    auto thread = makeThread(StartFen);
    Move hash = moveByText(thread->pos, "e2e4");
    Move killers[2] = {moveByText(thread->pos, "g1f3"), moveByText(thread->pos, "d2d4")};
    thread->historyTable[White][Pawn][makeSquare(2, 3)] = 50;  // c2c4
    thread->historyTable[White][Pawn][makeSquare(7, 2)] = -40;  // h2h3
    auto picked = pickAll(*thread, hash, StageHashMove, StageQuiets, killers);
    ASSERT_EQ(picked.size(), 20u);
    EXPECT_EQ(picked[0].text, "e2e4");
    EXPECT_EQ(picked[0].stage, StageHashMove);
    // Killers, then the history order (stable among equal scores), bad history last.
    EXPECT_EQ(picked[1].text, "g1f3");
    EXPECT_EQ(picked[1].score, 2003);
    EXPECT_EQ(picked[2].text, "d2d4");
    EXPECT_EQ(picked[2].score, 2002);
    EXPECT_EQ(picked[3].text, "c2c4");
    EXPECT_EQ(picked[3].score, 50);
    EXPECT_EQ(picked[4].text, "b1a3");
    EXPECT_EQ(picked.back().text, "h2h3");
    EXPECT_EQ(picked.back().score, -40);
    for (size_t i = 1; i < picked.size(); i++) EXPECT_NE(picked[i].text, "e2e4");
}

TEST(MovePicker, CapturesBeforeQuietsAndEvasionsOnlyInCheck) {
    // White: Kg1, Qd1, pawn e4; Black: Kg8, knight d5 (en prise to the pawn and the queen).
    auto thread = makeThread("6k1/8/8/3n4/4P3/8/8/3Q2K1 w - - 0 1");
    Move killers[2] = {MoveNone, MoveNone};
    auto picked = pickAll(*thread, MoveNone, StageCaptures, StageQuiets, killers);
    ASSERT_GE(picked.size(), 3u);
    EXPECT_EQ(picked[0].text, "e4d5");
    EXPECT_EQ(picked[0].score, 10000 + 820);
    EXPECT_EQ(picked[0].stage, StageCaptures);
    EXPECT_EQ(picked[1].text, "d1d5");
    EXPECT_EQ(picked[2].stage, StageQuiets);

    // In check the capture stage yields every evasion and the walk ends there.
    // Rook a1 checks Kg1: f1 and h1 lie on the checking line, so Kf2 is the only evasion.
    auto checked = makeThread("6k1/8/8/8/8/8/6PP/r5K1 w - - 0 1");
    auto evasions = pickAll(*checked, MoveNone, StageCaptures, StageCaptures, killers);
    ASSERT_EQ(evasions.size(), 1u);
    EXPECT_EQ(evasions[0].text, "g1f2");
}
