// "setoption" on the engine record and the caches.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "app/options.h"
#include "app/protocol.h"
#include "board/makemove.h"
#include "eval/cache.h"
#include "search/state.h"
#include "search/tt.h"
#include "test_common.h"

namespace {

void setoption(const std::string& line) {
    ThreadList threads;  // no search runs: every change applies at once
    std::istringstream words(line);
    setoptionCommand(words, threads);
}

}  // namespace

TEST(Options, HashSizes) {
    setoption("name Hash value 100");  // taken down to 64 MiB
    EXPECT_EQ(ttEntryCount, 4194307u);
    EXPECT_EQ(ttMask, 4194303u);
    setoption("name hash value 1");
    EXPECT_EQ(ttEntryCount, 65539u);
    setoption("name HASH value 2");
    EXPECT_EQ(ttEntryCount, 131075u);
    setoption("name Hash value 0");  // below the minimum: 1 MiB
    EXPECT_EQ(ttEntryCount, 65539u);
    for (const char* unchanged :
         {"name Hash value x", "name Hash value -1", "name Hash value", "name Hash", "name Hash Value 2 extra"})
        setoption(unchanged);
    // "name Hash Value 2 extra" reads 2: the word "value" is not checked.
    EXPECT_EQ(ttEntryCount, 131075u);
    setoption("name Hash value 1");
    setoption("name Hash value x");
    EXPECT_EQ(ttEntryCount, 65539u);
}

TEST(Options, ClearKeepsTheSize) {
    setoption("name Hash value 2");
    ttFilled = 77;
    ttGeneration = 3;
    setoption("name Clear Hash");
    EXPECT_EQ(ttEntryCount, 131075u);
    EXPECT_EQ(ttFilled, 0u);
    EXPECT_EQ(ttGeneration, 0);
    ttFilled = 5;
    setoption("name clear cache");  // not "hash": nothing
    EXPECT_EQ(ttFilled, 5u);
    ThreadList threads;
    newgameCommand(threads);
    EXPECT_EQ(ttFilled, 0u);
    setoption("name Hash value 1");
}

TEST(Options, PawnAndEvalCaches) {
    EXPECT_EQ(cacheEntriesForMiB(8), 524288u);
    EXPECT_EQ(cacheEntriesForMiB(3), 131072u);
    EXPECT_EQ(cacheEntriesForMiB(2), 131072u);
    EXPECT_EQ(cacheEntriesForMiB(0), 65536u);
    setoption("name PawnHash value 8");
    EXPECT_EQ(PawnHashTable.entryCount, 524288u);
    EXPECT_EQ(PawnHashTable.mask, 524287u);
    setoption("name evalhash value 3");
    EXPECT_EQ(EvalHashTable.entryCount, 131072u);
    EXPECT_EQ(EvalHashTable.mask, 131071u);
    setoption("name EvalHash value 0");
    EXPECT_EQ(EvalHashTable.entryCount, 65536u);
    setoption("name PawnHash value 1");
    EXPECT_EQ(PawnHashTable.entryCount, 65536u);
}

TEST(Options, HeldToWhatStillMeansSomethingWhenSet) {
    setoption("name Threads value 4");
    EXPECT_EQ(EngineSettings.threadCount, 4);
    setoption("name threads value x");
    EXPECT_EQ(EngineSettings.threadCount, 4);
    setoption("name THREADS value 99999999999");  // beyond 32 bits: no number
    EXPECT_EQ(EngineSettings.threadCount, 4);
    setoption("name Threads value 1000");
    EXPECT_EQ(EngineSettings.threadCount, 128);
    setoption("name MultiPv value -5");
    EXPECT_EQ(EngineSettings.multiPv, 1);
    // Above the announced maxima more lines and a larger reserve are kept.
    setoption("name MultiPv value 150");
    EXPECT_EQ(EngineSettings.multiPv, 150);
    setoption("name MoveOverhead value 5000");
    EXPECT_EQ(EngineSettings.moveOverhead, 5000);
    setoption("name MoveOverhead value -1");
    EXPECT_EQ(EngineSettings.moveOverhead, 0);
    setoption("name Move Overhead value 100");  // a two-word name is no option
    EXPECT_EQ(EngineSettings.moveOverhead, 0);
    setoption("name Ponder value false");
    EngineSettings.threadCount = 1;
    EngineSettings.multiPv = 1;
    EngineSettings.moveOverhead = 50;
}

TEST(Options, ReachTheSearchLimits) {
    SearchLimits limits;
    clearSearchLimits(limits);
    setoption("name MultiPv value 500");
    setoption("name MoveOverhead value 7");
    copyOptionsInto(limits);
    EXPECT_EQ(limits.multiPv, 500);
    EXPECT_EQ(limits.moveOverhead, 7);
    setoption("name MultiPv value 1");
    setoption("name MoveOverhead value 50");
}

TEST(Options, UciListsEveryOptionOfTheTable) {
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    printOptionLines();
    std::cout.rdbuf(old);
    EXPECT_EQ(captured.str(),
              "option name Hash type spin default 32 min 1 max 16384\n"
              "option name PawnHash type spin default 8 min 1 max 1024\n"
              "option name EvalHash type spin default 2 min 1 max 1024\n"
              "option name Threads type spin default 1 min 1 max 128\n"
              "option name Ponder type check default true\n"
              "option name MultiPv type spin default 1 min 1 max 100\n"
              "option name MoveOverhead type spin default 50 min 0 max 2000\n");
}
