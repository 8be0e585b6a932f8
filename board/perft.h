// Leaf counts of the legal move tree, using the search's own generators and
// legality test.
#pragma once

#include "board/position.h"

// depth < 1 counts the position itself. Plays up to depth - 1 moves, which the
// history must have room for.
uint64_t perft(Position& pos, int depth);
