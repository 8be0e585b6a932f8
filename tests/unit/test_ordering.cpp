// History, killer and counter-move learning, and the staged move picker.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/legality.h"
#include "search/picker.h"
#include "test_common.h"

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

TEST(Ordering, BonusAndMalusFromZero) {
    CutoffFixture f;
    Move previous = makeMoveCode(makeSquare(4, 6), makeSquare(4, 4), Pawn, NoPiece, NoPiece);  // e7e5
    (f.ss - 1)->currentMove = previous;
    updateQuietStats(*f.thread, f.ss, f.cut, 4, f.quiets, 2);
    // The move that cut gains what each quiet move searched before it loses.
    const int bonus = f.history(f.cut);
    EXPECT_GT(bonus, 0);
    EXPECT_EQ(f.history(f.quiets[0]), -bonus);
    EXPECT_EQ(f.history(f.quiets[1]), -bonus);
    // A deeper cutoff teaches more.
    CutoffFixture deeper;
    updateQuietStats(*deeper.thread, deeper.ss, deeper.cut, 8, nullptr, 0);
    EXPECT_GT(deeper.history(deeper.cut), bonus);
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

TEST(Ordering, GrowthIsDampedTowardsTheBound) {
    CutoffFixture f;
    CutoffFixture fresh;
    updateQuietStats(*fresh.thread, fresh.ss, fresh.cut, 10, nullptr, 0);
    const int fromZero = fresh.history(fresh.cut);
    f.history(f.cut) = 1000;
    f.history(f.quiets[0]) = -1000;
    updateQuietStats(*f.thread, f.ss, f.cut, 10, f.quiets, 1);
    // Halfway to the bound an entry moves, but by less than from zero.
    EXPECT_GT(f.history(f.cut), 1000);
    EXPECT_LT(f.history(f.cut), 1000 + fromZero);
    EXPECT_EQ(f.history(f.quiets[0]), -f.history(f.cut));

    // At the bounds the entries stay where they are, and odd products truncate.
    f.history(f.cut) = 2000;
    f.history(f.quiets[0]) = -2000;
    updateQuietStats(*f.thread, f.ss, f.cut, 16, f.quiets, 1);
    EXPECT_EQ(f.history(f.cut), 2000);
    EXPECT_EQ(f.history(f.quiets[0]), -2000);

    // However many cutoffs at whatever depth, the entries stay within the bounds.
    for (int i = 0; i < 200; i++) {
        updateQuietStats(*f.thread, f.ss, f.quiets[0], 1 + i % HistoryMaxBonusDepth, &f.cut, 1);
        ASSERT_LE(f.history(f.quiets[0]), HistoryMax);
        ASSERT_GE(f.history(f.cut), -HistoryMax);
    }
}

TEST(Ordering, DeepCutoffsLeaveTheHistory) {
    CutoffFixture f;
    (f.ss - 1)->currentMove = makeMoveCode(makeSquare(1, 7), makeSquare(2, 5), Knight, NoPiece, NoPiece);
    f.history(f.quiets[0]) = 300;
    updateQuietStats(*f.thread, f.ss, f.cut, HistoryMaxBonusDepth + 1, f.quiets, 2);
    EXPECT_EQ(f.history(f.cut), 0);
    EXPECT_EQ(f.history(f.quiets[0]), 300);
    EXPECT_EQ(f.history(f.quiets[1]), 0);
    EXPECT_EQ(f.ss->killers[0], f.cut);
    EXPECT_EQ(f.thread->counterMoves[White][Knight][makeSquare(2, 5)][0], f.cut);
}

TEST(Ordering, KillerAlreadyFirstChangesNothing) {
    CutoffFixture f;
    Move second = moveByText(f.thread->pos, "h2h3");
    f.ss->killers[0] = f.cut;
    f.ss->killers[1] = second;
    updateQuietStats(*f.thread, f.ss, f.cut, 3, nullptr, 0);
    EXPECT_EQ(f.ss->killers[0], f.cut);
    EXPECT_EQ(f.ss->killers[1], second);
}

TEST(Ordering, NoCounterMoveAfterANullMoveOrAtTheRoot) {
    for (Move previous : {MoveNull, MoveNone}) {
        CutoffFixture f;
        (f.ss - 1)->currentMove = previous;
        updateQuietStats(*f.thread, f.ss, f.cut, 5, nullptr, 0);
        CounterMoveTable empty = {};
        EXPECT_EQ(std::memcmp(f.thread->counterMoves, empty, sizeof(empty)), 0);
        EXPECT_EQ(f.ss->killers[0], f.cut);  // the killer is still learnt
    }
}

TEST(Ordering, CounterPairOfNoMoveReadsPawnOnA1OrA2) {
    auto thread = makeThread(StartFen);
    EXPECT_EQ(counterPair(*thread, thread->pos, MoveNone), thread->counterMoves[White][Pawn][0]);
    EXPECT_EQ(counterPair(*thread, thread->pos, MoveNull), thread->counterMoves[White][Pawn][1]);
}

namespace {

struct Scored {
    std::vector<Move> moves;
    std::vector<int> scores;
};

// One stage appended to an empty list and sorted, as the picker visits it.
Scored sortedStage(const Position& pos, Stage stage, const OrderingContext& ctx) {
    CheckInfo ci = checkInfoOf(pos);
    Move moves[MaxMoves];
    int scores[MaxMoves];
    const int n = appendStageScored(stage, pos, ci, ctx, MoveNone, moves, scores, 0);
    sortStage(moves, scores, 0, n);
    return {std::vector<Move>(moves, moves + n), std::vector<int>(scores, scores + n)};
}

HistoryTable ZeroHistory = {};
const OrderingContext NoKillers{nullptr, &ZeroHistory};

}  // namespace

TEST(Ordering, PromotionsByNewPieceThenCapturedPiece) {
    auto thread = makeThread("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    const Scored s = sortedStage(thread->pos, Stage::Captures, NoKillers);
    EXPECT_EQ(texts(s.moves),
              (std::vector<std::string>{"b7a8Q", "b7b8Q", "b7a8R", "b7b8R", "b7a8B", "b7b8B", "b7a8N", "b7b8N"}));
    // Strictly in that order, and a queen promotion above every capture.
    for (size_t i = 1; i < s.scores.size(); i++) EXPECT_GT(s.scores[i - 1], s.scores[i]) << i;
    EXPECT_GT(s.scores[1], ScoreCaptureBase + CaptureValue[Queen] + HistoryMax);
    // The quiescence capture stage has no promotion pushes.
    EXPECT_EQ(texts(sortedStage(thread->pos, Stage::QsCaptures, NoKillers).moves),
              (std::vector<std::string>{"b7a8Q", "b7a8R", "b7a8B", "b7a8N"}));
}

TEST(Ordering, CapturesByVictimPlusHistory) {
    auto thread = makeThread("4k3/8/8/2pPp3/1n1Q1r2/2P1P3/8/4K3 w - c6 0 1");
    thread->historyTable[White][Pawn][sq("c6")] = 7;
    thread->historyTable[White][Queen][sq("f4")] = -5;
    const Scored s = sortedStage(thread->pos, Stage::QsCaptures, OrderingContext{nullptr, &thread->historyTable});
    // Sorted, highest first, ties (the two knight captures, the pawn
    // captures) in generation order.
    EXPECT_EQ(texts(s.moves), (std::vector<std::string>{"e3f4", "d4f4", "c3b4", "d4b4", "d4c5", "d4e5", "d5c6"}));
    // Bigger victims first; of one victim, the better history. En passant
    // (whose target square is empty) goes last, still above the quiet moves.
    EXPECT_GT(s.scores[0], s.scores[1]);
    EXPECT_GT(s.scores[1], s.scores[2]);
    EXPECT_EQ(s.scores[2], s.scores[3]);
    EXPECT_GT(s.scores[3], s.scores[4]);
    EXPECT_EQ(s.scores[4], s.scores[5]);
    EXPECT_GT(s.scores[5], s.scores[6]);
    EXPECT_GT(s.scores[6], ScoreKiller0);
}

TEST(Ordering, KillersAndCastlingAboveHistory) {
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

TEST(Ordering, EvasionsScoredByTheirKind) {
    // Rook a8 checks Kh8: promotions (capturing or not), captures and quiet
    // steps each score in their own band.
    auto thread = makeThread("r6K/1PP1P3/1N3Q2/8/8/4k2B/8/R7 w - - 0 1");
    CheckInfo ci = checkInfoOf(thread->pos);
    Move moves[MaxMoves];
    int scores[MaxMoves];
    const int n = appendStageScored(Stage::Captures, thread->pos, ci, NoKillers, MoveNone, moves, scores, 0);
    ASSERT_EQ(n, 23);
    auto scoreOf = [&](const char* text) {
        for (int i = 0; i < n; i++)
            if (moveToText(moves[i]) == text) return scores[i];
        ADD_FAILURE() << text << " is no evasion";
        return 0;
    };
    EXPECT_GT(scoreOf("b7a8Q"), scoreOf("b7b8Q"));
    EXPECT_GT(scoreOf("b7b8Q"), scoreOf("b6a8"));
    EXPECT_EQ(scoreOf("b6a8"), scoreOf("a1a8"));  // the victim counts, not the capturer
    EXPECT_GT(scoreOf("b6a8"), scoreOf("h8g7"));
    EXPECT_EQ(scoreOf("h8g7"), 0);  // a quiet step of no history
}

TEST(Ordering, EveryStageButTheHashMoveYieldsTheEvasionsInCheck) {
    auto thread = makeThread("4r2k/8/8/8/8/5n2/3P4/R3K2R w KQ - 0 1");  // double check
    for (Stage s : {Stage::Captures, Stage::Quiets, Stage::QsCaptures, Stage::QuietChecks})
        EXPECT_EQ(texts(sortedStage(thread->pos, s, NoKillers).moves),
                  (std::vector<std::string>{"e1d1", "e1f1", "e1f2"}));
}

TEST(Ordering, StageAppendsBehindEarlierEntries) {
    auto thread = makeThread(StartFen);
    const Position& pos = thread->pos;
    CheckInfo ci = checkInfoOf(pos);
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
