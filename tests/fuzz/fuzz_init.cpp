#include "fuzz_init.h"

#include <iostream>

#include "app/report.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"
#include "search/tt.h"

void resetFuzzCaches() {
    allocateTT(FuzzHashMiB);
    resizeCache(PawnHashTable, FuzzCacheEntries, FuzzCacheEntries - 1);
    resizeCache(EvalHashTable, FuzzCacheEntries, FuzzCacheEntries - 1);
}

void initFuzzEngine() {
    static bool done = false;
    if (done) return;
    initBoardTables();
    installReporter();
    initEvaluation();
    initSearchTables();
    buildKpkBitbase();
    resetFuzzCaches();
    done = true;
}

// A stream in a failed state formats nothing and writes nothing; the engine
// never looks at the state of std::cout, so it simply goes on.
void silenceStandardOutput() { std::cout.setstate(std::ios_base::badbit); }
