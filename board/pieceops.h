// The board part of moving a piece, shared by movePiece (position.h) and by
// making and unmaking moves, which inline it: it runs twice per move searched.
#pragma once

#include "board/bitops.h"
#include "board/position.h"
#include "board/tables.h"

// The men alone: bitboards, board and counts. Unmaking needs no more, since
// everything else comes back from the undo record.
inline void placeMan(Position& pos, int type, int color, Square s) {
    const Bitboard b = squareBB(s);
    pos.pieceBB[color][type] |= b;
    pos.colorBB[color] |= b;
    pos.board[s] = type;
    pos.pieceCount[color][type] += 1;
}

inline void liftMan(Position& pos, int type, int color, Square s) {
    const Bitboard b = squareBB(s);
    pos.pieceBB[color][type] &= ~b;
    pos.colorBB[color] &= ~b;
    pos.board[s] = NoPiece;
    pos.pieceCount[color][type] -= 1;
}

inline void shiftMan(Position& pos, int type, int color, Square from, Square to) {
    const Bitboard fromTo = squareBB(from) | squareBB(to);
    pos.pieceBB[color][type] ^= fromTo;
    pos.colorBB[color] ^= fromTo;
    pos.board[from] = NoPiece;
    pos.board[to] = type;
}

// The same with the piece-square sums and the king square: the board part of
// putPiece and removePiece (keys and material are theirs). The middle-game
// chart is written from White's side and read through relativeSquare.
inline void placeOnBoard(Position& pos, int type, int color, Square s) {
    placeMan(pos, type, color, s);
    pos.pstA[color] += PieceSquareMg[type][relativeSquare(color, s)];
    pos.pstB[color] += PieceSquareEg[type][s];
    if (type == King) pos.kingSquare[color] = s;
}

inline void liftFromBoard(Position& pos, int type, int color, Square s) {
    liftMan(pos, type, color, s);
    pos.pstA[color] -= PieceSquareMg[type][relativeSquare(color, s)];
    pos.pstB[color] -= PieceSquareEg[type][s];
}

inline void shiftOnBoard(Position& pos, int type, int color, Square from, Square to) {
    shiftMan(pos, type, color, from, to);
    pos.pstA[color] +=
        PieceSquareMg[type][relativeSquare(color, to)] - PieceSquareMg[type][relativeSquare(color, from)];
    pos.pstB[color] += PieceSquareEg[type][to] - PieceSquareEg[type][from];
    if (type == King) pos.kingSquare[color] = to;
}
