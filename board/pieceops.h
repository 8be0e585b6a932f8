// The board part of moving a piece, shared by movePiece (position.h) and by
// making and unmaking moves, which inline it: it runs twice per move searched.
#pragma once

#include "board/bitops.h"
#include "board/position.h"
#include "board/tables.h"

// The middle-game chart is written from White's side and read turned by 180
// degrees for Black: 63 - s, which is s with every bit flipped.
inline Square pstSquare(int color, Square s) { return s ^ (color * 63); }

// Bitboard, board, count, piece-square and king-square parts of putPiece and
// removePiece: unmaking restores keys and material from the undo record instead.
inline void placeOnBoard(Position& pos, int type, int color, Square s) {
    Bitboard b = squareBB(s);
    pos.pieceBB[color][type] |= b;
    pos.colorBB[color] |= b;
    pos.board[s] = type;
    pos.pieceCount[color][type] += 1;
    pos.pstA[color] += PieceSquareMg[type][pstSquare(color, s)];
    pos.pstB[color] += PieceSquareEg[type][s];
    if (type == King) pos.kingSquare[color] = s;
}

inline void liftFromBoard(Position& pos, int type, int color, Square s) {
    Bitboard b = squareBB(s);
    pos.pieceBB[color][type] &= ~b;
    pos.colorBB[color] &= ~b;
    pos.board[s] = NoPiece;
    pos.pieceCount[color][type] -= 1;
    pos.pstA[color] -= PieceSquareMg[type][pstSquare(color, s)];
    pos.pstB[color] -= PieceSquareEg[type][s];
}

inline void shiftOnBoard(Position& pos, int type, int color, Square from, Square to) {
    const Bitboard fromTo = squareBB(from) | squareBB(to);
    pos.pieceBB[color][type] ^= fromTo;
    pos.colorBB[color] ^= fromTo;
    pos.board[from] = NoPiece;
    pos.board[to] = type;
    const Square mgFrom = pstSquare(color, from), mgTo = pstSquare(color, to);
    pos.pstA[color] += PieceSquareMg[type][mgTo] - PieceSquareMg[type][mgFrom];
    pos.pstB[color] += PieceSquareEg[type][to] - PieceSquareEg[type][from];
    if (type == King) pos.kingSquare[color] = to;
}
