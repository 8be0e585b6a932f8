// The pawn and evaluation caches: power-of-two arrays of 16-byte entries
// (two 64-bit words each), shared by every search thread without locks.
// Every word is read and written with relaxed atomic accesses, so a torn
// entry can only give a wrong value, never undefined behaviour.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/prefetch.h"

struct CacheTable {
    uint64_t* words = nullptr;  // 2 words per entry
    uint64_t entryCount = 0;
    uint64_t mask = 0;
};

extern CacheTable PawnHashTable;
extern CacheTable EvalHashTable;

// The entry a key addresses: the low 32 bits of the key, masked.
inline uint64_t cacheIndex(const CacheTable& t, uint64_t key) { return uint32_t(key) & t.mask; }

// Starts fetching the entry of key, for a probe that follows soon.
inline void prefetchCache(const CacheTable& t, uint64_t key) {
    if (t.words) prefetchLine(t.words + 2 * cacheIndex(t, key));
}

inline uint64_t cacheLoad(const CacheTable& t, uint64_t index, int word) {
    return std::atomic_ref<uint64_t>(t.words[2 * index + word]).load(std::memory_order_relaxed);
}
inline void cacheStore(const CacheTable& t, uint64_t index, int word, uint64_t value) {
    std::atomic_ref<uint64_t>(t.words[2 * index + word]).store(value, std::memory_order_relaxed);
}

// Gives the cache a zero-filled, faulted-in array of entryCount entries with
// the given index mask: the array it has, emptied in place, when the count is
// the same; otherwise a new one, the old array given back first. If that
// size cannot be had, the largest power-of-two size that can is taken (never
// below one entry). Must be called only while no search thread runs. Returns
// false when a smaller size had to be taken.
bool resizeCache(CacheTable& cache, uint64_t entryCount, uint64_t mask);
