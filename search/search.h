// Entry points of the search used by the front end.
#pragma once

#include "search/state.h"

// Builds the reduction and move-count tables; called once at start-up, after
// the evaluation's own tables (initEvaluation).
void initSearchTables();

// Body of the main search thread: iterative deepening with output, then
// ttGeneration += 1, Control.done = true and "bestmove". Also run directly by
// "bench".
void mainSearch(SearchThread& thread);
// Body of a helper thread: the same search without output and clock tests.
void helperSearch(SearchThread& thread);
