// Board geometry tables and Zobrist keys, built once by initBoardTables
// before any position exists and read-only afterwards (safe for every thread).
#pragma once

#include "board/bitops.h"
#include "board/types.h"

extern Bitboard FileMask[8];
extern Bitboard RelativeRankMask[2][8];
extern Bitboard AdjacentFilesMask[8];
extern Bitboard ForwardRanksMask[2][8];
extern Bitboard ForwardFile[2][64];
extern Bitboard PawnAttackSpan[2][64];
extern Bitboard PassedPawnMask[2][64];
extern Bitboard PawnSupportMask[2][64];
extern Bitboard KingZone[2][64];
extern Bitboard PawnAttacks[2][64];
extern Bitboard PawnPushes[2][64];
extern Bitboard PseudoAttacks[6][64];
extern Bitboard PseudoAttacksBySquare[64][6];
extern Bitboard BlockerMask[6][64];
extern Bitboard Between[64][64];
extern Bitboard Beyond[64][64];
// Its complement: every square but those Beyond[s][b], for the sliding-attack loop.
extern Bitboard NotBeyond[64][64];
extern Bitboard RayThrough[64][64];
extern int32_t Distance[64][64];
extern Bitboard DistanceRing[64][8];
extern int32_t CastleMask[64];
// Per right in K, Q, k, q order: king from, king to, rook from, rook to.
extern int32_t CastleInfo[4][4];
// The right (the index into CastleInfo) that a castling king move of a colour
// from one square to another uses: towards the h-file the king side.
inline int castleRightIndex(int color, Square from, Square to) { return color * 2 + (to <= from ? 1 : 0); }

extern uint64_t ZobristPiece[2][6][64];
extern uint64_t ZobristCastle[16];
// ZobristEp is indexed by square + 1 through zobristEp(), so that NoSquare reads 0.
extern uint64_t ZobristEpTable[65];
extern uint64_t ZobristSide;

inline uint64_t zobristEp(Square s) { return ZobristEpTable[s + 1]; }

// Builds every table above. Called once, first thing at start-up.
void initBoardTables();

// Attack set of a knight, bishop, rook, queen or king on s for occupancy occ:
// the pseudo-attacks with the squares beyond every blocker removed. The first
// occupied square of each ray is included, whatever its colour. The rows are
// kept complemented (NotBeyond), so that each blocker costs one mask.
inline Bitboard attacksFrom(int type, Square s, Bitboard occ) {
    Bitboard attacks = PseudoAttacks[type][s];
    const Bitboard* const notBeyond = NotBeyond[s];
    for (Bitboard blockers = BlockerMask[type][s] & occ; blockers; blockers &= blockers - 1)
        attacks &= notBeyond[lsbIndex(blockers)];
    return attacks;
}
