// The staged move picker: the hash move first and only once, captures before
// quiets, evasions alone in check. It orders keys rather than moves, three
// at a time: the order must be exactly that of each stage sorted stably
// (highest score first, ties in generation order).
#include <gtest/gtest.h>

#include <vector>

#include "board/legality.h"
#include "search/picker.h"
#include "test_common.h"

using searchtest::makeThread;
using searchtest::moveByText;

namespace {

// Every stage of the walk generated and sorted at once, with the hash move
// of a later stage left out.
std::vector<Move> sortedStages(SearchThread& thread, Move hashMove, Stage first, Stage last, const Move* killers) {
    CheckInfo ci = checkInfoOf(thread.pos);
    const OrderingContext ctx{killers, &thread.historyTable};
    std::vector<Move> out;
    for (Stage stage = first; stage <= last; stage = nextStage(stage)) {
        Move moves[MaxMoves];
        int scores[MaxMoves];
        const int n = appendStageScored(stage, thread.pos, ci, ctx, hashMove, moves, scores, 0);
        if (!isHashStage(stage)) sortStage(moves, scores, 0, n);
        for (int i = 0; i < n; i++)
            if (isHashStage(stage) || moves[i] != hashMove) out.push_back(moves[i]);
    }
    return out;
}

struct Picked {
    Move move;
    std::string text;
    int score;
    Stage stage;
};

std::vector<Picked> pickAll(SearchThread& thread, Move hashMove, Stage first, Stage last, const Move* killers) {
    CheckInfo ci = checkInfoOf(thread.pos);
    MovePicker picker;
    initPicker(picker, hashMove, first, last, ci, killers, thread.historyTable);
    std::vector<Picked> out;
    Move m;
    int score;
    Stage stage;
    while ((m = nextMove(picker, thread.pos, score, stage)) != MoveNone)
        out.push_back({m, moveToText(m), score, stage});
    return out;
}

std::vector<Move> picked(SearchThread& thread, Move hashMove, Stage first, Stage last, const Move* killers) {
    std::vector<Move> out;
    for (const Picked& p : pickAll(thread, hashMove, first, last, killers)) out.push_back(p.move);
    return out;
}

// A history with many equal values and some large ones, so that the order
// depends on the tie-break as well as on the scores.
void fillHistory(SearchThread& thread) {
    for (int c = 0; c < 2; c++)
        for (int p = 0; p < 6; p++)
            for (int s = 0; s < 64; s++) thread.historyTable[c][p][s] = ((s * 7 + p * 3) % 5 - 2) * 100;
}

}  // namespace

TEST(MovePicker, SameOrderAsSortedStages) {
    const char* const fens[] = {
        "r1bq1rk1/pp2bppp/2Nppn2/6B1/4P3/2N5/PPPQ1PPP/2KR1B1R b - - 0 1",
        "r3k2r/pbn2ppp/8/1P1pP3/P1qP4/5B2/3Q1PPP/R3K2R w KQkq - 0 1",
        "2r4k/pB4bp/1p4p1/6q1/1P1n4/2N5/P4PPP/2R1Q1K1 b - - 0 1",
        "6k1/8/8/8/8/8/6PP/r5K1 w - - 0 1",  // in check: evasions only
    };
    for (const char* fen : fens) {
        auto thread = makeThread(fen);
        fillHistory(*thread);
        const std::vector<Move> noHash = sortedStages(*thread, MoveNone, Stage::Captures, Stage::Quiets, nullptr);
        ASSERT_FALSE(noHash.empty()) << fen;
        // A killer and a hash move taken from the middle of the list.
        const Move killers[2] = {noHash[noHash.size() / 2], MoveNone};
        const Move hash = noHash[noHash.size() / 3];
        EXPECT_EQ(picked(*thread, MoveNone, Stage::Captures, Stage::Quiets, nullptr), noHash) << fen;
        EXPECT_EQ(picked(*thread, hash, Stage::HashMove, Stage::Quiets, killers),
                  sortedStages(*thread, hash, Stage::HashMove, Stage::Quiets, killers))
            << fen;
        // The best move as the hash move: it comes first in its stage again
        // and must be skipped there.
        EXPECT_EQ(picked(*thread, noHash[0], Stage::HashMove, Stage::Quiets, killers),
                  sortedStages(*thread, noHash[0], Stage::HashMove, Stage::Quiets, killers))
            << fen;
        EXPECT_EQ(picked(*thread, MoveNone, Stage::QsCaptures, Stage::QuietChecks, nullptr),
                  sortedStages(*thread, MoveNone, Stage::QsCaptures, Stage::QuietChecks, nullptr))
            << fen;
    }
}

TEST(MovePicker, EqualScoresKeepGenerationOrderPastTheSelections) {
    // Start position, every quiet move at history 0 except two: the best
    // comes first, the rest keep their generation order, the worst is last.
    auto thread = makeThread("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    thread->historyTable[White][Pawn][makeSquare(7, 3)] = 30;    // h2h4
    thread->historyTable[White][Knight][makeSquare(0, 2)] = -5;  // b1a3
    const std::vector<Move> order = picked(*thread, MoveNone, Stage::Captures, Stage::Quiets, nullptr);
    ASSERT_EQ(order.size(), 20u);
    EXPECT_EQ(order[0], moveByText(thread->pos, "h2h4"));
    EXPECT_EQ(order[1], moveByText(thread->pos, "b1c3"));
    EXPECT_EQ(order[2], moveByText(thread->pos, "g1f3"));
    EXPECT_EQ(order[3], moveByText(thread->pos, "g1h3"));
    EXPECT_EQ(order[4], moveByText(thread->pos, "a2a3"));
    EXPECT_EQ(order[17], moveByText(thread->pos, "f2f4"));
    EXPECT_EQ(order[18], moveByText(thread->pos, "g2g4"));
    EXPECT_EQ(order[19], moveByText(thread->pos, "b1a3"));
}

TEST(MovePicker, KeysCarryScoreAndPlaceInStableOrder) {
    // The extremes of both fields, and the scores at the band edges.
    const int scores[] = {-OrderScoreLimit + 1, -HistoryMax, -1, 0, 1, ScoreKiller0, 44000, OrderScoreLimit - 1};
    const int places[] = {0, 1, 255, MaxMoves - 2, MaxMoves - 1};
    for (int s1 : scores)
        for (int p1 : places) {
            const int k1 = orderKey(s1, p1);
            ASSERT_EQ(orderKeyScore(k1), s1) << s1 << " " << p1;
            ASSERT_EQ(orderKeyIndex(k1), p1) << s1 << " " << p1;
            for (int s2 : scores)
                for (int p2 : places) {
                    // Higher score first; of equal scores the earlier place.
                    const bool first = s1 > s2 || (s1 == s2 && p1 < p2);
                    ASSERT_EQ(k1 > orderKey(s2, p2), first) << s1 << " " << p1 << " / " << s2 << " " << p2;
                }
        }
}

TEST(MovePicker, KeysBehindEarlierEntriesCarryTheirPlace) {
    // Appended behind entries already taken, as a later stage is, the places
    // count from the start of the array (appendStageScored checks every key).
    const char* const fens[] = {
        "r3k2r/pbn2ppp/8/1P1pP3/P1qP4/5B2/3Q1PPP/R3K2R w KQkq - 0 1",
        "2r4k/pB4bp/1p4p1/6q1/1P1n4/2N5/P4PPP/2R1Q1K1 b - - 0 1", "6k1/8/8/8/8/8/6PP/r5K1 w - - 0 1",
        "4k3/1P6/8/8/8/8/6p1/4K2R w K - 0 1",  // promotions and castling
    };
    const Stage stages[] = {Stage::Captures, Stage::Quiets, Stage::QsCaptures, Stage::QuietChecks};
    for (const char* fen : fens) {
        auto thread = makeThread(fen);
        fillHistory(*thread);
        CheckInfo ci = checkInfoOf(thread->pos);
        Move killers[2] = {MoveNone, MoveNone};
        Move quiets[MaxMoves];
        int quietScores[MaxMoves];
        const int quietCount = appendStageScored(Stage::Quiets, thread->pos, ci, {nullptr, &thread->historyTable},
                                                 MoveNone, quiets, quietScores, 0);
        if (quietCount > 1) killers[0] = quiets[quietCount - 1];
        const OrderingContext ctx{killers, &thread->historyTable};
        for (Stage stage : stages) {
            const int offset = 3;
            Move moves[MaxMoves];
            int scores[MaxMoves];
            SCOPED_TRACE(fen);
            appendStageScored(stage, thread->pos, ci, ctx, MoveNone, moves, scores, offset);
        }
    }
}

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
    EXPECT_EQ(picked[1].score, ScoreKiller0);
    EXPECT_EQ(picked[2].text, "d2d4");
    EXPECT_EQ(picked[2].score, ScoreKiller1);
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
    EXPECT_EQ(picked[0].score, ScoreCaptureBase + CaptureValue[Knight]);
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
