#include "board/largealloc.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
constexpr size_t HugePageBytes = size_t(2) << 20;
}

#if defined(__linux__)

void* allocateLarge(size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (bytes < HugePageBytes) return std::calloc(bytes, 1);
    // Anonymous mappings are zero-filled. Map a huge page more than asked
    // and trim both ends, so that the block starts on a huge-page boundary.
    const size_t rounded = (bytes + HugePageBytes - 1) & ~(HugePageBytes - 1);
    if (rounded < bytes || rounded + HugePageBytes < rounded) return nullptr;
    void* raw = mmap(nullptr, rounded + HugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = uintptr_t(raw);
    const uintptr_t aligned = (start + HugePageBytes - 1) & ~uintptr_t(HugePageBytes - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + rounded + HugePageBytes;
    if (end > aligned + rounded) munmap(reinterpret_cast<void*>(aligned + rounded), end - (aligned + rounded));
    madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeLarge(void* block, size_t bytes) {
    if (!block) return;
    if (bytes == 0) bytes = 1;
    if (bytes < HugePageBytes) {
        std::free(block);
        return;
    }
    const size_t rounded = (bytes + HugePageBytes - 1) & ~(HugePageBytes - 1);
    munmap(block, rounded);
}

#else

void* allocateLarge(size_t bytes) { return std::calloc(bytes == 0 ? 1 : bytes, 1); }
void freeLarge(void* block, size_t) { std::free(block); }

#endif
