// Check information, attack tests, legality of pseudo-legal moves, validation
// of moves that did not come from the generator, the gives-check test and
// draw detection.
#pragma once

#include "board/position.h"
#include "board/tables.h"

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
bool discoveredCheckBy(Square k, Square from, int color, const Position& pos);
// Plays the move and looks: for the moves that change the board in more than
// one place (promotions, en passant, castling).
[[gnu::noinline]] bool givesCheckByPlaying(Move m, Position& pos);

// Whether a pseudo-legal move of the side to move checks the enemy king. The
// common case is a few table lookups, inlined into the search's move loops;
// the rare moves that change more than one square are played and looked at.
inline bool givesCheck(Move m, Position& pos) {
    const int us = pos.sideToMove;
    const int piece = movePiece(m);
    const Square from = moveFrom(m), to = moveTo(m);
    const Square k = pos.kingSquare[us ^ 1];
    // Direct check, judged on the occupancy before the move.
    if (piece == Pawn) {
        if (isPromotion(m) || to == pos.epSquare) return givesCheckByPlaying(m, pos);
        if (PawnAttacks[us][to] & squareBB(k)) return true;
    } else {
        if (piece == King && Distance[from][to] == 2) return givesCheckByPlaying(m, pos);
        if ((PseudoAttacks[piece][to] & squareBB(k)) && !(Between[to][k] & pos.occupied)) return true;
    }
    // Discovered check: the piece leaves the line between the king and a
    // slider. Most pieces stand on no line through the king at all.
    if (!(PseudoAttacks[Queen][k] & squareBB(from))) return false;
    if (!(RayThrough[k][from] & squareBB(to))) return discoveredCheckBy(k, from, us, pos);
    return false;
}
bool isDraw(const Position& pos);
