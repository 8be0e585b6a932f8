// Static exchange evaluation.
#pragma once

#include "board/position.h"

int seeRecapture(const Position& pos, Bitboard& occ, int side, Square q, int type);
int see(Move m, const Position& pos, int side, Bitboard occ);
int seeFast(Move m, const Position& pos, int side, Bitboard occ);
