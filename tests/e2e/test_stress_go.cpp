// A "go" or "bench" that meets a search still running: the running search
// answers first, then the new command runs, and nothing deadlocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

// Reads until a line starts with prefix; the lines on the way are counted
// into bestmoves when they are bestmove lines, and the last one is kept.
std::optional<std::string> waitCounting(EngineProcess& engine, const std::string& prefix, int& bestmoves,
                                        std::string* lastBest = nullptr) {
    const long long end = monotonicMs() + SearchTimeoutMs;
    for (;;) {
        const long long left = end - monotonicMs();
        if (left <= 0) return std::nullopt;
        auto line = engine.readLine(int(left));
        if (!line) return std::nullopt;
        if (startsWith(*line, "bestmove")) {
            bestmoves++;
            if (lastBest) *lastBest = *line;
        }
        if (startsWith(*line, prefix)) return line;
    }
}

}  // namespace

TEST(StressGo, GoRightAfterAnUnboundedSearch) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    bool ok = false;
    const std::set<std::string> legal = legalMovesOfCurrent(engine, ok);
    ASSERT_TRUE(ok);
    // Each pair: the first search can only end by a command, the second
    // line starts right behind it. Neither may deadlock or lose a bestmove.
    const std::vector<std::pair<const char*, const char*>> pairs = {
        {"go infinite", "go depth 1"},        {"go", "go movetime 20"},
        {"go ponder", "go nodes 100"},        {"go infinite", "go infinite"},
        {"go ponder wtime 999", "go ponder"}, {"go depth 100", "go wtime 300 btime 300"},
    };
    for (int round = 0; round < 5; round++) {
        for (const auto& [first, second] : pairs) {
            engine.send(first);
            engine.send(second);
            engine.send("stop");  // ends the second when it is unbounded too
            for (int i = 0; i < 2; i++) {
                auto best = engine.waitFor("bestmove", SearchTimeoutMs);
                ASSERT_TRUE(best) << first << " / " << second;
                std::string move, ponder;
                splitBestmove(*best, move, ponder);
                EXPECT_TRUE(legal.count(move)) << *best;
            }
            bool ready = false;
            EXPECT_EQ(engine.roundTrip("", ReadyLatencyMs, &ready).size(), 0u) << first << " / " << second;
            EXPECT_TRUE(ready);
        }
    }
    // A "go" stops an unbounded search first, then searches to its own depth.
    for (const char* first : {"go infinite", "go ponder wtime 60000 btime 60000", "go", "go depth 200"}) {
        engine.send("position startpos");
        engine.send(first);
        expectNoBestmoveFor(engine, QuietWatchMs);
        // The loop cannot read "stop" while it waits for the running search.
        engine.send("go depth 2");
        Lines seen;
        ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs, &seen)) << first;
        seen.clear();
        ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs, &seen)) << first;
        EXPECT_TRUE(anyContains(seen, "info depth 2 ")) << first;
        EXPECT_FALSE(anyContains(seen, "info depth 3 ")) << first;
    }
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

TEST(StressGo, BenchRightAfterASearch) {
    EngineProcess engine;
    for (const char* go : {"go infinite", "go", "go ponder wtime 1000 btime 1000", "go depth 3"}) {
        engine.send("position startpos moves e2e4");
        engine.send(go);
        engine.send("bench 1");
        int bestmoves = 0;
        std::string first;
        Lines seen;
        // The search answers first (a bounded one after its last iteration),
        // then the benchmark runs its positions.
        auto best = engine.waitFor("bestmove", SearchTimeoutMs, &seen);
        ASSERT_TRUE(best) << go;
        if (std::string(go) == "go depth 3") {
            EXPECT_NE(std::find_if(seen.begin(), seen.end(),
                                   [](const std::string& l) { return startsWith(l, "info depth 3 "); }),
                      seen.end());
        }
        // The benchmark begins only after the search's move.
        const auto next = engine.readLine(SearchTimeoutMs);
        ASSERT_TRUE(next) << go;
        EXPECT_TRUE(startsWith(*next, "info depth 1 ")) << go << ": " << *next;
        ASSERT_TRUE(waitCounting(engine, "NPS(Mean): ", bestmoves)) << go;
        EXPECT_EQ(bestmoves, BenchPositionCount) << go;
        EXPECT_EQ(engine.roundTrip(""), Lines{}) << go;
    }
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}
