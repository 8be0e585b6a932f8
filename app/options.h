// The option values that "setoption" changes and "go" hands to the search.
#pragma once

#include <atomic>
#include <cstdint>

#include "search/state.h"

// Option values as read (a value out of range is kept as given and clamped
// where it is handed on).
struct EngineSettingsRecord {
    std::atomic<int32_t> multiPv{1};
    std::atomic<int32_t> moveOverhead{50};
    std::atomic<int32_t> threadCount{1};
};
extern EngineSettingsRecord EngineSettings;

// The "MoveOverhead" option as the clock uses it, clamped to 0..2000 ms.
int moveOverheadMs();

// Copies the options a search reads into its limits, clamped.
void copyOptionsInto(SearchLimits& limits);
