// The console command "perft N": the leaf count below each legal move of the
// current position, then the total.
#pragma once

#include <istream>

#include "board/position.h"

// Reads N from words (missing, unreadable or below 1 means 1), prints one
// "<move>: <count>" line per legal move in generation order, an empty line and
// "Nodes searched: <total>". The position is left as it was.
void perftCommand(std::istream& words, Position& pos);
