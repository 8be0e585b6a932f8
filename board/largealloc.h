// Zero-filled memory for the large tables (transposition table, pawn and
// evaluation caches). On Linux the block is aligned to 2 MiB and the kernel
// is asked to back it with huge pages: every probe of these tables lands on a
// random page, and with 4 KiB pages most probes would also miss the
// processor's address translation cache.
//
// Every page of a block is faulted in before the block is handed out, and a
// clear writes zeros over the pages the block already has. A page the process
// touches for the first time can cost milliseconds (the kernel zeroes it, and
// under a hypervisor the host may have to supply it first); paid during a
// search, that is time the search does not get. A block is refused when more
// than the kernel has available would have to be faulted in. For many
// gigabytes that takes seconds before the command (and "isready") is
// answered, which a GUI waits for; the search that follows runs at full speed.
// Blocks above presentUpToBytes (none, unless a test sets it lower) are left
// to take their pages when first touched, and a clear hands those back to the
// kernel, which supplies zeros again.
#pragma once

#include <cstddef>
#include <cstdint>

// The tables are arrays of 16-byte slots (two 64-bit words each), and their
// sizes are given in MiB: a MiB holds SlotsPerMiB slots.
constexpr size_t LargeSlotBytes = 16;
constexpr uint64_t SlotsPerMiB = (uint64_t(1) << 20) / LargeSlotBytes;

struct LargeAllocSettings {
    // Blocks larger than this are refused: a table the machine cannot hold
    // in memory could not be faulted in. The machine's memory by default.
    size_t maxBytes;
    // Blocks at least this large are faulted in and cleared by several threads.
    size_t threadedFromBytes;
    // Processor time a huge page may take to fault in on average (nanoseconds,
    // over the pages one thread has faulted in so far) before the rest of the
    // block is taken in ordinary pages. Past it the kernel is compacting
    // memory to find huge pages, or the host supplies them slowly, and may go
    // on doing so for every page of the block.
    int64_t hugePageBudgetNs;
    // The largest block faulted in whole when it is made (Linux): every one.
    size_t presentUpToBytes;
};
extern LargeAllocSettings LargeAlloc;

// A zero-filled block of bytes with all its pages present, or nullptr when
// it cannot be had.
void* allocateLarge(size_t bytes);
// Writes zeros over a block from allocateLarge, keeping its pages.
void zeroLarge(void* block, size_t bytes);
// Gives back a block from allocateLarge of that many bytes (nullptr: nothing).
void freeLarge(void* block, size_t bytes);
