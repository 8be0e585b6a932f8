// Pseudo-legal move generation. Every generator appends moves to a list owned
// by the caller, in a fixed generation order, and returns the new count. How
// the moves are ordered for searching is the search's business.
#pragma once

#include "board/legality.h"
#include "board/position.h"

// Room for every move list of one position: the pseudo-legal moves of a side
// of at most 16 pieces (15 queens and a king: at most 15 * 27 + 8 + 2), plus
// the hash move that the search's picker puts in front.
constexpr int MaxMoves = 512;

// The kinds of move a generator call appends, each in its own order.
enum class GenKind {
    // Pushes that promote (Q, R, B, N each), then every capture: pawns
    // towards the a-file, pawns towards the h-file (promoting ones four
    // times), knights, bishops, rooks, queens, king, en passant.
    Tactical,
    // The captures of Tactical alone.
    Captures,
    // Castling (king side first), knight to king moves to empty squares, then
    // the pawn pushes that do not promote (single steps, then double steps).
    Quiets,
    // Quiet moves that check: discovered checks by pieces (not pawns), pawn
    // pushes next to the king, direct checks by knights to queens. Every one
    // lands on an empty square no enemy pawn guards.
    QuietChecks,
    // Answers to a check (ci must describe it): king steps, captures of a
    // single checker (pawns, then knights to queens), en passant, then
    // interpositions (pushes, promotion pushes, knights to queens).
    Evasions,
    // Out of check Tactical then Quiets, in check the Evasions.
    All,
};

// Appends the moves of one kind behind moves[0, count) and returns the new
// count. ci is read only for Evasions and All.
int generateMoves(GenKind kind, const Position& pos, const CheckInfo& ci, Move* moves, int count);

// Every pseudo-legal move in generation order (GenKind::All); ci must be the
// position's check information. Returns the count.
int generatePseudoLegalMoves(const Position& pos, const CheckInfo& ci, Move* moves);

// Every legal move of the position in generation order (GenKind::All).
// moves must hold MaxMoves entries. Returns the count.
int generateLegalMoves(const Position& pos, Move* moves);
