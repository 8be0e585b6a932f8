// Helpers shared by the endgame and KPK tests: positions from piece lists,
// their mirror images, and the KPK table built once per test binary.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "board/position.h"
#include "eval/endgame.h"
#include "test_common.h"
#include "test_init.h"

// A position is written as a list of pieces, "Ke1 Nb1 ke8": FEN letter
// (upper case White) and square.
using PieceList = std::string;

inline std::vector<std::string> piecesOf(const PieceList& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i + 3 <= list.size(); i += 4) out.push_back(list.substr(i, 3));
    return out;
}

// A FEN with the pieces on their squares and the given side to move.
inline std::string fenOf(const PieceList& list, char sideToMove) {
    char board[64] = {};
    for (const std::string& p : piecesOf(list)) board[(p[1] - 'a') * 8 + (p[2] - '1')] = p[0];
    return placementOf(board) + ' ' + sideToMove + " - - 0 1";
}

// The same game with the colours exchanged and the board turned upside
// down (rank r -> 7 - r); the caller exchanges the side to move.
inline PieceList swapColours(const PieceList& list) {
    PieceList out;
    for (const std::string& p : piecesOf(list)) {
        const char letter = p[0] >= 'a' ? p[0] - 32 : p[0] + 32;
        out += std::string(out.empty() ? "" : " ") + letter + p[1] + char('1' + '8' - p[2]);
    }
    return out;
}

// The position mirrored across the middle files (file f -> 7 - f).
inline PieceList mirrorFiles(const PieceList& list) {
    PieceList out;
    for (const std::string& p : piecesOf(list))
        out += std::string(out.empty() ? "" : " ") + p[0] + char('a' + 'h' - p[1]) + p[2];
    return out;
}

inline Position& positionOf(const std::string& fen) {
    static Position pos;
    initTestTables();
    setFromFen(fen, pos);
    return pos;
}

// Builds the KPK table once; returns the build time in milliseconds.
inline double ensureKpkBitbase() {
    static double elapsed = -1;
    if (elapsed >= 0) return elapsed;
    initTestTables();
    const auto start = std::chrono::steady_clock::now();
    buildKpkBitbase();
    const auto end = std::chrono::steady_clock::now();
    elapsed = std::chrono::duration<double, std::milli>(end - start).count();
    return elapsed;
}
