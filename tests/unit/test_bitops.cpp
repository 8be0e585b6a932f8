#include <gtest/gtest.h>

#include "board/bitops.h"

// The bit helpers must agree in every build configuration.
TEST(BitOps, CountAndScan) {
    const Bitboard samples[] = {1ULL,
                                0x8000000000000000ULL,
                                0x0101010101010101ULL,
                                0xFFFFFFFFFFFFFFFFULL,
                                0x00000000F0000000ULL,
                                0x0000000100000000ULL};
    const int counts[] = {1, 1, 8, 64, 4, 1};
    const int lows[] = {0, 63, 0, 0, 28, 32};
    const int highs[] = {0, 63, 56, 63, 31, 32};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(popCount(samples[i]), counts[i]);
        EXPECT_EQ(lsb(samples[i]), lows[i]);
        EXPECT_EQ(msb(samples[i]), highs[i]);
    }
    for (int s = 0; s < 64; s++) {
        EXPECT_EQ(lsb(squareBB(s)), s);
        EXPECT_EQ(msb(squareBB(s)), s);
        EXPECT_EQ(lsb(~0ULL << s), s);
    }
    EXPECT_EQ(popCount(0), 0);
}
