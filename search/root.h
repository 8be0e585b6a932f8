// Root search helpers shared with the tests.
#pragma once

#include "board/position.h"
#include "search/history.h"

// Late-move reduction of a quiet root move, in plies. The root has no killers,
// so the ordering score is the history of the move, or the castling score.
int rootReduction(Move move, int moveNumber, int depth, const Position& pos, const HistoryTable& history);
