// Zero-filled memory for the large tables (transposition table, pawn and
// evaluation caches). On Linux the block is aligned to 2 MiB and the kernel
// is asked to back it with huge pages: every probe of these tables lands on a
// random page, and with 4 KiB pages most probes would also miss the
// processor's address translation cache.
#pragma once

#include <cstddef>

// A zero-filled block of bytes, or nullptr when it cannot be had.
void* allocateLarge(size_t bytes);
// Gives back a block from allocateLarge of that many bytes (nullptr: nothing).
void freeLarge(void* block, size_t bytes);
