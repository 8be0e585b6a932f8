// The board part of moving a piece, shared by movePiece (position.h) and by
// making and unmaking moves, which inline it: it runs twice per move searched.
#pragma once

#include "board/bitops.h"
#include "board/position.h"

inline void shiftOnBoard(Position& pos, int type, int color, Square from, Square to) {
    const Bitboard fromTo = squareBB(from) | squareBB(to);
    pos.pieceBB[color][type] ^= fromTo;
    pos.colorBB[color] ^= fromTo;
    pos.board[from] = NoPiece;
    pos.board[to] = type;
    // The middle-game chart is written from White's side and mirrored for Black.
    const Square mgFrom = color == White ? from : 63 - from, mgTo = color == White ? to : 63 - to;
    pos.pstA[color] += PieceSquareMg[type][mgTo] - PieceSquareMg[type][mgFrom];
    pos.pstB[color] += PieceSquareEg[type][to] - PieceSquareEg[type][from];
    if (type == King) pos.kingSquare[color] = to;
}
