// Bit counting and scanning. The three build configurations differ only here
// (and in the engine name): the population-count build uses the processor's
// POPCNT instruction, the other two count by clearing the lowest bit; the
// 64-bit builds scan with the processor's bit-scan instructions, the 32-bit
// build with a De Bruijn multiplication.
#pragma once

#include "board/types.h"

#if defined(OSTREVALK_32BIT)
namespace bitops_detail {
constexpr uint64_t DeBruijn = 0x0218A392CD3D5DBFULL;
struct DeBruijnTable {
    int index[64];
    constexpr DeBruijnTable() : index() {
        for (int i = 0; i < 64; i++) index[((uint64_t(1) << i) * DeBruijn) >> 58] = i;
    }
};
constexpr DeBruijnTable DeBruijnIndex{};
}  // namespace bitops_detail
#endif

inline int popCount(Bitboard b) {
#if defined(OSTREVALK_POPCOUNT)
    return __builtin_popcountll(b);
#else
    int n = 0;
    while (b) {
        b &= b - 1;
        n++;
    }
    return n;
#endif
}

// Index of the least significant set bit; b must not be empty.
inline Square lsb(Bitboard b) {
#if defined(OSTREVALK_32BIT)
    return bitops_detail::DeBruijnIndex.index[((b & (0 - b)) * bitops_detail::DeBruijn) >> 58];
#else
    return __builtin_ctzll(b);
#endif
}

// The same square as lsb, as a 64-bit index for a table lookup. On x86-64
// the scan is written out: the compiler's own form clears the result
// register first (against a false dependency on some processors) and
// sign-extends the int it returns before the lookup, two instructions more
// per blocker in the sliding-attack loop and per piece in the evaluation's
// piece loops. The encoding runs as a plain bit scan on processors without
// the newer instruction, with the same result for a set that is not empty;
// the compiler is told the range, so that a square taken from it needs no
// extension either.
inline uint64_t lsbIndex(Bitboard b) {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(OSTREVALK_32BIT)
    uint64_t index;
    asm("tzcnt %1, %0" : "=r"(index) : "rm"(b));
    if (index > 63) __builtin_unreachable();
    return index;
#else
    return uint64_t(lsb(b));
#endif
}

// Index of the most significant set bit; b must not be empty.
inline Square msb(Bitboard b) {
#if defined(OSTREVALK_32BIT)
    uint32_t high = uint32_t(b >> 32);
    if (high) return 63 - __builtin_clz(high);
    return 31 - __builtin_clz(uint32_t(b));
#else
    return 63 - __builtin_clzll(b);
#endif
}

// The first square of b met from the colour's side of the board: the lowest
// for White, the highest for Black. Of squares on one file, the one nearest
// the colour's first rank. b must not be empty.
inline Square firstFromOwnSide(int color, Bitboard b) { return color == White ? lsb(b) : msb(b); }

// Removes and returns the lowest set square of b.
inline Square popLsb(Bitboard& b) {
    Square s = lsb(b);
    b &= b - 1;
    return s;
}

inline bool moreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }
inline Bitboard squareBB(Square s) { return Bitboard(1) << s; }
