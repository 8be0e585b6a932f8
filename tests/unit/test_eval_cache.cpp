// The evaluation caches: resizing and the fallback to a smaller size, and the
// cost of one evaluation on a cache miss.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "board/largealloc.h"
#include "test_common.h"

using namespace evaltest;

TEST(EvalCache, ResizeAndFallback) {
    CacheTable table;
    EXPECT_TRUE(resizeCache(table, 1024, 1023));
    ASSERT_NE(table.words, nullptr);
    EXPECT_EQ(table.entryCount, 1024u);
    EXPECT_EQ(table.mask, 1023u);
    for (uint64_t i = 0; i < 1024; i++) {
        EXPECT_EQ(cacheLoad(table, i, 0), 0u);
        EXPECT_EQ(cacheLoad(table, i, 1), 0u);
    }
    cacheStore(table, 5, 0, 77);
    // A new size drops the contents.
    EXPECT_TRUE(resizeCache(table, 2048, 2047));
    EXPECT_EQ(table.entryCount, 2048u);
    EXPECT_EQ(cacheLoad(table, 5, 0), 0u);

    // The same size again: emptied in place, keeping the pages it has.
    const uint64_t* before = table.words;
    cacheStore(table, 2047, 1, 99);
    EXPECT_TRUE(resizeCache(table, 2048, 2047));
    EXPECT_EQ(table.words, before);
    EXPECT_EQ(cacheLoad(table, 2047, 1), 0u);

    // 2^62 entries of 16 bytes exceed every address space: the size is halved
    // until an array can be had, and the mask follows. The allocator's limit
    // is lowered so that the array it settles on is not the machine's memory,
    // faulted in.
    const size_t limit = LargeAlloc.maxBytes;
    LargeAlloc.maxBytes = size_t(1) << 20;
    const uint64_t huge = 1ULL << 62;
    EXPECT_FALSE(resizeCache(table, huge, huge - 1));
    LargeAlloc.maxBytes = limit;
    ASSERT_NE(table.words, nullptr);
    EXPECT_EQ(table.entryCount, 65536u);
    EXPECT_EQ(table.mask, table.entryCount - 1);
    EXPECT_EQ(cacheLoad(table, table.mask, 1), 0u);

    // A request for no entries gets one.
    EXPECT_FALSE(resizeCache(table, 0, 0));
    EXPECT_EQ(table.entryCount, 1u);
    EXPECT_EQ(table.mask, 0u);
    std::free(table.words);
}

// Cost of evaluate on an evaluation-cache miss: every position one ply away
// from the suite positions, with a fresh evaluation cache for each round.
// make/unmake alone is timed apart and subtracted. Processor time of this
// process is measured, as the machine may be busy with other work.
TEST(EvalCache, SlowMissCost) {
    initEvalTables();
    std::vector<std::unique_ptr<Position>> bases;
    for (const std::string& fen : evalPositionFens()) bases.push_back(position(fen));

    Move moves[MaxMoves];
    auto run = [&](bool doEvaluate, bool coldPawns, long& count) {
        count = 0;
        long checksum = 0;
        resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
        if (coldPawns) resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);
        const std::clock_t start = std::clock();
        for (auto& base : bases) {
            Position& pos = *base;
            const int n = generateLegalMoves(pos, moves);
            for (int i = 0; i < n; i++) {
                makeMove(pos, moves[i]);
                if (doEvaluate) checksum += evaluate(pos);
                unmakeMove(pos);
                count++;
            }
        }
        const double ns = double(std::clock() - start) * 1e9 / CLOCKS_PER_SEC;
        EXPECT_NE(checksum, -1);  // keeps the calls
        return ns;
    };
    long count = 0;
    double baseline = 1e300, warm = 1e300, cold = 1e300;
    for (int round = 0; round < 5; round++) {
        baseline = std::min(baseline, run(false, false, count));
        warm = std::min(warm, run(true, false, count));
        cold = std::min(cold, run(true, true, count));
    }
    std::printf(
        "[ bench    ] %ld positions; evaluate on a cache miss: %.0f ns (pawn cache warm), "
        "%.0f ns (both caches cold)\n",
        count, (warm - baseline) / count, (cold - baseline) / count);
}
