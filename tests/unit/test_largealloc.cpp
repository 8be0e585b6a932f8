// The large-table allocator: zero-filled blocks on either side of the
// huge-page threshold, aligned when large, reusable after being given back,
// every page present before use, cleared in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "board/largealloc.h"
#include "eval/cache.h"
#include "search/tt.h"

namespace {

bool allZero(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; i += 4093)
        if (p[i]) return false;
    return p[n - 1] == 0;
}

// Every page of the block is present in memory (not to be faulted in by its
// first use). Where residency cannot be asked, true.
bool allResident(const void* block, size_t bytes) {
#if defined(__linux__)
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = uintptr_t(block) & ~uintptr_t(page - 1);
    const size_t length = uintptr_t(block) + bytes - first;
    std::vector<unsigned char> present((length + page - 1) / page);
    if (mincore(reinterpret_cast<void*>(first), length, present.data()) != 0) return false;
    for (unsigned char p : present)
        if (!(p & 1)) return false;
#else
    (void)block;
    (void)bytes;
#endif
    return true;
}

// Every test may change the allocator's settings: they are put back after it.
class LargeAllocator : public ::testing::Test {
protected:
    void TearDown() override { LargeAlloc = saved; }
    LargeAllocSettings saved = LargeAlloc;
};

}  // namespace

TEST_F(LargeAllocator, BlocksAreZeroedWritableAndGivenBack) {
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

TEST_F(LargeAllocator, LargeBlocksStartOnAHugePageBoundary) {
#if defined(__linux__)
    const size_t bytes = (size_t(16) << 20) + 48;  // the default table plus its overhang slots
    void* p = allocateLarge(bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(uintptr_t(p) % (size_t(2) << 20), 0u);
    freeLarge(p, bytes);
#endif
    freeLarge(nullptr, 123);  // nothing to give back
}

TEST_F(LargeAllocator, AnImpossibleSizeIsRefusedNotFaked) { EXPECT_EQ(allocateLarge(SIZE_MAX - 4096), nullptr); }

// Small blocks, one thread; large ones split between threads at huge-page
// boundaries, with a tail that is not a whole page; and the fall-back to
// ordinary pages after the first huge page (a budget nothing can meet). Each
// block is present as a whole when handed out, and a clear in place zeroes
// every byte of it, the last pieces included.
TEST_F(LargeAllocator, BlocksArePresentAtOnceAndClearedInPlace) {
    const size_t sizes[] = {4096 * 3 + 16, (size_t(13) << 20) + 48};
    for (int variant = 0; variant < 4; variant++) {
        LargeAlloc = saved;
        if (variant == 1) LargeAlloc.threadedFromBytes = size_t(4) << 20;
        if (variant == 2) LargeAlloc.hugePageBudgetNs = 0;
        // A block above the presence limit: its pages come when touched, and
        // a clear gives them back; it reads as zeros all the same.
        const bool lazy = variant == 3;
        if (lazy) LargeAlloc.presentUpToBytes = size_t(4) << 20;
        for (size_t bytes : sizes) {
            auto* p = static_cast<unsigned char*>(allocateLarge(bytes));
            ASSERT_NE(p, nullptr) << bytes;
            const bool mapped = bytes >= (size_t(2) << 20);  // smaller blocks come from the heap
            if (!lazy || !mapped) {
                EXPECT_TRUE(allResident(p, bytes)) << variant << " " << bytes;
            }
            EXPECT_TRUE(allZero(p, bytes)) << variant << " " << bytes;
            std::memset(p, 0xA5, bytes);
            zeroLarge(p, bytes);
#if defined(__linux__)
            // Only Linux can give a block's pages back and say so.
            if (lazy && mapped) {
                EXPECT_FALSE(allResident(p, bytes)) << "a clear of a large block keeps its pages";
            }
#endif
            EXPECT_EQ(std::memchr(p, 0xA5, bytes), nullptr) << variant << " " << bytes;
            freeLarge(p, bytes);
        }
    }
}

// The table and the caches take their arrays from here: a search that
// follows a new size finds every page of them present.
TEST_F(LargeAllocator, TheTableAndTheCachesArePresentWhenMade) {
    allocateTT(4);
    EXPECT_TRUE(allResident(ttSlots, size_t(ttEntryCount) * 16));
    allocateTT(1);
    CacheTable cache;
    resizeCache(cache, 1 << 17, (1 << 17) - 1);
    EXPECT_TRUE(allResident(cache.words, size_t(cache.entryCount) * 16));
    freeLarge(cache.words, size_t(cache.entryCount) * 16);
}
