// The engine's options: one table lists each with its type, default and
// range, and is the only place these are written; it prints the "option"
// lines of "uci", gives the settings and the caches their start-up values, and
// "setoption" reads, bounds and applies a value through it. Cache sizes wait
// for a running search.
#pragma once

#include <atomic>
#include <cstdint>
#include <istream>

#include "app/go.h"
#include "search/state.h"

// How "setoption" reads an option's value.
enum class OptionReading {
    Size,     // leading decimal digits (a '+' before them allowed); too large means the maximum
    Integer,  // a signed 32-bit number
    Ignored,  // the option is listed but setting it changes nothing
};

struct Option {
    const char* name;  // as "uci" lists it; "setoption" matches it in any case
    const char* type;  // "spin" or "check"
    int64_t defaultValue;
    int64_t min;  // the range "uci" announces
    int64_t max;
    // The range a set value is held to. A count or a time is kept as given
    // beyond the announced range wherever it still means something (more
    // lines, a larger reserve); it is only kept from values that would
    // search nothing, overrun the clock or start threads without end.
    int64_t lowest;
    int64_t highest;
    OptionReading reading;
    // Called with the value held to lowest..highest.
    void (*apply)(int64_t value, ThreadList& threads);
};

constexpr int OptionCount = 7;
extern const Option Options[OptionCount];

// The values of the options a search reads, bounded when set; they start at
// their options' defaults in the table.
struct EngineSettingsRecord {
    std::atomic<int32_t> multiPv;
    std::atomic<int32_t> moveOverhead;
    std::atomic<int32_t> threadCount;
};
extern EngineSettingsRecord EngineSettings;

// The "option" lines of "uci", in table order.
void printOptionLines();

// "setoption name <name> value <value>", and "setoption name clear hash".
// An unknown name, or a value that does not read, changes nothing.
void setoptionCommand(std::istream& words, ThreadList& threads);

// Copies the options a search reads into its limits.
void copyOptionsInto(SearchLimits& limits);

// Empties the transposition table now, or after the running search.
void requestTableClear(ThreadList& threads);

// Entry count of a pawn or evaluation cache of mib MiB: the largest power of
// two of MiB not above mib, SlotsPerMiB entries (board/largealloc.h) per MiB.
uint64_t cacheEntriesForMiB(uint64_t mib);

// Allocates the three caches at their start-up sizes (see options.cpp).
void allocateStartupCaches();

// Cache resizes and clears asked for while a search runs wait until its
// threads have been joined; this applies them (the loop calls it after every
// join that precedes a new search or benchmark).
void applyPendingCacheChanges();
