// Time management: the thinking budget of the main search thread.
#pragma once

#include <cstdint>

#include "search/state.h"

// The budget in ms for the side to move, gamePly moves into the game (counted
// from the set-up position): its share of the remaining time over the moves to
// the next control, more for a ponder search and for an unstable best move,
// never more than the clock minus the overhead.
int64_t thinkingBudget(const SearchLimits& limits, int gamePly, int moveOverhead, int instability);

// Called before every iteration from depth 2 on: publishes the budget as
// Control.timeLimit for the per-node clock test and tells whether the next
// iteration must not start. A fixed move time of an untimed search is tested
// alone.
bool updateBudgetAndCheckStop(int instability, SearchThread& thread);
