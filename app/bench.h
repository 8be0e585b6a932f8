// The console command "bench": a fixed-depth search of a fixed set of
// positions on the loop's own thread, with node-rate statistics.
#pragma once

#include <istream>

#include "search/state.h"

// The benchmark positions, searched in this order.
constexpr int BenchPositionCount = 19;
extern const char* const BenchPositions[BenchPositionCount];

// "bench [depth [runs]]": depth 12 and one run by default; a depth or run
// count below 1 counts as 1. Searches with mainSearch on this thread; the
// game record afterwards holds the last position and its limits.
void benchCommand(std::istream& words, GameRecord& record);
