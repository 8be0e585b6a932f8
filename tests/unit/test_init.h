// Start-up tables for unit tests: each test calls initTestTables() first; the
// tables are built once per test binary.
#pragma once

#include "board/tables.h"

inline void initTestTables() {
    static bool done = false;
    if (done) return;
    initBoardTables();
    done = true;
}
