// Making and unmaking moves in place, with incremental keys and an undo history.
#pragma once

#include "board/position.h"
#include "board/tables.h"

// Plays a pseudo-legal move of the side to move (not checked).
void makeMove(Position& pos, Move m);
// Takes back the most recent makeMove.
void unmakeMove(Position& pos);
void makeNullMove(Position& pos);
void unmakeNullMove(Position& pos);

// The key of every cache: the position's key with its castling rights and
// en-passant square folded in.
inline uint64_t ttIndexKey(const Position& pos) { return pos.cacheKey; }
