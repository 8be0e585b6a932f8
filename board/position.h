// The position record: piece placement, side to move, castling rights,
// en-passant square, counters, Zobrist keys, incremental material and
// piece-square sums, and the undo history used for unmaking and repetitions.
#pragma once

#include <string>

#include "board/types.h"

// The position every game starts from.
extern const char StartFen[];

constexpr int HistoryCapacity = 1024;
// compactHistory keeps this many records free for the deepest search line
// (100 plies plus null moves) ...
constexpr int HistoryReserve = 200;
// ... and keeps at most this many: a repetition never reaches back further
// than the half-move clock, and past 100 plies the game is drawn anyway.
constexpr int HistoryKeptAfterCompaction = 102;

struct UndoRecord {
    uint64_t key;
    uint64_t pawnKey;
    uint64_t cacheKey;
    int32_t castleRights;
    int32_t epSquare;
    int32_t rule50;
    int32_t nonPawnMaterial[2];
    int32_t pstA[2];
    int32_t pstB[2];
    int32_t move;
};

struct Position {
    Bitboard pieceBB[2][6];
    int32_t board[64];
    int32_t pieceCount[2][6];
    uint8_t sideToMove;
    Bitboard occupied;
    Bitboard colorBB[2];
    int32_t kingSquare[2];
    UndoRecord history[HistoryCapacity];
    int32_t historyLength;
    uint64_t key;
    uint64_t pawnKey;
    // The key of every cache: key with the castling rights and the
    // en-passant square folded in (see ttIndexKey), set after every change.
    uint64_t cacheKey;
    int32_t castleRights;
    int32_t epSquare;
    int32_t rule50;
    int32_t nonPawnMaterial[2];
    // Per colour, the sums of the piece-square tables over its pieces: pstA
    // the middle-game table (read from the colour's own side), pstB the
    // end-game table (read at the plain square).
    int32_t pstA[2];
    int32_t pstB[2];
    // Number of old undo records dropped to make room in a long game (see
    // compactHistory); historyLength + historyDropped is the game ply.
    int32_t historyDropped;
};

// The sliders of a colour that move along diagonals, and along ranks and files.
inline Bitboard bishopsAndQueens(const Position& pos, int color) {
    return pos.pieceBB[color][Bishop] | pos.pieceBB[color][Queen];
}
inline Bitboard rooksAndQueens(const Position& pos, int color) {
    return pos.pieceBB[color][Rook] | pos.pieceBB[color][Queen];
}

// Piece-square tables, White's view, indexed [piece type][square]. The
// evaluation fills them at start-up (initEvaluation), before any position is
// set up.
extern int32_t PieceSquareMg[6][64];
extern int32_t PieceSquareEg[6][64];

// Empties the position (the SearchLimits of the holding record are cleared
// by the caller, see resetSearchRecord).
void resetPosition(Position& pos);

// Sets the position up from FEN text, trusting it (as the search and the
// benchmark do with their own texts). Never reads or writes out of bounds,
// whatever the text holds.
void setFromFen(const std::string& fen, Position& pos);

// Validating set-up for text from outside: parses into a scratch position and
// copies it into pos only when the FEN is sound (only allowed characters,
// exactly 64 squares, one king per side, no pawns on the first or last rank,
// the side not to move not in check, an en-passant field on the board).
// Returns false and leaves pos untouched otherwise.
bool setFromFenChecked(const std::string& fen, Position& pos);

// Folds the castling rights and en-passant square into the cache key; called
// whenever the key, the rights or the square have changed.
void updateCacheKey(Position& pos);

void putPiece(Position& pos, int type, int color, Square s);
void removePiece(Position& pos, int type, int color, Square s);
// Moves a piece between squares: its bitboards, board entries, square sums
// and king square, but not the keys, material or counts (a move changes none
// of them). Not to be confused with movePiece(Move), which reads the moving
// piece's type out of a move code.
void movePiece(Position& pos, int type, int color, Square from, Square to);

// Drops undo records that can never take part in a repetition (those older
// than the last irreversible move) when the history is nearly full, so that a
// game of any length fits. Called by the front end after each game move.
void compactHistory(Position& pos);

// Recomputes every incremental field from the board and compares; used by tests
// and debug self-checks.
bool positionIsConsistent(const Position& pos);
