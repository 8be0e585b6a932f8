// The transposition table shared by all search threads, without locks. Each
// 16-byte slot is two 64-bit words read and written with relaxed atomics.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/makemove.h"
#include "board/position.h"
#include "board/prefetch.h"

extern uint64_t* ttSlots;  // 2 words per slot
extern uint64_t ttEntryCount;
extern uint64_t ttMask;
extern std::atomic<uint64_t> ttFilled;
extern std::atomic<int16_t> ttGeneration;

// Result of a probe besides the cutoff score.
struct TTProbe {
    // The position's slot was found and the fields below were read from it
    // (score ScoreNone and bound BoundNone when its mate score does not fit
    // the node). False on a miss, and for an entry deep enough to decide the
    // node that was stored without a score.
    bool hit;
    Move move;  // hash move, MoveNone if none
    int score;  // table score, ply-converted
    int depth;
    int bound;
    // The score of an entry too shallow to decide the node whose bound would
    // have cut at this window (exact, a lower bound at or above beta, an
    // upper bound at or below alpha); ScoreNone otherwise. The search takes
    // it as a better estimate than the static evaluation.
    int shallowCutScore;
};

// Number of addressable bucket starts (ttMask + 1) for a "Hash" value in MiB:
// the value reduced to its highest set bit (0 counts as 1), times SlotsPerMiB
// (board/largealloc.h), then halved until the whole array (three slots more)
// fits the address space of the build. Allocates nothing.
uint64_t ttBucketCountForMiB(uint64_t mib);

// Sets the table to the largest power of two of MiB not above mib (at least 1),
// zero-filled and faulted in. The old array is given back first; should the
// size not be had, the largest smaller one that can be is taken. The size the
// table already has is cleared in place.
void allocateTT(uint64_t mib);
// Empties the table in place, at its current size.
void clearTT();
void storeTT(int depth, int score, Move move, int bound, const Position& pos);
void refreshRoot(const Position& pos);
int hashfull();

// The bucket a key addresses: four slots from the one its low 32 bits pick.
inline uint64_t* ttBucket(uint64_t key) { return ttSlots + 2 * (uint32_t(key) & ttMask); }

// Slots per bucket.
constexpr int TTBucketSize = 4;

// A word of a slot, read as a whole.
inline uint64_t ttLoadWord(uint64_t* word) { return std::atomic_ref<uint64_t>(*word).load(std::memory_order_relaxed); }

// The probe of the slot of pos's bucket whose key matched, its first word
// w0 read already (see probeTT below): refreshes its generation and reads the
// entry.
__attribute__((noinline)) Score probeSlot(uint64_t* slot, uint64_t w0, const Position& pos, int depth, int alpha,
                                          int beta, TTProbe& out, int ply);

// Returns the cutoff score, or ScoreNone when there is no cutoff. ply is the
// node's distance from the root: a mate score the node cannot have (nearer
// than ply + 1 for the side to move, or than ply against it) is not used.
// The bucket scan is inlined into the searches, which most probes leave with
// a miss; a slot that matches is read out of line.
inline Score probeTT(const Position& pos, int depth, int alpha, int beta, TTProbe& out, int ply = 0) {
    const uint64_t key = ttIndexKey(pos);
    const uint32_t check = uint32_t(key >> 32);
    uint64_t* bucket = ttBucket(key);
#pragma GCC unroll 4
    for (int i = 0; i < TTBucketSize; i++) {
        uint64_t* slot = bucket + 2 * i;
        const uint64_t w0 = ttLoadWord(slot);
        if (uint32_t(w0) == check) return probeSlot(slot, w0, pos, depth, alpha, beta, out, ply);
    }
    out = TTProbe{false, MoveNone, ScoreNone, 0, 0, ScoreNone};
    return ScoreNone;
}

// Starts fetching the bucket of key. A bucket starts at any slot, so its four
// slots usually span two cache lines: the lines of its first and last slots
// are fetched.
inline void prefetchTT(uint64_t key) {
    const uint64_t* bucket = ttBucket(key);
    prefetchLine(bucket);
    prefetchLine(bucket + 6);
}
