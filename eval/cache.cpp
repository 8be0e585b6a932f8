// The pawn and evaluation caches and their (re)allocation.
#include "eval/cache.h"

#include <cstdint>
#include <cstdlib>

#include "board/largealloc.h"

CacheTable PawnHashTable;
CacheTable EvalHashTable;

bool resizeCache(CacheTable& cache, uint64_t entryCount, uint64_t mask) {
    bool exact = true;
    if (entryCount == 0) {
        entryCount = 1;
        exact = false;
    }
    // Every index is key & mask, so a mask below the entry count keeps each
    // access inside the array whatever the caller passed.
    if (mask > entryCount - 1) mask = entryCount - 1;

    constexpr uint64_t WordsPerEntry = 2;
    const uint64_t maxEntries = uint64_t(SIZE_MAX) / (WordsPerEntry * sizeof(uint64_t));
    uint64_t* words = nullptr;
    for (;;) {
        // The byte size must fit size_t (it does not always in the 32-bit build).
        if (entryCount <= maxEntries) {
            words = static_cast<uint64_t*>(allocateLarge(size_t(entryCount * WordsPerEntry * sizeof(uint64_t))));
            if (words) break;
        }
        exact = false;
        if (entryCount == 1) return false;  // nothing can be had: keep the old array
        entryCount /= 2;
        mask >>= 1;
        if (mask > entryCount - 1) mask = entryCount - 1;
    }

    freeLarge(cache.words, size_t(cache.entryCount * WordsPerEntry * sizeof(uint64_t)));
    cache.words = words;
    cache.entryCount = entryCount;
    cache.mask = mask;
    return exact;
}
