// Helpers for every unit test that works with positions: the start-up
// tables, the start position and squares by name.
#pragma once

#include "board/position.h"
#include "test_init.h"

// The square named "a1" .. "h8".
inline Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }
