// Console commands for a person at a terminal: "display", "hash", "eval" and
// "trace". None of them changes any state.
#pragma once

#include <string>

#include "board/position.h"

// The eleven lines of "display", each ended by a line feed: the board seen
// from Black's side, rank 1 at the top and file h on the left.
std::string boardText(const Position& pos);

void displayCommand(const Position& pos);
// The complete key of the position (the key of every cache) in decimal.
void hashCommand(const Position& pos);
// Accepted and silent.
void evalCommand();
// Every evaluation term of the position.
void traceCommand(Position& pos);
