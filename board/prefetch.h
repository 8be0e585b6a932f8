// Fetching a cache line ahead of its use.
#pragma once

// Starts loading the cache line that holds p, without waiting for it.
//
// The empty volatile statement is what keeps the fetch in place: a function
// whose only effect is a prefetch counts as one without effects for the
// compiler, which may then drop every call of it whose result is unused,
// and with the calls the prefetch.
inline void prefetchLine(const void* p) {
    __builtin_prefetch(p);
    asm volatile("");
}
