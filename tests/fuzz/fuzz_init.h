// Start-up shared by the fuzz targets: the engine's global tables, built
// once per process, and small caches so that each run stays light.
#pragma once

#include <cstdint>

// Cache sizes the targets run with (the engine starts with larger ones).
constexpr uint64_t FuzzHashMiB = 1;
constexpr uint64_t FuzzCacheEntries = uint64_t(1) << 12;

// Builds every start-up table in the engine's order and allocates the three
// caches at the small fuzzing sizes. Safe to call more than once.
void initFuzzEngine();

// Puts the three caches back to the small fuzzing sizes, zero-filled.
void resetFuzzCaches();

// Sends everything written to std::cout nowhere (the engine's replies and
// search output are of no interest and would only slow the fuzzer).
void silenceStandardOutput();
