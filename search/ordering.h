// Move ordering: the scores the search sorts generated moves by, the stages
// the picker walks, and the history, killer and counter-move learning from
// cutoffs.
#pragma once

#include <algorithm>

#include "board/movegen.h"
#include "search/history.h"
#include "search/stack.h"
#include "search/state.h"

// Ordering bands, highest first. Promotions by the new piece (and the piece
// they take), then captures by the value of the captured piece plus the
// history of the capturing move; then the killers and castling, above every
// history value; then the other quiet moves by their history alone.
constexpr int ScorePromotionUnit = 10000;
constexpr int ScorePromotionCaptureUnit = 1000;
constexpr int ScoreCaptureBase = 10000;
constexpr int ScoreKiller0 = 2003;
constexpr int ScoreKiller1 = 2002;
constexpr int ScoreCastling = 2001;
static_assert(ScoreCastling > HistoryMax, "killers and castling must sort above every history value");

// Stages of the move picker, in the order a walk visits them.
enum class Stage : int8_t {
    None = 0,
    HashMove,  // the table's move
    Captures,  // promotion pushes, then captures
    Quiets,
    QsHashMove,  // the table's move in the quiescence search
    QsCaptures,  // captures only
    QuietChecks,
};

inline Stage nextStage(Stage s) { return Stage(int(s) + 1); }
inline bool isHashStage(Stage s) { return s == Stage::HashMove || s == Stage::QsHashMove; }

// What the scores of one node are made of: the two killers of its ply (null:
// none) and the thread's history table.
struct OrderingContext {
    const Move* killers;
    const HistoryTable* history;
};

// The picker orders one key per entry instead of a move and a score: the
// score times MaxMoves plus the entry's place counted down from the end of
// the array, so that of two equal scores the earlier entry has the greater
// key. The highest key is then the entry a stable sort by descending score
// puts first, whatever order the keys themselves are kept in.
constexpr int OrderKeyShift = 9;
static_assert(1 << OrderKeyShift == MaxMoves, "an entry's place fills the low bits of its key");
// Every ordering score lies well inside +-OrderScoreLimit, so a key fits an int.
constexpr int OrderScoreLimit = 1 << (30 - OrderKeyShift);
static_assert(ScorePromotionUnit * 6 + ScorePromotionCaptureUnit * 6 < OrderScoreLimit &&
                  CaptureValue[King] + ScoreCaptureBase + HistoryMax < OrderScoreLimit,
              "ordering scores must fit a key");

inline int orderKey(int score, int place) { return score * MaxMoves + (MaxMoves - 1 - place); }
inline int orderKeyScore(int key) { return key >> OrderKeyShift; }
inline int orderKeyIndex(int key) { return MaxMoves - 1 - (key & (MaxMoves - 1)); }

// Appends the moves of one stage behind moves[0, count) in generation order,
// keys[i] receiving orderKey(score, i) of the move's ordering score, and
// returns the new count. In check every stage except the hash-move ones
// yields all evasions. The hash-move stages append candidate with the score
// 0. Out of check Stage::None appends nothing.
int appendStageKeyed(Stage stage, const Position& pos, const CheckInfo& ci, const OrderingContext& ctx, Move candidate,
                     Move* moves, int* keys, int count);

// The stable insertion sort of the search, highest score first: entries
// [from, last) are inserted one by one into the entries before them, back to
// first, each moving up past strictly lower scores only, so that equal scores
// keep their order. With from = first + 1 it is the stable sort of
// [first, last). shift(to, at) must carry entry at to place to, the entries
// in between one place up, in scores and in every array that travels with it
// (see rotateEntry).
template <class Shift>
void stableInsertionSort(const int* scores, int first, int from, int last, Shift shift) {
    for (int i = std::max(from, first + 1); i < last; i++) {
        int j = i;
        while (j > first && scores[j - 1] < scores[i]) j--;
        if (j < i) shift(j, i);
    }
}

// Moves entries[at] to place to (to <= at), the entries in between one place up.
template <class T>
void rotateEntry(T* entries, int to, int at) {
    std::rotate(entries + to, entries + at, entries + at + 1);
}

// The two quiet moves that last refuted the previous move (newest first).
// MoveNone and MoveNull read as a pawn move to a1 or a2; such pairs are read
// but never written.
Move* counterPair(SearchThread& thread, const Position& pos, Move previous);

// Learns from a beta cutoff by the quiet move m at depth: history bonus for m,
// the same malus for the quiet moves searched before it, killers of ss and the
// counter move of the previous move.
void updateQuietStats(SearchThread& thread, SearchStack* ss, Move m, int depth, const Move* quietsSearched,
                      int quietCount);
