// How the search speaks to the outside world. The search formats no text: it
// hands its figures to the functions the front end installs at start-up (the
// protocol's "info" and "bestmove" lines). A hook left null is not called.
#pragma once

#include <cstdint>

#include "board/types.h"

// The figures shown with every line.
struct SearchProgress {
    int depth;
    int selDepth;    // never below depth
    uint64_t nodes;  // of every thread so far
    int64_t timeMs;  // since the search started, at least 1
    int hashfull;    // per mille of the table in use
};

struct SearchReporter {
    // The final line of one principal variation (multiPv counts from 1).
    void (*line)(const SearchProgress& progress, int multiPv, int score, const Move* pv, int pvLength);
    // A failed aspiration of a single-line search: the bound and the move now first.
    void (*bound)(const SearchProgress& progress, int score, bool lower, Move first);
    // The answer: best is MoveNone when there is no legal move, ponder is
    // MoveNone when there is no reply to suggest.
    void (*bestMove)(Move best, Move ponder);
};

extern SearchReporter Reporter;
