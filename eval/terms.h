// The evaluation terms as separate functions, for the driver (evaluate.cpp)
// and for tests that check one term family at a time. Every per-colour term is
// written from White's view and mirrored by relative ranks; each adds into the
// accumulators it is given (positive = good for the colour that owns them).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/attackinfo.h"

// Counts the piece terms gather about attacks on the enemy king's region,
// read by king safety. One record per attacking colour.
struct KingAttackTally {
    int32_t kingAttackWeight;
    int32_t kingAttackersCount;
    int32_t kingAdjacentAttacks;
};

// Files c..f on the own ranks 2..4 (White) or 7..5 (Black).
constexpr Bitboard SpaceZone[2] = {0x00000E0E0E0E0000ULL, 0x0000707070700000ULL};
constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ULL;

// Game phase 0..256 from the non-pawn material of both sides.
int gamePhase(const Position& pos);

// AttackInfo of the position (both colours, then the pins).
void buildAttackInfo(const Position& pos, AttackInfo& ai);

// Pawn structure of one colour, passed pawns into `passed`.
void evaluatePawns(const Position& pos, int color, int& mg, int& eg, Bitboard& passed);

// Passed pawns of one colour (the set found by evaluatePawns).
void evaluatePassedPawns(const AttackInfo& ai, const Position& pos, int color, int& mg, int& eg,
                         Bitboard passed);

// Number of White pawns blocked head-on by a Black pawn.
int countPawnRams(const Position& pos);

// Knights, bishops, rooks and queens of one colour, their piece-square sums,
// and the tally of their attacks on the enemy king's zone.
void evaluatePieces(const Position& pos, const AttackInfo& ai, int color, int& mg, int& eg,
                    KingAttackTally& tally, int pawnRams);

// Squares around the enemy king that an attacker of `color` aims at.
Bitboard kingAttackZone(const Position& pos, int color);

// Pawn shelter of `color`'s king if it stood on `kingSq`; higher is safer.
int kingShelter(const Position& pos, int color, Square kingSq);

// King safety of `color`'s king (middle game only), using the tally the
// enemy's piece terms gathered. Updates the shelter memo in the position.
void evaluateKingSafety(const AttackInfo& ai, Position& pos, int color, int& mg,
                        const KingAttackTally& enemyTally);

// Attacks of `color` on enemy units that no enemy pawn defends.
void evaluateThreats(const AttackInfo& ai, const Position& pos, int color, int& mg, int& eg);

// Space behind and in front of `color`'s pawn chain (full middle game only).
void evaluateSpace(const AttackInfo& ai, const Position& pos, int color, int& mg);

// The king-danger table: danger index 0..99 to a middle-game penalty.
extern int32_t KingDanger[100];
