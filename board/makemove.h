// Making and unmaking moves in place, with incremental keys and an undo history.
#pragma once

#include "board/position.h"
#include "board/tables.h"

// Plays a pseudo-legal move of the side to move (not checked). Returns
// whether the new cache key is the one cacheKeyAfter foretold (below).
bool makeMove(Position& pos, Move m);
// Takes back the most recent makeMove.
void unmakeMove(Position& pos);
void makeNullMove(Position& pos);
void unmakeNullMove(Position& pos);

// The key of every cache, the transposition table's and the evaluation
// cache's alike (the name is the one the table gave it first): the
// position's key with its castling rights and en-passant square folded in.
inline uint64_t ttIndexKey(const Position& pos) { return pos.cacheKey; }

// The cache key the position will have once m is played, worked out without
// playing it, so that what the child reads first can be fetched early.
// Exact for ordinary moves, captures and promotions that leave the castling
// rights as they are; castling, lost rights, the pawn an en-passant capture
// takes and the passed square of a double push are left out (an early fetch
// of the wrong entry costs a memory read, nothing else).
//
// What every move of one position shares is gathered once (KeyAfterBase):
// the key with the side to move flipped and the en-passant square taken out,
// and the piece keys of each colour.
struct KeyAfterBase {
    uint64_t key;
    const uint64_t (*own)[64];
    const uint64_t (*enemy)[64];
};

inline KeyAfterBase keyAfterBase(const Position& pos) {
    const int us = pos.sideToMove;
    return {pos.cacheKey ^ ZobristSide ^ zobristEp(pos.epSquare), ZobristPiece[us], ZobristPiece[us ^ 1]};
}

inline uint64_t cacheKeyAfter(const KeyAfterBase& base, Move m) {
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = movePiece(m), captured = moveCaptured(m), promotion = movePromotion(m);
    uint64_t k = base.key ^ base.own[piece][from] ^ base.own[promotion == NoPiece ? piece : promotion][to];
    if (captured != NoPiece) k ^= base.enemy[captured][to];
    return k;
}

inline uint64_t cacheKeyAfter(const Position& pos, Move m) { return cacheKeyAfter(keyAfterBase(pos), m); }

// The pawn key the position will have once m is played (with the pawn an
// en-passant capture takes on the target square, as above).
inline uint64_t pawnKeyAfter(const Position& pos, Move m) {
    const int us = pos.sideToMove;
    const Square from = moveFrom(m), to = moveTo(m);
    uint64_t k = pos.pawnKey;
    if (movePiece(m) == Pawn) {
        k ^= ZobristPiece[us][Pawn][from];
        if (movePromotion(m) == NoPiece) k ^= ZobristPiece[us][Pawn][to];
    }
    if (moveCaptured(m) == Pawn) k ^= ZobristPiece[us ^ 1][Pawn][to];
    return k;
}
