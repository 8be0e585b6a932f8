// Static exchange evaluation.
#pragma once

#include "board/position.h"

// What side gains by going on with the exchange on q, where a piece of the
// given type has just captured, through occupancy occ (0 if it stops). Each
// step of the exchange takes occ by value, so that it stays in a register.
int seeRecapture(const Position& pos, Bitboard occ, int side, Square q, int type);
int see(Move m, const Position& pos, int side, Bitboard occ);
// A capture of a piece worth at least the capturer never loses material:
// 1 for those without looking further, the exchange value otherwise. Asked
// for most moves of a search, so the first test is inlined.
inline int seeFast(Move m, const Position& pos, int side, Bitboard occ) {
    if (CaptureValue[pos.board[moveFrom(m)]] <= CaptureValue[pos.board[moveTo(m)]]) return 1;
    return see(m, pos, side, occ);
}
