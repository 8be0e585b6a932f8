// Helpers for every unit test that works with positions: the start-up
// tables, the start position and squares by name.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "board/bitops.h"
#include "board/movetext.h"
#include "board/position.h"
#include "test_init.h"

// The square named "a1" .. "h8".
inline Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// The set of the squares named.
inline Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= squareBB(sq(n));
    return b;
}

// A position set up from a FEN, on the heap (a Position is large: its undo
// history).
inline std::unique_ptr<Position> fromFen(const std::string& fen) {
    auto pos = std::make_unique<Position>();
    setFromFen(fen, *pos);
    return pos;
}

// The moves as the engine writes them.
inline std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> out;
    for (Move m : moves) out.push_back(moveToText(m));
    return out;
}

// The piece-placement field of a FEN for a board of FEN letters indexed by
// square (0: empty).
inline std::string placementOf(const char board[64]) {
    std::string fen;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            const char c = board[makeSquare(file, rank)];
            if (!c) {
                empty++;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += char('0' + empty);
        if (rank > 0) fen += '/';
    }
    return fen;
}
