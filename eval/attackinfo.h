// The attack record built once per evaluation, before any term.
#pragma once

#include "board/types.h"

struct AttackInfo {
    Bitboard pieceAttacks[64];  // set only for squares holding a knight..queen
    Bitboard attackedBy[2];
    Bitboard attackedTwice[2];
    Bitboard kingSafeSquares[2];
    Bitboard attackedByType[2][6];
    Bitboard pinned;
};
