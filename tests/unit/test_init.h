// Start-up tables for unit tests: each test calls initTestTables() first; the
// tables are built once per test binary.
#pragma once

#include "board/tables.h"
#include "eval/eval.h"

inline void initTestTables() {
    static bool done = false;
    if (done) return;
    initBoardTables();
    initEvaluation();  // the piece-square tables every position sums
    done = true;
}
