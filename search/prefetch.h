// Fetching ahead what a search node reads first: its hash-table bucket and
// its evaluation and pawn cache entries. With the table in main memory, a
// bucket takes longer to arrive than a quiescence node takes to run, so a
// fetch started as the child is played mostly waits; the search starts them
// as soon as it knows which move comes next.
#pragma once

#include "board/makemove.h"
#include "eval/cache.h"
#include "search/tt.h"

// The entries of a node with these keys.
inline void prefetchNodeEntries(uint64_t cacheKey, uint64_t pawnKey) {
    prefetchTT(cacheKey);
    prefetchCache(EvalHashTable, cacheKey);
    prefetchCache(PawnHashTable, pawnKey);
}

// The entries of the child m leads to, before m is played; base is
// keyAfterBase(pos).
inline void prefetchChild(const Position& pos, const KeyAfterBase& base, Move m) {
    const uint64_t key = cacheKeyAfter(base, m);
    prefetchTT(key);
    prefetchCache(EvalHashTable, key);
    // Only a pawn's move or capture changes the pawn entry; otherwise the
    // child's is this node's own, read already.
    if (movePiece(m) == Pawn || moveCaptured(m) == Pawn) prefetchCache(PawnHashTable, pawnKeyAfter(pos, m));
}

inline void prefetchChild(const Position& pos, Move m) { prefetchChild(pos, keyAfterBase(pos), m); }
