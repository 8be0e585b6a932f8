// Leaf counts of the legal move tree, using the search's own generators and
// legality test.
#pragma once

#include "board/position.h"

uint64_t perft(Position& pos, int depth);
