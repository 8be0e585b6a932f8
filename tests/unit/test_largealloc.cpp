// The large-table allocator: zero-filled blocks on either side of the
// huge-page threshold, aligned when large, reusable after being given back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "board/largealloc.h"

namespace {

bool allZero(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; i += 4093)
        if (p[i]) return false;
    return p[n - 1] == 0;
}

}  // namespace

TEST(LargeAlloc, BlocksAreZeroedWritableAndGivenBack) {
    // Below, at and above 2 MiB, and a size that is not a multiple of a page.
    const size_t sizes[] = {16, 4096 * 3 + 16, size_t(2) << 20, (size_t(2) << 20) + 48, size_t(5) << 20};
    for (int round = 0; round < 2; round++) {
        for (size_t bytes : sizes) {
            auto* p = static_cast<unsigned char*>(allocateLarge(bytes));
            ASSERT_NE(p, nullptr) << bytes;
            EXPECT_TRUE(allZero(p, bytes)) << bytes;
            // Every byte of the block is ours: a block reused from an earlier
            // round must come back zero-filled all the same.
            std::memset(p, 0xA5, bytes);
            EXPECT_EQ(p[bytes - 1], 0xA5);
            freeLarge(p, bytes);
        }
    }
}

TEST(LargeAlloc, LargeBlocksStartOnAHugePageBoundary) {
#if defined(__linux__)
    const size_t bytes = (size_t(16) << 20) + 48;  // the default table plus its overhang slots
    void* p = allocateLarge(bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(uintptr_t(p) % (size_t(2) << 20), 0u);
    freeLarge(p, bytes);
#endif
    freeLarge(nullptr, 123);  // nothing to give back
}

TEST(LargeAlloc, AnImpossibleSizeIsRefusedNotFaked) { EXPECT_EQ(allocateLarge(SIZE_MAX - 4096), nullptr); }
