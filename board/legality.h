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

// Whether a castling right's way is open: nothing between its king and rook,
// and the square the king crosses (the rook's target) not attacked by the
// other side. The right itself, the men at home and check are the caller's.
inline bool castlingPathClear(const Position& pos, int right) {
    const int32_t* info = CastleInfo[right];
    return !(Between[info[0]][info[2]] & pos.occupied) && !isSquareAttacked(info[3], (right >> 1) ^ 1, pos);
}

// The pieces (of either colour) that alone stand between q and a slider of
// color that would otherwise attack it.
inline Bitboard sliderBlockers(Square q, int color, const Position& pos) {
    Bitboard result = 0;
    Bitboard sliders = (PseudoAttacks[Bishop][q] & bishopsAndQueens(pos, color)) |
                       (PseudoAttacks[Rook][q] & rooksAndQueens(pos, color));
    while (sliders) {
        const Bitboard between = Between[popLsb(sliders)][q] & pos.occupied;
        if (between && !moreThanOne(between)) result |= between;
    }
    return result;
}

// An en-passant capture takes two pieces off one rank at once, which no pin
// test sees: whether the mover's king is safe on the board after it.
bool enPassantKeepsKingSafe(Move m, const Position& pos);

// For a pseudo-legal move of the side to move; the position does not change
// (the en-passant case is worked out on the occupancy instead of by making
// the move).
inline bool isLegal(Move m, const Position& pos, const CheckInfo& ci) {
    const int us = pos.sideToMove;
    const int piece = movePiece(m);
    const Square from = moveFrom(m), to = moveTo(m);
    // The king may not step onto an attacked square. Lines through the king
    // itself are covered: out of check none exists, in check the evasion
    // generator keeps the king off them.
    if (piece == King) return !isSquareAttacked(to, us ^ 1, pos);
    if (piece == Pawn && to == pos.epSquare) return enPassantKeepsKingSafe(m, pos);
    // A pinned piece may only move along its pin line.
    if ((ci.blockers >> from) & 1) return (RayThrough[pos.kingSquare[us]][from] >> to) & 1;
    return true;
}
inline bool isLegal(Move m, Position& pos, const CheckInfo& ci) {
    return isLegal(m, static_cast<const Position&>(pos), ci);
}
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
        if ((PawnAttacks[us][to] >> k) & 1) return true;
    } else {
        if (piece == King && Distance[from][to] == 2) return givesCheckByPlaying(m, pos);
        if (((PseudoAttacks[piece][to] >> k) & 1) && !(Between[to][k] & pos.occupied)) return true;
    }
    // Discovered check: the piece leaves the line between the king and a
    // slider. Most pieces stand on no line through the king at all.
    if (!((PseudoAttacks[Queen][k] >> from) & 1)) return false;
    if (!((RayThrough[k][from] >> to) & 1)) return discoveredCheckBy(k, from, us, pos);
    return false;
}

// The fifty-move rule: a draw once more than 100 plies passed without a
// capture or pawn move. Not at 100 itself: a move that completes the hundred
// plies and mates wins, so that position is still searched (without a legal
// move it scores as mate), and every quiet continuation from it reaches 101.
constexpr int DrawRule50Plies = 100;
// Less non-pawn material than a rook and no pawns: nobody can mate.
constexpr int DrawMaterialLimit = NonPawnValue[Rook];
// The first earlier position that can repeat the current one lies four plies back.
constexpr int RepetitionFirstDistance = 4;

inline bool isDraw(const Position& pos) {
    if (pos.rule50 > DrawRule50Plies) return true;
    if (pos.nonPawnMaterial[White] + pos.nonPawnMaterial[Black] < DrawMaterialLimit &&
        !(pos.pieceBB[White][Pawn] | pos.pieceBB[Black][Pawn]))
        return true;
    // Only positions with the same side to move, since the last irreversible
    // move, can repeat this one.
    for (int distance = RepetitionFirstDistance; distance <= pos.rule50 && pos.historyLength - distance >= 0;
         distance += 2)
        if (pos.history[pos.historyLength - distance].key == pos.key) return true;
    return false;
}
