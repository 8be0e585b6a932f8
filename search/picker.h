// The staged move picker: generates one stage at a time and hands out its
// moves best first, so that a node that cuts off early never generates or
// sorts the rest.
#pragma once

#include "search/ordering.h"

// Walks the stages firstStage..lastStage in turn. Each stage is appended
// behind the moves already taken and visited in its sorted order (highest
// score first, ties in generation order); a hash move met again after its
// own stage is skipped.
struct MovePicker {
    Move moves[MaxMoves];
    int scores[MaxMoves];
    int count;
    int next;
    Stage nextStage;  // stage generated when the current one runs out
    Stage lastStage;
    Stage currentStage;  // stage of the entries being visited
    int selectionsLeft;  // picks of the stage still made by selection; 0: sort at the next pick, -1: sorted
    Move hashMove;
    const CheckInfo* checkInfo;
    OrderingContext context;
};

// hashMove is MoveNone when there is none; firstStage is then the stage after
// the hash-move stage.
void initPicker(MovePicker& picker, Move hashMove, Stage firstStage, Stage lastStage, const CheckInfo& ci,
                const Move* killers, const HistoryTable& history);

// The next move, MoveNone when the stages are exhausted. score receives its
// ordering score, stage the stage that produced it.
Move nextMove(MovePicker& picker, const Position& pos, int& score, Stage& stage);
