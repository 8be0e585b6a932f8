// The console command "bench": a fixed-depth search of a fixed set of
// positions on the loop's own thread, with node-rate statistics.
#pragma once

#include <cstdint>
#include <istream>

#include "search/state.h"

// The benchmark positions, searched in this order.
constexpr int BenchPositionCount = 19;
extern const char* const BenchPositions[BenchPositionCount];

// What a benchmark measured: the nodes of every run together and the mean
// of the runs' node rates, as its "Nodes" and "NPS(Mean)" lines print them.
struct BenchTotals {
    uint64_t nodes = 0;
    int32_t meanNodesPerSecond = 0;
};

// "bench [depth [runs]]": depth 12 and one run by default; a depth or run
// count below 1 counts as 1. Searches with mainSearch on this thread; the
// game record afterwards holds the last position and its limits.
BenchTotals benchCommand(std::istream& words, GameRecord& record);
