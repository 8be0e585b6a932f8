// Move ordering: the history, killer and counter-move tables that the search
// learns from its cutoffs, and the staged move picker over the generators.
#pragma once

#include "board/movegen.h"
#include "search/stack.h"
#include "search/state.h"

// Histories stay within +-HistoryMax, below the killer band of the ordering scores.
constexpr int HistoryMax = 2000;
// Cutoffs deeper than this no longer change the history.
constexpr int HistoryMaxBonusDepth = 16;

// The two quiet moves that last refuted the previous move (newest first).
// MoveNone and MoveNull read as a pawn move to a1 or a2; such pairs are read
// but never written.
Move* counterPair(SearchThread& thread, const Position& pos, Move previous);

// Learns from a beta cutoff by the quiet move m at depth: history bonus for m,
// the same malus for the quiet moves searched before it, killers of ss and the
// counter move of the previous move.
void updateQuietStats(SearchThread& thread, SearchStack* ss, Move m, int depth,
                      const Move* quietsSearched, int quietCount);

// Walks the generator stages firstStage..lastStage in turn. Each stage is
// appended behind the moves already taken and visited in its sorted order
// (highest score first, ties in generation order); a hash move met again
// after its own stage is skipped.
struct MovePicker {
    Move moves[MaxMoves];
    int scores[MaxMoves];
    int count;
    int next;
    int nextStage;      // stage generated when the current one runs out
    int lastStage;
    int currentStage;   // stage of the entries being visited
    int selectionsLeft; // picks of the stage still made by selection; 0: sort at the next pick, -1: sorted
    Move hashMove;
    const CheckInfo* checkInfo;
    OrderingContext context;
};

// hashMove is MoveNone when there is none; firstStage is then the stage after
// the hash-move stage.
void initPicker(MovePicker& picker, Move hashMove, int firstStage, int lastStage,
                const CheckInfo& ci, const Move* killers, const HistoryTable& history);

// The next move, MoveNone when the stages are exhausted. score receives its
// ordering score, stage the stage that produced it.
Move nextMove(MovePicker& picker, const Position& pos, int& score, int& stage);
