// Static evaluation from the side to move's view, with the evaluation cache.
#pragma once

#include <string>

#include "board/position.h"

// The only entry point of the evaluation. Reads the position and writes only
// the two caches and this thread's king-shelter memo.
Score evaluate(const Position& pos);

// Builds the evaluation's start-up tables: the king-danger table and the
// piece-square tables whose sums the position keeps, so it must run before
// any position is set up. (The KPK table, slow to build, has buildKpkBitbase.)
void initEvaluation();

// A readable table of every evaluation term for the "trace" command; its last
// line is "Final evaluation: <v> (<cp> cp, side to move)". Produced by the very
// code that evaluate runs.
std::string traceEvaluation(const Position& pos);
