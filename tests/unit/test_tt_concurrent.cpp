// Several threads share the transposition table without locks, as the search
// threads do. Torn slots may pair one write's key with another's data, but
// every field read back must be one that some thread wrote, and a move that
// does not fit the position must be turned away by isPseudoLegal. "make tsan"
// runs this under ThreadSanitizer, which checks that no access is a data race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/position.h"
#include "board/tables.h"
#include "search/state.h"
#include "search/tt.h"
#include "test_common.h"

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr int OperationsPerThread = 20000;
#else
constexpr int OperationsPerThread = 200000;
#endif
constexpr int ThreadCount = 4;
constexpr uint32_t BucketsUsed = 64;  // few buckets, so that threads collide often

// Values that are no move of the start position at all.
const Move JunkMoves[] = {0x7FFFFFFF, 0x00012345, int32_t(0x80000000u), MoveNull,
                          makeMoveCode(0, 63, Queen, King, Knight)};

struct Failures {
    std::atomic<int> foreignMove{0};
    std::atomic<int> legalRejected{0};
    std::atomic<int> junkAccepted{0};
    std::atomic<int> badField{0};
    std::atomic<int> badHashfull{0};
    std::atomic<int> hits{0};  // not a failure: shows that probes did hit
};

uint64_t nextRandom(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

void hammer(int id, const std::vector<Move>& legal, Failures& failures) {
    auto start = std::make_unique<Position>();
    setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", *start);
    CheckInfo ci = checkInfoOf(*start);

    // A position used only for its key.
    auto keyed = std::make_unique<Position>(*start);
    const uint64_t keyMask = ZobristCastle[keyed->castleRights] ^ zobristEp(keyed->epSquare);

    std::vector<Move> pool(legal);
    pool.insert(pool.end(), std::begin(JunkMoves), std::end(JunkMoves));
    pool.push_back(MoveNone);

    uint64_t state = 0x9E3779B97F4A7C15ull * uint64_t(id + 1);
    for (int i = 0; i < OperationsPerThread; i++) {
        const uint64_t r = nextRandom(state);
        // 16 positions per bucket: four slots cannot hold them all.
        const uint64_t key = ((r >> 44) % 16 + 1) << 32 | ((r >> 24) % BucketsUsed);
        keyed->key = key ^ keyMask;
        keyed->historyLength = int(r >> 20 & 7);

        if (r & 1) {
            const Move move = pool[(r >> 8) % pool.size()];
            storeTT(int(r >> 12 & 15) - 2, int(r >> 40 & 1023) - 512, move, int((r >> 16) % 3), *keyed);
            continue;
        }
        TTProbe out;
        probeTT(*keyed, int(r >> 12 & 15), -100, 100, out);
        if (!out.hit) continue;
        failures.hits.fetch_add(1, std::memory_order_relaxed);
        if (out.depth < -2 || out.depth > 13 || out.bound < 0 || out.bound > 2 || out.score < -512 || out.score > 511)
            failures.badField++;
        if (std::find(pool.begin(), pool.end(), out.move) == pool.end()) {
            failures.foreignMove++;
            continue;
        }
        if (out.move == MoveNone) continue;
        const bool isLegalMove = std::find(legal.begin(), legal.end(), out.move) != legal.end();
        const bool accepted = isPseudoLegal(out.move, *start, ci);
        if (isLegalMove && !accepted) failures.legalRejected++;
        if (!isLegalMove && accepted) failures.junkAccepted++;
        if ((i & 1023) == 0 && (hashfull() < 0 || hashfull() > 1000)) failures.badHashfull++;
    }
}

}  // namespace

TEST(ConcurrentTranspositionTable, TornSlotsStayHarmless) {
    initTestTables();
    allocateTT(1);
    Control.stop = false;
    Control.done = false;

    auto start = std::make_unique<Position>();
    setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", *start);
    Move moves[256];
    const int count = generateLegalMoves(*start, moves);
    ASSERT_EQ(count, 20);
    const std::vector<Move> legal(moves, moves + count);

    Failures failures;
    std::vector<std::thread> threads;
    for (int id = 0; id < ThreadCount; id++) threads.emplace_back(hammer, id, std::cref(legal), std::ref(failures));
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(failures.foreignMove, 0);
    EXPECT_EQ(failures.legalRejected, 0);
    EXPECT_EQ(failures.junkAccepted, 0);
    EXPECT_EQ(failures.badField, 0);
    EXPECT_EQ(failures.badHashfull, 0);
    EXPECT_GT(failures.hits, ThreadCount * OperationsPerThread / 10);
    EXPECT_GT(ttFilled, 0u);
    EXPECT_LE(hashfull(), 1000);
    clearTT();
}
