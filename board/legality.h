// Check information, attack tests, legality of pseudo-legal moves, validation
// of moves that did not come from the generator, the gives-check test and
// draw detection.
#pragma once

#include "board/position.h"

struct CheckInfo {
    int32_t checkerCount;
    int32_t checkers[3];
    Bitboard kingDanger;
    Bitboard blockers;
};

// Fills ci for the side to move; ci is cleared here first.
void computeCheckInfo(CheckInfo& ci, const Position& pos);
bool isSquareAttacked(Square q, int color, const Position& pos);
Bitboard sliderBlockers(Square q, int color, const Position& pos);
// For a pseudo-legal move of the side to move. Leaves the position as it is.
bool isLegal(Move m, Position& pos, const CheckInfo& ci);
// The same test on a position that must not change (the en-passant case is
// worked out on the occupancy instead of by making the move).
bool isLegal(Move m, const Position& pos, const CheckInfo& ci);
// For any 32-bit value offered as a move (hash move, killer): true only for a
// move the generator would produce here (an evasion when in check), with the
// legality test already applied to castling, en passant and promotions. Every
// field is range checked before it is used as an index.
bool isPseudoLegal(Move m, Position& pos, const CheckInfo& ci);
bool givesCheck(Move m, Position& pos);
bool discoveredCheckBy(Square k, Square from, int color, const Position& pos);
bool isDraw(const Position& pos);
