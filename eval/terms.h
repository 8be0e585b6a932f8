// The evaluation terms as separate functions, for the driver (evaluate.cpp)
// and for tests that check one term family at a time. Every per-colour term is
// written once from White's view and mirrored by relative ranks, with the
// colour fixed at compile time (Us); it returns what it adds for that colour
// (positive = good for Us). withColour (board/types.h) turns a colour known
// only at run time into that template argument.
#pragma once

#include <cstdint>

#include "board/masks.h"
#include "board/position.h"
#include "board/tables.h"
#include "eval/attackinfo.h"
#include "eval/scorepair.h"

// Counts the piece terms gather about attacks on the enemy king's region,
// read by king safety. One record per attacking colour.
struct KingAttackTally {
    int32_t kingAttackWeight = 0;
    int32_t kingAttackersCount = 0;
    int32_t kingAdjacentAttacks = 0;
};

// Files c..f on the own ranks 2..4 (White) or 7..5 (Black).
constexpr Bitboard SpaceZone[2] = {fileSpan(2, 5) & rankSpan(1, 3), fileSpan(2, 5) & rankSpan(4, 6)};

// Game phase 0..256 from the non-pawn material of both sides.
int gamePhase(const Position& pos);

// AttackInfo of the position (both colours, then the pins).
void buildAttackInfo(const Position& pos, AttackInfo& ai);

// Pawn structure of Us; its passed pawns go into `passed`.
template <int Us>
ScorePair evaluatePawns(const Position& pos, Bitboard& passed);

// Passed pawns of Us (the set found by evaluatePawns).
template <int Us>
ScorePair evaluatePassedPawns(const AttackInfo& ai, const Position& pos, Bitboard passed);

// Number of White pawns blocked head-on by a Black pawn.
int countPawnRams(const Position& pos);

// Knights, bishops, rooks and queens of Us; `tally` is set to the attacks they
// (and Us's pawns) aim at the enemy king's zone, whatever it held before. (The
// piece-square sums are the driver's.)
template <int Us>
ScorePair evaluatePieces(const Position& pos, const AttackInfo& ai, KingAttackTally& tally, int pawnRams);

// Squares around the enemy king that an attacker of `color` aims at.
Bitboard kingAttackZone(const Position& pos, int color);

// Pawn shelter of `color`'s king if it stood on `kingSq`; higher is safer.
int kingShelter(const Position& pos, int color, Square kingSq);

// King safety of Us's king (middle game only), using the tally the enemy's
// piece terms gathered. Reads and updates this thread's shelter memo.
template <int Us>
int evaluateKingSafety(const AttackInfo& ai, const Position& pos, const KingAttackTally& enemyTally);

// The king shelters computed on this thread: each key (of the pawns, the
// castling rights and one king's square) in the slot its low bits choose,
// with the shelter found for it. An empty slot holds key 0.
struct ShelterMemo {
    static constexpr int Size = 4096;
    uint64_t key[Size] = {};
    int32_t score[Size] = {};
    static int slot(uint64_t key) { return int(key & (Size - 1)); }
};
ShelterMemo& shelterMemo();

inline uint64_t shelterMemoKey(const Position& pos, int color) {
    return pos.pawnKey ^ ZobristCastle[pos.castleRights] ^ ZobristPiece[color][King][pos.kingSquare[color]];
}

// Attacks of Us on enemy units that no enemy pawn defends.
template <int Us>
ScorePair evaluateThreats(const AttackInfo& ai, const Position& pos);

// Space behind and in front of Us's pawn chain (full middle game only).
template <int Us>
int evaluateSpace(const AttackInfo& ai, const Position& pos);

// The king-danger table: danger index 0..99 to a middle-game penalty, built
// by initKingDanger (part of initEvaluation).
extern int32_t KingDanger[100];
void initKingDanger();
