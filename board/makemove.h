// Making and unmaking moves in place, with incremental keys and an undo history.
#pragma once

#include "board/position.h"

// Plays a pseudo-legal move of the side to move (not checked).
void makeMove(Position& pos, Move m);
// Takes back the most recent makeMove.
void unmakeMove(Position& pos);
void makeNullMove(Position& pos);
void unmakeNullMove(Position& pos);

// The key of every cache: key ^ ZobristCastle[castleRights] ^ ZobristEp[epSquare].
uint64_t ttIndexKey(const Position& pos);
