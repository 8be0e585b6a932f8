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

    if (cache.words && cache.entryCount == entryCount) {
        // The same size: emptied in place, keeping the pages it has.
        zeroLarge(cache.words, size_t(entryCount * LargeSlotBytes));
        cache.mask = mask;
        return exact;
    }
    // The old array goes first, since the new one is faulted in as it is made.
    freeLarge(cache.words, size_t(cache.entryCount * LargeSlotBytes));
    cache = CacheTable{};
    const uint64_t maxEntries = uint64_t(SIZE_MAX) / LargeSlotBytes;
    for (;;) {
        // The byte size must fit size_t (it does not always in the 32-bit build).
        if (entryCount <= maxEntries) {
            cache.words = static_cast<uint64_t*>(allocateLarge(size_t(entryCount * LargeSlotBytes)));
            if (cache.words) break;
        }
        exact = false;
        if (entryCount == 1) return false;  // nothing can be had: no cache
        entryCount /= 2;
        mask >>= 1;
        if (mask > entryCount - 1) mask = entryCount - 1;
    }
    cache.entryCount = entryCount;
    cache.mask = mask;
    return exact;
}
