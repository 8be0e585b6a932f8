// Helpers for every unit test that works with positions: the start-up
// tables, the start position and squares by name.
#pragma once

#include <string>

#include "board/position.h"
#include "test_init.h"

// The square named "a1" .. "h8".
inline Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

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
