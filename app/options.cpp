#include "app/options.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <string>
#include <string_view>

#include "app/output.h"
#include "board/largealloc.h"
#include "eval/cache.h"
#include "search/tt.h"

namespace {

// Cache changes that arrived while search threads were using the caches.
// A size of 0 means "no change pending".
struct PendingCacheChanges {
    bool clearTable = false;
    uint64_t hashMiB = 0;
    uint64_t pawnHashMiB = 0;
    uint64_t evalHashMiB = 0;
};
PendingCacheChanges Pending;

// Applies the pending changes at once when no search thread can be touching
// the caches; otherwise they wait for the next join. A search that has
// answered counts as over: its threads write nothing more and return within
// a few nodes, so they are joined now, and a clear or a new size is done
// before the "readyok" that a GUI waits for, not at its next "go".
void applyWhenIdle(ThreadList& threads) {
    if (searchThreadsRunning() && !Control.done.load(std::memory_order_relaxed)) return;
    joinSearchThreads(threads);
    applyPendingCacheChanges();
}

void setHash(int64_t mib, ThreadList& threads) {
    Pending.hashMiB = uint64_t(mib);
    applyWhenIdle(threads);
}
void setPawnHash(int64_t mib, ThreadList& threads) {
    Pending.pawnHashMiB = uint64_t(mib);
    applyWhenIdle(threads);
}
void setEvalHash(int64_t mib, ThreadList& threads) {
    Pending.evalHashMiB = uint64_t(mib);
    applyWhenIdle(threads);
}
void setThreads(int64_t n, ThreadList&) { EngineSettings.threadCount.store(int32_t(n), std::memory_order_relaxed); }
void setMultiPv(int64_t n, ThreadList&) { EngineSettings.multiPv.store(int32_t(n), std::memory_order_relaxed); }
void setMoveOverhead(int64_t ms, ThreadList&) {
    EngineSettings.moveOverhead.store(int32_t(ms), std::memory_order_relaxed);
}
void ignore(int64_t, ThreadList&) {}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A size: leading decimal digits (an optional '+' before them); a number too
// large for 64 bits reads as max. Returns false, changing nothing, when the
// word does not start with a number; a negative number does not count as one.
bool readSize(std::istream& words, int64_t max, int64_t& value) {
    std::string word;
    if (!(words >> word)) return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first != last && *first == '+') first++;
    uint64_t parsed = 0;
    const std::errc error = std::from_chars(first, last, parsed).ec;
    if (error == std::errc::invalid_argument) return false;
    value = error == std::errc::result_out_of_range || parsed > uint64_t(max) ? max : int64_t(parsed);
    return true;
}

bool readInteger(std::istream& words, int64_t& value) {
    int32_t parsed;
    if (!(words >> parsed)) return false;
    value = parsed;
    return true;
}

}  // namespace

constexpr Option Options[OptionCount] = {
    {"Hash", "spin", 32, 1, 16384, 1, 16384, OptionReading::Size, setHash},
    {"PawnHash", "spin", 8, 1, 1024, 1, 1024, OptionReading::Size, setPawnHash},
    {"EvalHash", "spin", 2, 1, 1024, 1, 1024, OptionReading::Size, setEvalHash},
    {"Threads", "spin", 1, 1, 128, 1, 128, OptionReading::Integer, setThreads},
    {"Ponder", "check", 1, 0, 1, 0, 1, OptionReading::Ignored, ignore},
    {"MultiPv", "spin", 1, 1, MaxMultiPv, 1, INT32_MAX, OptionReading::Integer, setMultiPv},
    {"MoveOverhead", "spin", DefaultMoveOverheadMs, 0, 2000, 0, INT32_MAX, OptionReading::Integer, setMoveOverhead},
};

namespace {

// The default of the named option, read from the table while compiling (a
// name not in the table does not compile).
consteval int64_t defaultOf(std::string_view name) {
    for (const Option& o : Options)
        if (name == o.name) return o.defaultValue;
    throw "no such option";
}

// The caches' start-up sizes. The table and the evaluation cache start at
// their options' defaults. The pawn cache starts at 2^18 entries, 4 MiB,
// where its option advertises 8: the engine's start-up allocation is fixed at
// that size, and the advertised default applies once the option is set.
constexpr uint64_t StartupHashMiB = uint64_t(defaultOf("Hash"));
constexpr uint64_t StartupPawnEntries = uint64_t(1) << 18;
constexpr uint64_t StartupEvalHashMiB = uint64_t(defaultOf("EvalHash"));

}  // namespace

constinit EngineSettingsRecord EngineSettings{
    {int32_t(defaultOf("MultiPv"))}, {int32_t(defaultOf("MoveOverhead"))}, {int32_t(defaultOf("Threads"))}};

void printOptionLines() {
    for (const Option& o : Options) {
        std::string line = std::string("option name ") + o.name + " type " + o.type + " default ";
        if (std::string(o.type) == "check")
            line += o.defaultValue ? "true" : "false";
        else
            line += std::to_string(o.defaultValue) + " min " + std::to_string(o.min) + " max " + std::to_string(o.max);
        writeLine(line);
    }
}

void setoptionCommand(std::istream& words, ThreadList& threads) {
    std::string skipped, name;
    words >> skipped >> name;  // "name" and the option's name
    name = lowerCase(name);

    if (name == "clear") {
        std::string what;
        words >> what;
        if (lowerCase(what) == "hash") requestTableClear(threads);
        return;
    }

    for (const Option& o : Options) {
        if (lowerCase(o.name) != name) continue;
        if (o.reading == OptionReading::Ignored) return;
        words >> skipped;  // "value"
        int64_t value = 0;
        const bool read =
            o.reading == OptionReading::Size ? readSize(words, o.highest, value) : readInteger(words, value);
        if (read) o.apply(std::clamp(value, o.lowest, o.highest), threads);
        return;
    }
}

void copyOptionsInto(SearchLimits& limits) {
    limits.multiPv = EngineSettings.multiPv.load(std::memory_order_relaxed);
    limits.moveOverhead = EngineSettings.moveOverhead.load(std::memory_order_relaxed);
}

void requestTableClear(ThreadList& threads) {
    Pending.clearTable = true;
    applyWhenIdle(threads);
}

uint64_t cacheEntriesForMiB(uint64_t mib) { return std::bit_floor(std::max<uint64_t>(mib, 1)) * SlotsPerMiB; }

void allocateStartupCaches() {
    allocateTT(StartupHashMiB);
    resizeCache(PawnHashTable, StartupPawnEntries, StartupPawnEntries - 1);
    const uint64_t evalEntries = cacheEntriesForMiB(StartupEvalHashMiB);
    resizeCache(EvalHashTable, evalEntries, evalEntries - 1);
}

void applyPendingCacheChanges() {
    if (Pending.hashMiB != 0)
        allocateTT(Pending.hashMiB);  // a new table is empty anyway
    else if (Pending.clearTable)
        clearTT();
    if (Pending.pawnHashMiB != 0) {
        const uint64_t entries = cacheEntriesForMiB(Pending.pawnHashMiB);
        resizeCache(PawnHashTable, entries, entries - 1);
    }
    if (Pending.evalHashMiB != 0) {
        const uint64_t entries = cacheEntriesForMiB(Pending.evalHashMiB);
        resizeCache(EvalHashTable, entries, entries - 1);
    }
    Pending = PendingCacheChanges{};
}
