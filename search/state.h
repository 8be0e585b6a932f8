// The search thread record, the limits of one search and the few words
// shared between the command loop and the search threads.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "search/history.h"

struct SearchLimits {
    int32_t increment;
    int32_t timeLeft;
    int32_t depthLimit;
    int32_t nodeLimit;
    int32_t movesToGo;
    bool untimed;
    bool ponderStart;
    int32_t moveTime;
    bool depthGiven;  // the "go" line named a depth, even one of 100 or more
    int32_t multiPv;       // lines to search, 1..100
    int32_t moveOverhead;  // ms the clock keeps in reserve for the transmission of a move
};

constexpr int32_t DefaultMoveOverheadMs = 50;

// The cleared state that every position set-up leaves.
void clearSearchLimits(SearchLimits& limits);

struct SearchThread {
    Position pos;
    SearchLimits limits;
    HistoryTable historyTable;
    CounterMoveTable counterMoves;
    int32_t historyMax;
    uint64_t localNodes;
};

// resetPosition on the record's position plus the cleared search limits.
void resetSearchRecord(SearchThread& thread);

// Shared words, all accessed with relaxed ordering.
extern std::atomic<bool> stopFlag;
extern std::atomic<bool> ponderhitFlag;
extern std::atomic<bool> searchDone;
extern std::atomic<uint64_t> nodeCounter;
extern std::atomic<int64_t> searchStartTime;
extern std::atomic<int64_t> timeLimit;
extern std::atomic<int32_t> selDepth;

// Set by "go" for a search that may answer only after "stop" or "ponderhit":
// a ponder search, or an untimed one without a move time, node limit or depth
// ("go infinite", a bare "go"). Cleared by "ponderhit".
extern std::atomic<bool> searchAwaitsCommand;
// Set with stopFlag when a command ends the search ("stop", or "quit", "go",
// "bench" or the end of input ending an unbounded one); unlike stopFlag,
// never by the search's own move time or clock.
extern std::atomic<bool> stopCommanded;

// Main search thread, after its iterations: blocks, without spinning, until
// "stop" or "ponderhit" has come when searchAwaitsCommand is set; returns at
// once otherwise. A ponder search whose move time ran out still waits.
void waitForStopOrPonderhit();
// Wakes waitForStopOrPonderhit after stopFlag, ponderhitFlag or
// searchAwaitsCommand has been changed.
void wakeSearchWaiter();

// Milliseconds of a monotonic process clock.
int64_t nowMs();
