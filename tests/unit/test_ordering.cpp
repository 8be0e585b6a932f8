// History, killer and counter-move learning, and the staged move picker.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/legality.h"
#include "search/picker.h"
#include "test_common.h"
#include "test_search_util.h"

using searchtest::makeThread;
using searchtest::moveByText;

namespace {

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
    Stage stage;
};

std::vector<Picked> pickAll(SearchThread& thread, Move hashMove, Stage first, Stage last, const Move* killers) {
    CheckInfo ci;
    computeCheckInfo(ci, thread.pos);
    MovePicker picker;
    initPicker(picker, hashMove, first, last, ci, killers, thread.historyTable);
    std::vector<Picked> out;
    Move m;
    int score;
    Stage stage;
    while ((m = nextMove(picker, thread.pos, score, stage)) != MoveNone) out.push_back({moveToText(m), score, stage});
    return out;
}

}  // namespace

TEST(MovePicker, StartPositionQuietsInGenerationOrder) {
    auto thread = makeThread(StartFen);
    Move killers[2] = {MoveNone, MoveNone};
    auto picked = pickAll(*thread, MoveNone, Stage::Captures, Stage::Quiets, killers);
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "b2b3", "c2c3",
                                               "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                                               "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4"};
    ASSERT_EQ(picked.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(picked[i].text, expected[i]);
        EXPECT_EQ(picked[i].stage, Stage::Quiets);
        EXPECT_EQ(picked[i].score, 0);
    }
}

TEST(MovePicker, HashMoveFirstAndNotAgain) {
    auto thread = makeThread(StartFen);
    Move hash = moveByText(thread->pos, "e2e4");
    Move killers[2] = {moveByText(thread->pos, "g1f3"), moveByText(thread->pos, "d2d4")};
    thread->historyTable[White][Pawn][makeSquare(2, 3)] = 50;   // c2c4
    thread->historyTable[White][Pawn][makeSquare(7, 2)] = -40;  // h2h3
    auto picked = pickAll(*thread, hash, Stage::HashMove, Stage::Quiets, killers);
    ASSERT_EQ(picked.size(), 20u);
    EXPECT_EQ(picked[0].text, "e2e4");
    EXPECT_EQ(picked[0].stage, Stage::HashMove);
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
    auto picked = pickAll(*thread, MoveNone, Stage::Captures, Stage::Quiets, killers);
    ASSERT_GE(picked.size(), 3u);
    EXPECT_EQ(picked[0].text, "e4d5");
    EXPECT_EQ(picked[0].score, 10000 + 820);
    EXPECT_EQ(picked[0].stage, Stage::Captures);
    EXPECT_EQ(picked[1].text, "d1d5");
    EXPECT_EQ(picked[2].stage, Stage::Quiets);

    // In check the capture stage yields every evasion and the walk ends there.
    // Rook a1 checks Kg1: f1 and h1 lie on the checking line, so Kf2 is the only evasion.
    auto checked = makeThread("6k1/8/8/8/8/8/6PP/r5K1 w - - 0 1");
    auto evasions = pickAll(*checked, MoveNone, Stage::Captures, Stage::Captures, killers);
    ASSERT_EQ(evasions.size(), 1u);
    EXPECT_EQ(evasions[0].text, "g1f2");
}

namespace {

struct Scored {
    std::vector<Move> moves;
    std::vector<int> scores;
};

// One stage appended to an empty list and sorted, as the picker visits it.
Scored sortedStage(const Position& pos, Stage stage, const OrderingContext& ctx) {
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    Move moves[MaxMoves];
    int scores[MaxMoves];
    const int n = appendStageScored(stage, pos, ci, ctx, MoveNone, moves, scores, 0);
    sortStage(moves, scores, 0, n);
    return {std::vector<Move>(moves, moves + n), std::vector<int>(scores, scores + n)};
}

HistoryTable ZeroHistory = {};
const OrderingContext NoKillers{nullptr, &ZeroHistory};

}  // namespace

TEST(OrderingScores, PromotionsByNewPieceThenCapturedPiece) {
    auto thread = makeThread("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    const Scored s = sortedStage(thread->pos, Stage::Captures, NoKillers);
    EXPECT_EQ(texts(s.moves),
              (std::vector<std::string>{"b7a8Q", "b7b8Q", "b7a8R", "b7b8R", "b7a8B", "b7b8B", "b7a8N", "b7b8N"}));
    EXPECT_EQ(s.scores,
              (std::vector<int>{4 * ScorePromotionUnit + Rook * ScorePromotionCaptureUnit, 4 * ScorePromotionUnit,
                                3 * ScorePromotionUnit + 3000, 3 * ScorePromotionUnit, 2 * ScorePromotionUnit + 3000,
                                2 * ScorePromotionUnit, ScorePromotionUnit + 3000, ScorePromotionUnit}));
    // The quiescence capture stage has no promotion pushes.
    EXPECT_EQ(texts(sortedStage(thread->pos, Stage::QsCaptures, NoKillers).moves),
              (std::vector<std::string>{"b7a8Q", "b7a8R", "b7a8B", "b7a8N"}));
}

TEST(OrderingScores, CapturesByVictimPlusHistory) {
    auto thread = makeThread("4k3/8/8/2pPp3/1n1Q1r2/2P1P3/8/4K3 w - c6 0 1");
    thread->historyTable[White][Pawn][sq("c6")] = 7;
    thread->historyTable[White][Queen][sq("f4")] = -5;
    const Scored s = sortedStage(thread->pos, Stage::QsCaptures, OrderingContext{nullptr, &thread->historyTable});
    // Sorted, highest first, ties (the two knight captures, the pawn
    // captures) in generation order.
    EXPECT_EQ(texts(s.moves), (std::vector<std::string>{"e3f4", "d4f4", "c3b4", "d4b4", "d4c5", "d4e5", "d5c6"}));
    EXPECT_EQ(s.scores,
              (std::vector<int>{ScoreCaptureBase + CaptureValue[Rook], ScoreCaptureBase + CaptureValue[Rook] - 5,
                                ScoreCaptureBase + CaptureValue[Knight], ScoreCaptureBase + CaptureValue[Knight],
                                ScoreCaptureBase + CaptureValue[Pawn], ScoreCaptureBase + CaptureValue[Pawn],
                                // en passant: the target square is empty
                                ScoreCaptureBase + 7}));
}

TEST(OrderingScores, KillersAndCastlingAboveHistory) {
    auto thread = makeThread("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    thread->historyTable[White][Rook][sq("a5")] = HistoryMax;
    thread->historyTable[White][Rook][sq("h5")] = -300;
    const HistoryTable& history = thread->historyTable;
    const Move killers[2] = {makeMoveCode(sq("a1"), sq("a5"), Rook, NoPiece, NoPiece),
                             makeMoveCode(sq("h1"), sq("h5"), Rook, NoPiece, NoPiece)};
    const Scored k = sortedStage(thread->pos, Stage::Quiets, OrderingContext{killers, &history});
    ASSERT_GE(k.moves.size(), 4u);
    EXPECT_EQ(k.moves[0], killers[0]);
    EXPECT_EQ(k.scores[0], ScoreKiller0);  // whatever its history
    EXPECT_EQ(k.moves[1], killers[1]);
    EXPECT_EQ(k.scores[1], ScoreKiller1);
    EXPECT_EQ(texts({k.moves[2], k.moves[3]}), (std::vector<std::string>{"e1g1", "e1c1"}));
    EXPECT_EQ(k.scores[2], ScoreCastling);
    EXPECT_EQ(k.scores[3], ScoreCastling);
    // Without killers the two rook moves fall back to their history, below castling.
    const Scored plain = sortedStage(thread->pos, Stage::Quiets, OrderingContext{nullptr, &history});
    EXPECT_EQ(texts({plain.moves[0], plain.moves[1]}), (std::vector<std::string>{"e1g1", "e1c1"}));
    EXPECT_EQ(plain.moves[2], killers[0]);
    EXPECT_EQ(plain.scores[2], HistoryMax);
    EXPECT_EQ(plain.moves.back(), killers[1]);
    EXPECT_EQ(plain.scores.back(), -300);
    // A castling move that is a killer scores as a killer.
    const Move castleKiller[2] = {makeMoveCode(sq("e1"), sq("c1"), King, NoPiece, NoPiece), MoveNone};
    const Scored c = sortedStage(thread->pos, Stage::Quiets, OrderingContext{castleKiller, &ZeroHistory});
    EXPECT_EQ(texts({c.moves[0], c.moves[1]}), (std::vector<std::string>{"e1c1", "e1g1"}));
    EXPECT_EQ(c.scores[0], ScoreKiller0);
    EXPECT_EQ(c.scores[1], ScoreCastling);
}

TEST(OrderingScores, EvasionsScoredByTheirKind) {
    // Rook a8 checks Kh8: promotions (capturing or not), captures and quiet
    // steps each score in their own band.
    auto thread = makeThread("r6K/1PP1P3/1N3Q2/8/8/4k2B/8/R7 w - - 0 1");
    CheckInfo ci;
    computeCheckInfo(ci, thread->pos);
    Move moves[MaxMoves];
    int scores[MaxMoves];
    const int n = appendStageScored(Stage::Captures, thread->pos, ci, NoKillers, MoveNone, moves, scores, 0);
    ASSERT_EQ(n, 23);
    EXPECT_EQ(moveToText(moves[2]), "b7a8Q");
    EXPECT_EQ(scores[2], 4 * ScorePromotionUnit + Rook * ScorePromotionCaptureUnit);
    EXPECT_EQ(moveToText(moves[6]), "b6a8");
    EXPECT_EQ(scores[6], ScoreCaptureBase + CaptureValue[Rook]);
    EXPECT_EQ(moveToText(moves[8]), "b7b8Q");
    EXPECT_EQ(scores[8], 4 * ScorePromotionUnit);
    EXPECT_EQ(moveToText(moves[0]), "h8g7");
    EXPECT_EQ(scores[0], 0);
}

TEST(OrderingScores, EveryStageButTheHashMoveYieldsTheEvasionsInCheck) {
    auto thread = makeThread("4r2k/8/8/8/8/5n2/3P4/R3K2R w KQ - 0 1");  // double check
    for (Stage s : {Stage::Captures, Stage::Quiets, Stage::QsCaptures, Stage::QuietChecks})
        EXPECT_EQ(texts(sortedStage(thread->pos, s, NoKillers).moves),
                  (std::vector<std::string>{"e1d1", "e1f1", "e1f2"}));
}

TEST(OrderingScores, StageAppendsBehindEarlierEntries) {
    auto thread = makeThread(StartFen);
    const Position& pos = thread->pos;
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    Move moves[MaxMoves];
    int scores[MaxMoves];
    moves[0] = 12345;
    scores[0] = -99999;  // an earlier entry: must stay put
    const Move candidate = moveByText(thread->pos, "g1f3");
    int n = appendStageScored(Stage::HashMove, pos, ci, NoKillers, candidate, moves, scores, 1);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(moves[1], candidate);
    EXPECT_EQ(scores[1], 0);  // the hash-move stage gives its move the score 0
    n = appendStageScored(Stage::Quiets, pos, ci, NoKillers, MoveNone, moves, scores, n);
    ASSERT_EQ(n, 22);
    EXPECT_EQ(moves[0], 12345);
    EXPECT_EQ(moveToText(moves[2]), "b1a3");  // generation order until sorted
    // The quiescence hash-move stage appends the candidate the same way;
    // Stage::None appends nothing out of check.
    EXPECT_EQ(appendStageScored(Stage::QsHashMove, pos, ci, NoKillers, candidate, moves, scores, 5), 6);
    EXPECT_EQ(moves[5], candidate);
    EXPECT_EQ(appendStageScored(Stage::None, pos, ci, NoKillers, candidate, moves, scores, 5), 5);
}
