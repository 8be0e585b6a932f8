#include "search/tt.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>

#include "board/largealloc.h"
#include "board/makemove.h"

// A slot is two 64-bit words, each read and written as a whole with relaxed
// atomics, so that threads sharing the table never race on a plain access.
//   word 0: key32 (bits 0-31) | generation (32-47) | depth (48-63)
//   word 1: bound (bits 0-7)  | score (8-31, signed) | move (32-63)
// The score field is wider than the 16 bits a search score needs: a mate
// score shifted by a long game's history length would not fit in 16 bits,
// and a wrapped value would read back as a mate for the wrong side.

uint64_t* ttSlots = nullptr;
uint64_t ttEntryCount = 0;
uint64_t ttMask = 0;
std::atomic<uint64_t> ttFilled{0};
std::atomic<int16_t> ttGeneration{0};

namespace {

constexpr uint64_t ExtraSlots = 3;  // a bucket starting at ttMask runs past it

struct SlotView {
    uint32_t key32;
    int16_t generation;
    int16_t depth;
    int bound;
    int score;
    Move move;
};

inline void storeWord(uint64_t* word, uint64_t value) {
    std::atomic_ref<uint64_t>(*word).store(value, std::memory_order_relaxed);
}

inline int16_t slotGeneration(uint64_t w0) { return int16_t(uint16_t(w0 >> 32)); }
inline int16_t slotDepth(uint64_t w0) { return int16_t(uint16_t(w0 >> 48)); }
inline int slotBound(uint64_t w1) { return int(w1 & 0xFF); }
inline Move slotMove(uint64_t w1) { return Move(uint32_t(w1 >> 32)); }

inline SlotView decode(uint64_t w0, uint64_t w1) {
    SlotView v;
    v.key32 = uint32_t(w0);
    v.generation = slotGeneration(w0);
    v.depth = slotDepth(w0);
    v.bound = slotBound(w1);
    v.score = int32_t(uint32_t(w1)) >> 8;
    v.move = slotMove(w1);
    return v;
}

inline uint64_t packWord0(uint32_t key32, int16_t generation, int depth) {
    return uint64_t(key32) | uint64_t(uint16_t(generation)) << 32 | uint64_t(uint16_t(int16_t(depth))) << 48;
}
inline uint64_t packWord1(int bound, int score, Move move) {
    return uint64_t(uint32_t(bound) & 0xFF) | uint64_t((uint32_t(score) & 0xFFFFFF) << 8) |
           uint64_t(uint32_t(move)) << 32;
}

// Mate scores count plies from the root of the search that produced them.
// The table keeps them relative to the start of the game record instead, so
// that another node (or a later search) can turn them back into its own
// distance to mate.
inline int scoreToTable(int score, int plyOffset) {
    if (score >= ScoreMateThreshold) return score + plyOffset;
    if (score <= -ScoreMateThreshold) return score - plyOffset;
    return score;
}
inline int scoreFromTable(int score, int plyOffset) {
    if (score >= ScoreMateThreshold) return score - plyOffset;
    if (score <= -ScoreMateThreshold) return score + plyOffset;
    return score;
}

// The distance of the node from the start of the game record: the moves kept
// in the undo history plus those a long game had to drop from it, so that the
// offset does not jump back when the history is compacted between searches.
// Capped far beyond any real game so that a shifted score fits its field.
constexpr int64_t MaxPlyOffset = 4000000;
inline int plyOffset(const Position& pos) {
    return int(std::min<int64_t>(int64_t(pos.historyLength) + pos.historyDropped, MaxPlyOffset));
}

// Whether every slot is still zero since the array was made or cleared, so
// that a clear has nothing to write (as before the first run of "bench", or
// a "newgame" right after start-up). Lowered by the first store and by the
// start of a search, which may mark found slots with its generation. (A
// probe outside a search can find only an empty slot in an all-zero table
// and mark it; the generation of an empty slot is never read.) Read before
// it is written, so that the threads' stores do not keep taking its cache
// line from one another.
std::atomic<bool> slotsAllZero{false};

inline void noteWritten() {
    if (slotsAllZero.load(std::memory_order_relaxed)) slotsAllZero.store(false, std::memory_order_relaxed);
}

// Gives back the table's array, leaving no table.
void releaseSlots() {
    freeLarge(ttSlots, size_t(ttEntryCount) * LargeSlotBytes);
    ttSlots = nullptr;
    ttEntryCount = 0;
}

}  // namespace

uint64_t ttBucketCountForMiB(uint64_t mib) {
    uint64_t p = std::bit_floor(mib == 0 ? uint64_t(1) : mib);
    // The array of buckets + 3 slots must be addressable by size_t.
    const uint64_t maxSlots = uint64_t(SIZE_MAX) / LargeSlotBytes - ExtraSlots;
    while (p > 1 && p > maxSlots / SlotsPerMiB) p >>= 1;
    return p * SlotsPerMiB;
}

void allocateTT(uint64_t mib) {
    const uint64_t wanted = ttBucketCountForMiB(mib);
    if (ttSlots && ttEntryCount == wanted + ExtraSlots) {
        clearTT();
        return;
    }
    // The old array goes first: the new one is faulted in as it is made, and
    // two large tables at once might not fit in memory. Then the requested
    // size is tried, and every smaller power of two after it.
    releaseSlots();
    for (uint64_t buckets = wanted; buckets >= 1; buckets >>= 1) {
        void* fresh = allocateLarge(size_t(buckets + ExtraSlots) * LargeSlotBytes);
        if (!fresh) continue;
        ttSlots = static_cast<uint64_t*>(fresh);
        ttEntryCount = buckets + ExtraSlots;
        ttMask = buckets - 1;
        slotsAllZero.store(true, std::memory_order_relaxed);
        break;
    }
    ttGeneration.store(0, std::memory_order_relaxed);
    ttFilled.store(0, std::memory_order_relaxed);
}

void clearTT() {
    // Zeros written over the pages the table already has. A fresh array
    // would come back from the kernel as pages to be faulted in again, at
    // up to several milliseconds per 2 MiB, during the next search.
    if (!slotsAllZero.load(std::memory_order_relaxed)) zeroLarge(ttSlots, size_t(ttEntryCount) * LargeSlotBytes);
    slotsAllZero.store(ttSlots != nullptr, std::memory_order_relaxed);
    ttGeneration.store(0, std::memory_order_relaxed);
    ttFilled.store(0, std::memory_order_relaxed);
}

Score probeSlot(uint64_t* slot, uint64_t w0, const Position& pos, int depth, int alpha, int beta, TTProbe& out,
                int ply) {
    // Mark the entry as used by this search, so replacement spares it.
    const int16_t generation = ttGeneration.load(std::memory_order_relaxed);
    storeWord(slot, (w0 & ~(uint64_t(0xFFFF) << 32)) | uint64_t(uint16_t(generation)) << 32);

    const SlotView e = decode(w0, ttLoadWord(slot + 1));
    const int score = scoreFromTable(e.score, plyOffset(pos));

    // Mate scores are kept relative to the game record, so an entry
    // written in a longer game (or later in this one) and read back
    // after fewer moves claims a mate nearer than the node allows: the
    // side to move can mate at the next ply at the earliest, and can at
    // worst be mated right here. Such a score says nothing reliable
    // about the distance; clamping it would pass off a mate in 1 that is
    // not there, so the node is searched instead, with the entry's move.
    if (score != ScoreNone && (score > ScoreInfinite - ply - 1 || score < ply - ScoreInfinite)) {
        out = TTProbe{true, e.move, ScoreNone, e.depth, BoundNone, ScoreNone};
        return ScoreNone;
    }
    const bool usable =
        e.bound == BoundExact || (e.bound == BoundLower && score >= beta) || (e.bound == BoundUpper && score <= alpha);
    if (e.depth >= depth && usable) {
        // A deep enough entry without a score gives nothing at all.
        if (score == ScoreNone) {
            out = TTProbe{false, MoveNone, ScoreNone, 0, 0, ScoreNone};
            return ScoreNone;
        }
        out = TTProbe{true, e.move, score, e.depth, e.bound, ScoreNone};
        return score;
    }
    out = TTProbe{true, e.move, score, e.depth, e.bound, usable ? score : ScoreNone};
    return ScoreNone;
}

namespace {

// Writes an entry of pos into slot.
inline void writeSlot(uint64_t* slot, int depth, int score, Move move, int bound, const Position& pos) {
    const uint32_t check = uint32_t(ttIndexKey(pos) >> 32);
    const int16_t generation = ttGeneration.load(std::memory_order_relaxed);
    noteWritten();
    storeWord(slot, packWord0(check, generation, depth));
    storeWord(slot + 1, packWord1(bound, scoreToTable(score, plyOffset(pos)), move));
}

// The store into a bucket that holds neither the position nor an empty
// slot: the victim is the first slot that is from an old search, not exact,
// or shallower. Kept apart from storeTT, which seldom needs it, so that the
// store needs no registers of its own saved. A slot's second word is read
// only when its bound is needed.
__attribute__((noinline)) void storeOverVictim(uint64_t* bucket, int depth, int score, Move move, int bound,
                                               const Position& pos) {
    const int16_t generation = ttGeneration.load(std::memory_order_relaxed);
    uint64_t* replace = bucket;
    uint64_t chosen = ttLoadWord(bucket);
    for (int i = 1; i < TTBucketSize; i++) {
        uint64_t* slot = bucket + 2 * i;
        const uint64_t w0 = ttLoadWord(slot);
        // A slot displaces the victim chosen so far when its one reason to
        // stay (it is from this search, or exact) is outweighed by the
        // reasons to give it up instead: the chosen one is from this search,
        // and this one is shallower.
        const bool worthKeeping = slotGeneration(w0) == generation || slotBound(ttLoadWord(slot + 1)) == BoundExact;
        const bool chosenIsCurrent = slotGeneration(chosen) == generation;
        const bool shallower = slotDepth(w0) < slotDepth(chosen);
        if (int(worthKeeping) < int(chosenIsCurrent) + int(shallower)) {
            replace = slot;
            chosen = w0;
        }
    }
    writeSlot(replace, depth, score, move, bound, pos);
}

}  // namespace

void storeTT(int depth, int score, Move move, int bound, const Position& pos) {
    // A bound the probe knows, and a score the 24-bit field and the mate
    // conversion can carry (or ScoreNone, which the probe never uses).
    assert(bound == BoundUpper || bound == BoundLower || bound == BoundExact);
    assert(score == ScoreNone || (score >= -ScoreInfinite && score <= ScoreInfinite));
    const uint64_t key = ttIndexKey(pos);
    const uint32_t check = uint32_t(key >> 32);
    uint64_t* bucket = ttBucket(key);

    // Replacement: the first slot that holds the same position (whose move
    // is kept when the new entry has none) or is empty, otherwise a victim.
#pragma GCC unroll 4
    for (int i = 0; i < TTBucketSize; i++) {
        uint64_t* slot = bucket + 2 * i;
        const uint32_t key32 = uint32_t(ttLoadWord(slot));
        if (key32 == check) {
            if (move == MoveNone) move = slotMove(ttLoadWord(slot + 1));
            writeSlot(slot, depth, score, move, bound, pos);
            return;
        }
        if (key32 == 0) {
            ttFilled.fetch_add(1, std::memory_order_relaxed);
            writeSlot(slot, depth, score, move, bound, pos);
            return;
        }
    }
    storeOverVictim(bucket, depth, score, move, bound, pos);
}

void refreshRoot(const Position& pos) {
    noteWritten();
    const uint64_t key = ttIndexKey(pos);
    const uint32_t check = uint32_t(key >> 32);
    const int16_t generation = ttGeneration.load(std::memory_order_relaxed);
    uint64_t* bucket = ttBucket(key);
    for (int i = 0; i < TTBucketSize; i++) {
        uint64_t* slot = bucket + 2 * i;
        const uint64_t w0 = ttLoadWord(slot);
        if (uint32_t(w0) != check) continue;
        storeWord(slot, (w0 & ~(uint64_t(0xFFFF) << 32)) | uint64_t(uint16_t(generation)) << 32);
        return;
    }
}

int hashfull() {
    // ttFilled is counted without synchronisation; two threads filling the
    // same empty slot may both count it, so the figure is capped.
    const uint64_t filled = ttFilled.load(std::memory_order_relaxed);
    const uint64_t permille = ttEntryCount ? filled * 1000 / ttEntryCount : 0;
    return permille > 1000 ? 1000 : int(permille);
}
