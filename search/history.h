// The tables a search thread learns move ordering in: quiet-move history and
// counter moves (the killers live in the search stack).
#pragma once

#include <cstdint>

#include "board/types.h"

// Quiet-move history of one search thread: [colour][moving piece type][to square].
using HistoryTable = int32_t[2][6][64];

// [colour][piece type of the previous move][its to-square] -> two quiet moves, newest first.
using CounterMoveTable = Move[2][6][64][2];

// Histories stay within +-HistoryMax, below the killer band of the ordering scores.
constexpr int HistoryMax = 2000;
// Cutoffs deeper than this no longer change the history.
constexpr int HistoryMaxBonusDepth = 16;
