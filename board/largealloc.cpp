#include "board/largealloc.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

constexpr size_t HugePageBytes = size_t(2) << 20;
constexpr size_t PageBytes = 4096;
// Clearing is bound by the memory's bandwidth, which a few threads use up.
constexpr unsigned MaxThreads = 8;

size_t machineMemoryBytes() {
#if defined(__linux__)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        const uint64_t bytes = uint64_t(pages) * uint64_t(pageSize);
        return bytes < uint64_t(SIZE_MAX) ? size_t(bytes) : SIZE_MAX;
    }
#endif
    return SIZE_MAX;
}

// The memory the kernel could hand out now without swapping or reclaiming
// what other programs hold, or SIZE_MAX when it does not say. Every block is
// faulted in when made, and more than this would push other programs out of
// memory, or bring the out-of-memory killer.
size_t availableMemoryBytes() {
    FILE* info = std::fopen("/proc/meminfo", "r");
    if (!info) return SIZE_MAX;
    char line[128];
    size_t bytes = SIZE_MAX;
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, info))
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            bytes = kib < SIZE_MAX / 1024 ? size_t(kib) * 1024 : SIZE_MAX;
            break;
        }
    std::fclose(info);
    return bytes;
}

// Runs part(begin, end) over the byte range [0, bytes) of a block: at once
// for a small block, otherwise in pieces of whole huge pages, one per thread.
// The pieces are done when this returns.
template <class Part>
void inParts(size_t bytes, const Part& part) {
    unsigned threads = 1;
    if (bytes >= LargeAlloc.threadedFromBytes)
        threads = std::clamp(std::thread::hardware_concurrency(), 1u, MaxThreads);
    const size_t pages = (bytes + HugePageBytes - 1) / HugePageBytes;
    if (pages < threads) threads = unsigned(pages);
    if (threads <= 1) {
        part(size_t(0), bytes);
        return;
    }
    auto boundary = [&](unsigned i) { return std::min(bytes, size_t(pages * i / threads) * HugePageBytes); };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; i++) {
        try {
            helpers.emplace_back(part, boundary(i), boundary(i + 1));
        } catch (const std::system_error&) {
            part(boundary(i), boundary(i + 1));  // no thread to be had: this one does the piece
        }
    }
    part(size_t(0), boundary(1));
    for (std::thread& helper : helpers) helper.join();
}

// Writes a zero into every page of a zero-filled range, so that each page is
// present afterwards without changing what it holds.
void touchPages(char* begin, size_t bytes) {
    for (size_t at = 0; at < bytes; at += PageBytes)
        std::atomic_ref<char>(begin[at]).store(0, std::memory_order_relaxed);
    if (bytes) std::atomic_ref<char>(begin[bytes - 1]).store(0, std::memory_order_relaxed);
}

}  // namespace

// Every table is made present when made, whatever its size. A huge page
// takes about 0.1 ms when the memory was in use a moment ago, 3 to 8 ms on
// memory that has lain unused for a few seconds (on a virtual machine the
// host gives it back and supplies it again slowly), and far longer while the
// kernel compacts memory. Ordinary pages come no faster from the host, and
// each costs the search a miss in the processor's address translation (on
// this kind of virtual machine about a microsecond, and a trip to the
// hypervisor the first time the search touches it): with a table left to take
// ordinary pages as the search touched them, a 2 GiB table searched at an
// eighth of the rate of a 1 GiB one, game after game. A fresh process's first
// `go depth 6` took 3 to 14 ms in ordinary pages against 2 to 3 in huge ones.
// Two threads faulting in at once can take twice as long each. So huge pages
// are taken while they average at most 8 ms each.
LargeAllocSettings LargeAlloc = {machineMemoryBytes(), size_t(16) << 20, 8'000'000, SIZE_MAX};

void zeroLarge(void* block, size_t bytes) {
    if (!block) return;
    char* bytesOf = static_cast<char*>(block);
#if defined(__linux__)
    // A block too large to keep present: its pages go back to the kernel,
    // and read as zeros when next touched.
    if (bytes >= HugePageBytes && bytes > LargeAlloc.presentUpToBytes) {
        const size_t rounded = (bytes + HugePageBytes - 1) & ~(HugePageBytes - 1);
        if (madvise(block, rounded, MADV_DONTNEED) == 0) return;
    }
#endif
    inParts(bytes, [bytesOf](size_t from, size_t to) { std::memset(bytesOf + from, 0, to - from); });
}

#if defined(__linux__)

namespace {

int64_t threadCpuNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Whether the page holding this byte is present in memory.
bool pagePresent(const char* at) {
    unsigned char present = 0;
    void* page = reinterpret_cast<void*>(uintptr_t(at) & ~uintptr_t(PageBytes - 1));
    return mincore(page, PageBytes, &present) == 0 && (present & 1);
}

// Faults in a fresh, zero-filled range, in one call where the kernel offers
// it (Linux 5.14 and later), by touching every page otherwise. A user-mode
// emulator may accept the advice and do nothing, so the call counts only when
// the range's last page is then present.
void populate(char* begin, size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    if (madvise(begin, bytes, MADV_POPULATE_WRITE) == 0 && pagePresent(begin + bytes - 1)) return;
#endif
    touchPages(begin, bytes);
}

// Faults in [begin, end) of a huge-page block one huge page at a time. Should
// the pages take longer than the budget on average, the kernel is compacting
// memory to assemble them, or the host supplies them slowly; the rest of the
// range then takes ordinary pages, which it can hand out at once.
void populateHuge(char* block, size_t begin, size_t end) {
    int64_t spent = 0, allowed = 0;
    for (size_t at = begin; at < end; at += HugePageBytes) {
        const size_t bytes = std::min(HugePageBytes, end - at);
        const int64_t start = threadCpuNs();
        populate(block + at, bytes);
        spent += threadCpuNs() - start;
        allowed += LargeAlloc.hugePageBudgetNs;
        if (spent > allowed && at + bytes < end) {
            char* const rest = block + at + bytes;
            madvise(rest, end - at - bytes, MADV_NOHUGEPAGE);
            populate(rest, end - at - bytes);
            // The kernel may still gather the ordinary pages into huge ones
            // later, in the background, without stopping the search.
            madvise(rest, end - at - bytes, MADV_HUGEPAGE);
            return;
        }
    }
}

}  // namespace

void* allocateLarge(size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (bytes > LargeAlloc.maxBytes || bytes > availableMemoryBytes()) return nullptr;
    if (bytes < HugePageBytes) {
        void* block = std::calloc(bytes, 1);
        if (block) touchPages(static_cast<char*>(block), bytes);
        return block;
    }
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
    char* block = reinterpret_cast<char*>(aligned);
    if (rounded <= LargeAlloc.presentUpToBytes) {
        madvise(block, rounded, MADV_HUGEPAGE);
        inParts(rounded, [block](size_t from, size_t to) { populateHuge(block, from, to); });
    } else {
        // A block left to take its pages as the search touches them takes
        // ordinary ones: a huge page can take milliseconds to supply, which
        // the search, touching a new one at almost every probe of a large
        // table, would pay between two looks at the clock (one 2 s search at
        // 16 GiB answered 832 ms late, at depth 4).
        madvise(block, rounded, MADV_NOHUGEPAGE);
    }
    return block;
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

void* allocateLarge(size_t bytes) {
    if (bytes == 0) bytes = 1;
    if (bytes > LargeAlloc.maxBytes || bytes > availableMemoryBytes()) return nullptr;
    void* block = std::calloc(bytes, 1);
    if (block)
        inParts(bytes, [block](size_t from, size_t to) { touchPages(static_cast<char*>(block) + from, to - from); });
    return block;
}

void freeLarge(void* block, size_t) { std::free(block); }

#endif
