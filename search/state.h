// The records of a search: its limits, the game the front end keeps, the
// scratch of one search thread, and the control record that the command loop
// and the search threads share.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "search/history.h"

// The "MultiPv" option's announced maximum (a larger count is still searched).
constexpr int MaxMultiPv = 100;

struct SearchLimits {
    int32_t increment;
    int32_t timeLeft;
    int32_t depthLimit;
    int32_t nodeLimit;
    int32_t movesToGo;
    // The clock budget does not end this search: set by "infinite" and
    // "ponder", and also by "depth", "nodes" and "movetime", whose own limits
    // end it instead ("ponderhit" clears it).
    bool untimed;
    bool ponderStart;
    int32_t moveTime;
    bool depthGiven;       // the "go" line named a depth, even one of 100 or more
    int32_t multiPv;       // lines to search, 1 or more
    int32_t moveOverhead;  // ms the clock keeps in reserve for the transmission of a move
};

constexpr int32_t DefaultMoveOverheadMs = 50;

// The cleared state that every position set-up leaves.
void clearSearchLimits(SearchLimits& limits);

// The game as the front end keeps it: the position with its history, and the
// limits of the next search.
struct GameRecord {
    Position pos;
    SearchLimits limits;
};

// The start position (FEN-less: an empty board) with cleared limits.
void resetGameRecord(GameRecord& record);

// What one search thread works on: its own copy of the game and limits, and
// the ordering tables it learns in during the search.
struct SearchThread {
    Position pos;
    SearchLimits limits;
    HistoryTable historyTable;
    CounterMoveTable counterMoves;
    uint64_t localNodes;
};

// A thread's record for a search of the game.
void prepareSearchThread(SearchThread& thread, const GameRecord& record);

// Every word the command loop and the search threads share, all accessed with
// relaxed ordering. The front end drives it through startSearchControl,
// commandStop, commandPonderhit; the main search thread raises stop for its
// own clock and limits, and done when it has answered.
// The clock limit before the first budget of a search is published.
constexpr int64_t TimeLimitUnset = 9999999;

struct SearchControl {
    std::atomic<bool> stop{false};  // every thread unwinds at once
    // Set with stop when a command ends the search ("stop", or "quit", "go",
    // "bench" or the end of input ending an unbounded one); unlike stop,
    // never by the search's own move time or clock.
    std::atomic<bool> stopCommanded{false};
    std::atomic<bool> ponderhit{false};
    // A search that may answer only after "stop" or "ponderhit": a ponder
    // search, or an untimed one without a move time, node limit or depth
    // ("go infinite", a bare "go"). Cleared by "ponderhit".
    std::atomic<bool> awaitsCommand{false};
    // A search that only a command can end: a ponder search, or an untimed one
    // without a move time or node limit whose depth limit is 100 or more
    // ("go depth 100" answers by itself but may run for ever). Cleared by
    // "ponderhit".
    std::atomic<bool> unbounded{false};
    std::atomic<bool> done{false};                   // the main thread has answered
    std::atomic<uint64_t> nodes{0};                  // published by every thread
    std::atomic<int64_t> startTime{0};               // ms of nowMs()
    std::atomic<int64_t> timeLimit{TimeLimitUnset};  // the main thread's current budget in ms
    std::atomic<int32_t> selDepth{0};
};
extern SearchControl Control;

// The iteration count a search without a depth limit runs to.
constexpr int32_t DepthUnlimited = 100;

// The start of every search, "go" or "bench": all flags lowered, the node
// count zero, the clock started now, and awaitsCommand and unbounded as the
// limits say.
void startSearchControl(const SearchLimits& limits);
// "stop": every thread unwinds, and the main thread answers.
void commandStop();
// "ponderhit": the clock now applies, and an answer is no longer held back.
void commandPonderhit();

// Main search thread, after its iterations: blocks, without spinning, until
// "stop" or "ponderhit" has come when awaitsCommand is set; returns at once
// otherwise. A ponder search whose move time ran out still waits.
void waitForStopOrPonderhit();

// Milliseconds of a monotonic process clock.
int64_t nowMs();
// Milliseconds since the search started (the "go" or the benchmark search).
inline int64_t elapsedMs() { return nowMs() - Control.startTime.load(std::memory_order_relaxed); }
