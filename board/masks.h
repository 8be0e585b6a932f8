// Fixed square sets that need no table. Squares are numbered file-major
// (square = file * 8 + rank), so a file is one byte and a rank one bit of
// every byte.
#pragma once

#include "board/types.h"

constexpr Bitboard Rank1Mask = 0x0101010101010101ULL;
constexpr Bitboard Rank8Mask = Rank1Mask << 7;
constexpr Bitboard FileAMask = 0xFFULL;
constexpr Bitboard FileHMask = FileAMask << 56;
// a1 is dark; with file-major numbering the pattern alternates per byte.
constexpr Bitboard DarkSquareMask = 0xAA55AA55AA55AA55ULL;
