// Static evaluation from the side to move's view, with the evaluation cache.
#pragma once

#include <string>

#include "board/position.h"

// The only entry point of the evaluation. Reads the position and writes only
// the two caches and the king-shelter memo held in the position.
Score evaluate(Position& pos);

// Builds the king-danger table (called at start-up with the search tables).
void initKingDanger();

// A readable table of every evaluation term for the "trace" command; its last
// line is "Final evaluation: <v> (<cp> cp, side to move)". Produced by the very
// code that evaluate runs.
std::string traceEvaluation(Position& pos);
