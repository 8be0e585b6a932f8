// Transposition table: sizing, probe and store rules, replacement order,
// mate-score distances and the fill count.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "board/largealloc.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "search/node.h"
#include "search/state.h"
#include "search/tt.h"
#include "test_common.h"

namespace {

// A position whose only use is its table key and history length.
struct KeyedPosition {
    std::unique_ptr<Position> pos = std::make_unique<Position>();

    KeyedPosition(uint64_t indexKey, int historyLength = 0) {
        initTestTables();
        pos->castleRights = 0;
        pos->epSquare = NoSquare;
        pos->key = indexKey ^ ZobristCastle[0] ^ zobristEp(NoSquare);
        updateCacheKey(*pos);
        pos->historyLength = historyLength;
    }
    const Position& operator*() const { return *pos; }
};

// A key in bucket `bucket` with check word `check`.
uint64_t keyOf(uint32_t bucket, uint32_t check) { return uint64_t(check) << 32 | bucket; }

const Move SomeMove = makeMoveCode(12, 28, Pawn, NoPiece, NoPiece);  // b5-d5 style code
const Move OtherMove = makeMoveCode(6, 21, Knight, NoPiece, NoPiece);

class TranspositionTable : public ::testing::Test {
protected:
    void SetUp() override {
        initTestTables();
        allocateTT(1);
        Control.stop = false;
        Control.done = false;
    }
    void TearDown() override {
        Control.stop = false;
        Control.done = false;
        ttGeneration = 0;
    }

    static void store(uint64_t key, int depth, int score, Move move, int bound, int ply = 0) {
        storeTT(depth, score, move, bound, *KeyedPosition(key, ply));
    }
    static Score probe(uint64_t key, int depth, int alpha, int beta, TTProbe& out, int ply = 0) {
        return probeTT(*KeyedPosition(key, ply), depth, alpha, beta, out);
    }
    static bool present(uint64_t key) {
        TTProbe out;
        probe(key, 0, -ScoreInfinite, ScoreInfinite, out);
        return out.hit;
    }

    // A full bucket of four entries written in generation 0, the fourth with
    // the given bound; depths 10, 4, 8, 2.
    static constexpr uint32_t Bucket = 500;
    uint64_t k[6] = {keyOf(Bucket, 1), keyOf(Bucket, 2), keyOf(Bucket, 3),
                     keyOf(Bucket, 4), keyOf(Bucket, 5), keyOf(Bucket, 6)};
    void fill(int lastBound = BoundUpper) {
        store(k[0], 10, 0, SomeMove, BoundUpper);
        store(k[1], 4, 0, SomeMove, BoundUpper);
        store(k[2], 8, 0, SomeMove, BoundUpper);
        store(k[3], 2, 0, SomeMove, lastBound);
        ASSERT_EQ(ttFilled, 4u);
    }
    // Which of the first four keys is gone.
    int evicted() {
        int gone = -1, count = 0;
        for (int i = 0; i < 4; i++)
            if (!present(k[i])) gone = i, count++;
        return count == 1 ? gone : -count - 1;
    }
};

}  // namespace

TEST_F(TranspositionTable, SizeMiBReducedToPowerOfTwo) {
    EXPECT_EQ(ttBucketCountForMiB(1), 65536u);
    EXPECT_EQ(ttBucketCountForMiB(0), 65536u);  // at least one MiB
    EXPECT_EQ(ttBucketCountForMiB(32), 2097152u);
    EXPECT_EQ(ttBucketCountForMiB(100), 4194304u);  // taken down to 64 MiB
    EXPECT_EQ(ttBucketCountForMiB(127), 4194304u);
    EXPECT_EQ(ttBucketCountForMiB(128), 8388608u);
#if defined(OSTREVALK_32BIT)
    // 16 GiB cannot be addressed: the largest power of two that fits is 2 GiB.
    EXPECT_EQ(ttBucketCountForMiB(16384), 134217728u);
#else
    EXPECT_EQ(ttBucketCountForMiB(16384), 1073741824u);
#endif
}

TEST_F(TranspositionTable, SizeHugeValuesDoNotOverflow) {
    for (uint64_t mib : {uint64_t(1) << 40, uint64_t(1) << 50, ~uint64_t(0)}) {
        const uint64_t buckets = ttBucketCountForMiB(mib);
        EXPECT_GE(buckets, 65536u);
        EXPECT_EQ(buckets & (buckets - 1), 0u);
        EXPECT_LE(buckets + 3, uint64_t(SIZE_MAX) / 16);
    }
}

TEST_F(TranspositionTable, AllocationSetsCountsAndEmpties) {
    EXPECT_EQ(ttEntryCount, 65539u);
    EXPECT_EQ(ttMask, 65535u);
    store(keyOf(5, 77), 3, 10, SomeMove, BoundExact);
    ttGeneration = 9;
    allocateTT(2);
    EXPECT_EQ(ttEntryCount, 131075u);
    EXPECT_EQ(ttMask, 131071u);
    EXPECT_EQ(ttGeneration, 0);
    EXPECT_EQ(ttFilled, 0u);
    EXPECT_FALSE(present(keyOf(5, 77)));
}

TEST_F(TranspositionTable, ClearKeepsSizeAndEmpties) {
    allocateTT(100);
    // Both a clear and a new "Hash" of the same size empty the array in
    // place: its pages stay, rather than being faulted in again by a search.
    const uint64_t* before = ttSlots;
    for (bool byOption : {false, true}) {
        store(keyOf(5, 77), 3, 10, SomeMove, BoundExact);
        for (uint32_t check = 78; check < 82; check++)  // the last bucket, filled into the extra slots
            store(keyOf(4194303, check), 3, 10, SomeMove, BoundExact);
        ttGeneration = 4;
        if (byOption)
            allocateTT(127);
        else
            clearTT();
        EXPECT_EQ(ttSlots, before);
        EXPECT_EQ(ttEntryCount, 4194307u);
        EXPECT_EQ(ttMask, 4194303u);
        EXPECT_EQ(ttGeneration, 0);
        EXPECT_EQ(hashfull(), 0);
        EXPECT_FALSE(present(keyOf(5, 77)));
        EXPECT_FALSE(present(keyOf(4194303, 81)));
    }
}

TEST_F(TranspositionTable, ASizeThatCannotBeHadFallsBackToASmallerOne) {
    const LargeAllocSettings saved = LargeAlloc;
    LargeAlloc.maxBytes = size_t(1) << 20;  // 1 MiB: the three extra slots do not fit beside it
    allocateTT(4);
    LargeAlloc = saved;
    EXPECT_EQ(ttMask, 32767u);
    EXPECT_EQ(ttEntryCount, 32771u);
    store(keyOf(32767, 77), 3, 10, SomeMove, BoundExact);
    EXPECT_TRUE(present(keyOf(32767, 77)));
}

TEST_F(TranspositionTable, ExactEntryCutsOffOnlyWhenDeepEnough) {
    const uint64_t key = keyOf(1234, 0xABCD);
    store(key, 5, 100, SomeMove, BoundExact);
    TTProbe out;
    EXPECT_EQ(probe(key, 5, 0, 50, out), 100);
    EXPECT_EQ(probe(key, 4, 0, 50, out), 100);

    // Too shallow: no cutoff, but the score stands in for the static
    // evaluation and the move is offered.
    EXPECT_EQ(probe(key, 6, 0, 50, out), ScoreNone);
    EXPECT_TRUE(out.hit);
    EXPECT_EQ(out.shallowCutScore, 100);
    EXPECT_EQ(out.move, SomeMove);
    EXPECT_EQ(out.depth, 5);
    EXPECT_EQ(out.bound, BoundExact);

    // Same low bits, other check word: a miss.
    EXPECT_EQ(probe(keyOf(1234, 0xABCE), 1, 0, 50, out), ScoreNone);
    EXPECT_FALSE(out.hit);
    EXPECT_EQ(out.move, MoveNone);
}

TEST_F(TranspositionTable, BoundsAreUsableOnlyOnTheirSide) {
    const uint64_t lower = keyOf(10, 1), upper = keyOf(11, 1);
    store(lower, 4, 100, SomeMove, BoundLower);
    store(upper, 4, 100, OtherMove, BoundUpper);
    TTProbe out;
    EXPECT_EQ(probe(lower, 4, 50, 100, out), 100);        // score >= beta
    EXPECT_EQ(probe(lower, 4, 50, 101, out), ScoreNone);  // a lower bound below beta says nothing
    EXPECT_EQ(out.move, SomeMove);
    EXPECT_EQ(out.shallowCutScore, ScoreNone);
    EXPECT_EQ(probe(lower, 9, 50, 101, out), ScoreNone);  // not usable: no substitute either
    EXPECT_EQ(out.shallowCutScore, ScoreNone);
    EXPECT_EQ(probe(lower, 9, 50, 90, out), ScoreNone);  // usable but shallow
    EXPECT_EQ(out.shallowCutScore, 100);

    EXPECT_EQ(probe(upper, 4, 100, 200, out), 100);  // score <= alpha
    EXPECT_EQ(probe(upper, 4, 99, 200, out), ScoreNone);
    EXPECT_EQ(out.move, OtherMove);
}

TEST_F(TranspositionTable, DeepUsableEntryWithoutScoreGivesNothing) {
    const uint64_t key = keyOf(99, 3);
    store(key, 6, ScoreNone, SomeMove, BoundExact);
    TTProbe out;
    EXPECT_EQ(probe(key, 2, 0, 10, out), ScoreNone);
    EXPECT_FALSE(out.hit);
    EXPECT_EQ(out.move, MoveNone);
}

TEST_F(TranspositionTable, StoreWithoutMoveKeepsTheOldMove) {
    const uint64_t key = keyOf(42, 42);
    store(key, 3, 10, SomeMove, BoundUpper);
    store(key, 7, 20, MoveNone, BoundLower);
    TTProbe out;
    probe(key, 8, -100, 100, out);
    EXPECT_EQ(out.move, SomeMove);
    EXPECT_EQ(out.depth, 7);
    EXPECT_EQ(out.bound, BoundLower);
    EXPECT_EQ(out.score, 20);
    store(key, 7, 20, OtherMove, BoundLower);
    probe(key, 8, -100, 100, out);
    EXPECT_EQ(out.move, OtherMove);
    EXPECT_EQ(ttFilled, 1u);  // the same slot was reused each time
}

TEST_F(TranspositionTable, MateDistanceFollowsTheHistoryLength) {
    const uint64_t win = keyOf(7, 1), loss = keyOf(8, 1), plain = keyOf(9, 1);
    store(win, 4, 31996, SomeMove, BoundExact, 10);  // mate in 5 plies seen at ply offset 10
    store(loss, 4, -31996, SomeMove, BoundExact, 10);
    store(plain, 4, 31000, SomeMove, BoundExact, 10);
    TTProbe out;
    EXPECT_EQ(probe(win, 4, 0, 1, out, 10), 31996);
    EXPECT_EQ(probe(win, 4, 0, 1, out, 14), 31992);  // four plies further from the mate
    EXPECT_EQ(probe(loss, 4, 0, 1, out, 14), -31992);
    EXPECT_EQ(probe(win, 4, 0, 1, out, 6), 32000);
    EXPECT_EQ(probe(plain, 4, 0, 1, out, 14), 31000);  // below the mate threshold: unchanged
}

TEST_F(TranspositionTable, MateScoreSurvivesALongGame) {
    // 32000 + 900 does not fit in 16 bits; the score must still come back
    // as the same mate, not as a mate for the other side.
    const uint64_t key = keyOf(17, 5);
    store(key, 4, 32000, SomeMove, BoundExact, 900);
    TTProbe out;
    EXPECT_EQ(probe(key, 4, 0, 1, out, 900), 32000);
    store(key, 4, -31999, SomeMove, BoundExact, 1000);
    EXPECT_EQ(probe(key, 4, 0, 1, out, 1000), -31999);
}

TEST_F(TranspositionTable, MateDistanceSurvivesAHistoryCompaction) {
    // A long game drops old undo records between searches; the distance to
    // mate counts from the start of the game all the same.
    const uint64_t key = keyOf(18, 6);
    KeyedPosition before(key, 830);
    storeTT(4, 31990, SomeMove, BoundExact, *before);
    KeyedPosition after(key, 100);
    after.pos->historyDropped = 734;  // four plies further into the game
    TTProbe out;
    EXPECT_EQ(probeTT(*after, 4, 0, 1, out), 31986);
}

TEST_F(TranspositionTable, AMateNearerThanTheNodeAllowsIsNotUsed) {
    // Written 40 plies into a game, read back at its start: the winning
    // score comes back 40 plies nearer, beyond what any node can have.
    const uint64_t key = keyOf(19, 7);
    store(key, 10, 31995, SomeMove, BoundLower, 40);
    TTProbe out;
    EXPECT_EQ(probe(key, 4, 0, 1, out, 0), ScoreNone);
    EXPECT_TRUE(out.hit);
    EXPECT_EQ(out.move, SomeMove);  // the move still orders the search
    EXPECT_EQ(out.score, ScoreNone);
    EXPECT_EQ(out.bound, BoundNone);
    EXPECT_EQ(out.shallowCutScore, ScoreNone);

    // The same for a losing score, and for an exact one.
    store(key, 10, -31990, SomeMove, BoundExact, 40);
    EXPECT_EQ(probe(key, 4, -5, 5, out, 0), ScoreNone);
    EXPECT_EQ(out.bound, BoundNone);

    // The limits themselves: at ply 3 a winning side mates at ply 4 at the
    // earliest (32001 - 4) and a losing one is at worst mated at ply 3.
    const auto probeAtPly = [&](int ply) {
        return probeTT(*KeyedPosition(key, 0), 4, -ScoreInfinite, ScoreInfinite, out, ply);
    };
    store(key, 10, ScoreInfinite - 4, SomeMove, BoundExact, 0);
    EXPECT_EQ(probeAtPly(3), ScoreInfinite - 4);
    EXPECT_EQ(probeAtPly(4), ScoreNone);
    store(key, 10, 3 - ScoreInfinite, SomeMove, BoundExact, 0);
    EXPECT_EQ(probeAtPly(3), 3 - ScoreInfinite);
    EXPECT_EQ(probeAtPly(2), 3 - ScoreInfinite);
    EXPECT_EQ(probeAtPly(4), ScoreNone);

    // An ordinary score, or a mate read back later in the game, is used.
    store(key, 10, 500, SomeMove, BoundExact, 40);
    EXPECT_EQ(probe(key, 4, 0, 1, out, 0), 500);
    store(key, 10, 31995, SomeMove, BoundExact, 0);
    EXPECT_EQ(probe(key, 4, 0, 1, out, 40), 31955);
}

TEST_F(TranspositionTable, SearchStoresNothingAfterStopOrSearchEnd) {
    const auto storeResultAt = [](uint64_t key) { storeResult(5, 1, SomeMove, BoundExact, *KeyedPosition(key, 0)); };
    Control.stop = true;
    storeResultAt(keyOf(3, 3));
    EXPECT_FALSE(present(keyOf(3, 3)));
    Control.stop = false;
    Control.done = true;
    storeResultAt(keyOf(3, 3));
    EXPECT_FALSE(present(keyOf(3, 3)));
    EXPECT_EQ(ttFilled, 0u);
    Control.done = false;
    storeResultAt(keyOf(3, 3));
    EXPECT_TRUE(present(keyOf(3, 3)));
    // The table itself does not look at the search's flags.
    Control.stop = true;
    store(keyOf(4, 4), 5, 1, SomeMove, BoundExact);
    EXPECT_TRUE(present(keyOf(4, 4)));
}

TEST_F(TranspositionTable, FullBucketOldEntriesGiveWayToTheShallowest) {
    fill();
    ttGeneration = 1;
    store(k[4], 1, 0, SomeMove, BoundUpper);
    EXPECT_TRUE(present(k[4]));
    EXPECT_EQ(evicted(), 3);
    EXPECT_EQ(ttFilled, 4u);  // no empty slot was taken
}

TEST_F(TranspositionTable, FullBucketExactEntryOfAnOldSearchIsSpared) {
    fill(BoundExact);
    ttGeneration = 1;
    store(k[4], 1, 0, SomeMove, BoundUpper);
    EXPECT_EQ(evicted(), 1);  // the depth-4 entry, not the exact depth-2 one
}

TEST_F(TranspositionTable, FullBucketEntryFoundInThisSearchIsSpared) {
    fill();
    ttGeneration = 1;
    TTProbe out;
    probe(k[3], 0, 0, 1, out);  // marks it as used now
    store(k[4], 1, 0, SomeMove, BoundUpper);
    EXPECT_EQ(evicted(), 1);
}

TEST_F(TranspositionTable, FullBucketRootRefreshSparesTheRootEntry) {
    fill();
    ttGeneration = 1;
    refreshRoot(*KeyedPosition(k[3]));
    store(k[4], 1, 0, SomeMove, BoundUpper);
    EXPECT_EQ(evicted(), 1);
}

TEST_F(TranspositionTable, FullBucketWithinOneSearchTheShallowestGoes) {
    fill();
    store(k[4], 1, 0, SomeMove, BoundUpper);
    EXPECT_EQ(evicted(), 3);
    // Now depths 10, 4, 8, 1 in generation 0: the depth-1 newcomer goes next.
    store(k[5], 1, 0, SomeMove, BoundUpper);
    EXPECT_FALSE(present(k[4]));
    EXPECT_TRUE(present(k[5]));
}

TEST_F(TranspositionTable, EqualStandingKeepsTheEarlierSlot) {
    const uint32_t bucket = 77;
    for (uint32_t c = 1; c <= 4; c++) store(keyOf(bucket, c), 5, 0, SomeMove, BoundUpper);
    ttGeneration = 1;
    store(keyOf(bucket, 5), 5, 0, SomeMove, BoundUpper);
    EXPECT_FALSE(present(keyOf(bucket, 1)));
    for (uint32_t c = 2; c <= 5; c++) EXPECT_TRUE(present(keyOf(bucket, c)));
}

TEST_F(TranspositionTable, LastBucketUsesTheThreeExtraSlots) {
    const uint32_t last = uint32_t(ttMask);
    for (uint32_t c = 1; c <= 4; c++) store(keyOf(last, c), c, 0, SomeMove, BoundExact);
    for (uint32_t c = 1; c <= 4; c++) EXPECT_TRUE(present(keyOf(last, c)));
    EXPECT_EQ(ttFilled, 4u);
    // The fourth entry sits in the very last slot of the array.
    EXPECT_EQ(uint32_t(ttSlots[2 * (ttEntryCount - 1)]), 4u);
    // Bucket 0 is untouched: the index did not wrap around.
    EXPECT_EQ(ttSlots[0], 0u);
    // Key bits above the mask do not change the bucket.
    EXPECT_TRUE(present(keyOf(last | 0xFFFF0000u, 1)));
}

TEST_F(TranspositionTable, HashfullCountsFirstWritesOfEmptySlots) {
    EXPECT_EQ(hashfull(), 0);
    for (uint32_t b = 0; b < 6554; b++) store(keyOf(b * 8, 1), 1, 0, SomeMove, BoundUpper);
    EXPECT_EQ(ttFilled, 6554u);
    EXPECT_EQ(hashfull(), 100);  // 6554 * 1000 / 65539
    for (uint32_t b = 0; b < 6554; b++) store(keyOf(b * 8, 1), 2, 0, SomeMove, BoundUpper);
    EXPECT_EQ(hashfull(), 100);   // rewriting the same positions fills nothing
    ttFilled = 3 * ttEntryCount;  // double counting by racing threads
    EXPECT_EQ(hashfull(), 1000);
    clearTT();
    EXPECT_EQ(hashfull(), 0);
}
