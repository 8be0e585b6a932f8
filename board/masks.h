// Fixed square sets that need no table. Squares are numbered file-major
// (square = file * 8 + rank), so a file is one byte and a rank one bit of
// every byte.
#pragma once

#include "board/types.h"

constexpr Bitboard Rank1Mask = 0x0101010101010101ULL;
constexpr Bitboard Rank8Mask = Rank1Mask << 7;
constexpr Bitboard FileAMask = 0xFFULL;
constexpr Bitboard FileHMask = FileAMask << 56;
// Files a and h, where a pawn has a neighbouring file on one side only.
constexpr Bitboard RookFilesMask = FileAMask | FileHMask;
// The 28 squares of the board's rim.
constexpr Bitboard EdgeMask = RookFilesMask | Rank1Mask | Rank8Mask;

// Ranks first..last (0 = rank 1) on every file: the same bits of every byte.
constexpr Bitboard rankSpan(int first, int last) { return Rank1Mask * ((0xFFULL >> (7 - last)) & (0xFFULL << first)); }
// Files first..last (0 = file a): a run of whole bytes.
constexpr Bitboard fileSpan(int first, int last) { return (~0ULL >> (8 * (7 - last))) & (~0ULL << (8 * first)); }
// a1 is dark; with file-major numbering the pattern alternates per byte.
constexpr Bitboard DarkSquareMask = 0xAA55AA55AA55AA55ULL;
