// Starting, signalling and ending searches through the engine process.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

int countPrefix(const Lines& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines) n += startsWith(line, prefix);
    return n;
}

// Whether any line contains text.
bool anyContains(const Lines& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// Reads lines for ms milliseconds and fails if a bestmove is among them.
void expectNoBestmoveFor(EngineProcess& engine, int ms, Lines* seen = nullptr) {
    const long long end = monotonicMs() + ms;
    Lines lines;
    while (monotonicMs() < end) {
        auto line = engine.readLine(int(end - monotonicMs()));
        if (!line) break;
        lines.push_back(*line);
    }
    EXPECT_EQ(countPrefix(lines, "bestmove"), 0) << "the search ended by itself";
    if (seen) seen->insert(seen->end(), lines.begin(), lines.end());
}

}  // namespace

TEST(GoCommand, DepthLimitEndsTheSearch) {
    EngineProcess engine;
    engine.send("go depth 1");
    Lines seen;
    auto best = engine.waitFor("bestmove", 20000, &seen);
    ASSERT_TRUE(best);
    EXPECT_TRUE(anyContains(seen, "info depth 1 "));
    engine.send("position startpos moves e2e4");
    engine.send("go depth 4");
    seen.clear();
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 4 "));
    EXPECT_FALSE(anyContains(seen, "info depth 5 "));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, BareGoAndInfiniteRunUntilStop) {
    EngineProcess engine;
    for (const char* go : {"go", "go   ", "go infinite", "go depth x", "go searchmoves e2e4 infinite"}) {
        engine.send("position startpos");
        engine.send(go);
        expectNoBestmoveFor(engine, 400);
        // The loop answers while the search runs.
        engine.send("isready");
        EXPECT_TRUE(engine.waitFor("readyok", 2000)) << go;
        engine.send("stop");
        EXPECT_TRUE(engine.waitFor("bestmove", 5000)) << go;
    }
    // "stop" with no search running prints nothing.
    EXPECT_EQ(engine.roundTrip("stop"), Lines{});
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, MoveTimeAndClockEndTheSearch) {
    EngineProcess engine;
    long long start = monotonicMs();
    engine.send("go movetime 300");
    ASSERT_TRUE(engine.waitFor("bestmove", 10000));
    const long long took = monotonicMs() - start;
    EXPECT_GE(took, 250);
    EXPECT_LT(took, 3000);

    start = monotonicMs();
    engine.send("position startpos moves e2e4");  // Black to move: btime counts
    engine.send("go wtime 100000 btime 1000 winc 0 binc 0");
    ASSERT_TRUE(engine.waitFor("bestmove", 10000));
    EXPECT_LT(monotonicMs() - start, 1500);
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, NodeLimitEndsTheSearch) {
    EngineProcess engine;
    engine.send("go nodes 20000");
    EXPECT_TRUE(engine.waitFor("bestmove", 20000));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, PonderhitStartsTheClock) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4 e7e5");
    engine.send("go ponder wtime 1000 btime 1000");
    expectNoBestmoveFor(engine, 500);
    const long long hit = monotonicMs();
    engine.send("ponderhit");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000));
    EXPECT_LT(monotonicMs() - hit, 2500);
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, SecondGoWaitsForTheFirst) {
    EngineProcess engine;
    engine.send("go depth 5");
    engine.send("go depth 1");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 5 "));
    seen.clear();
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 1 "));
    EXPECT_FALSE(anyContains(seen, "info depth 2 "));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, QuitStopsOnlyAnUnboundedSearch) {
    {
        EngineProcess engine;
        engine.send("go infinite");
        expectNoBestmoveFor(engine, 300);
        engine.send("quit");
        EXPECT_TRUE(engine.waitFor("bestmove", 5000));
        EXPECT_EQ(engine.waitExit(5000), 0);
    }
    {
        // A search with a limit of its own prints its move before the exit.
        EngineProcess engine;
        const long long start = monotonicMs();
        engine.send("go movetime 800");
        engine.send("quit");
        EXPECT_TRUE(engine.waitFor("bestmove", 5000));
        EXPECT_GE(monotonicMs() - start, 700);
        EXPECT_EQ(engine.waitExit(5000), 0);
    }
}

TEST(GoCommand, EndOfInputStopsOnlyAnUnboundedSearch) {
    {
        EngineProcess engine;
        engine.send("go infinite");
        expectNoBestmoveFor(engine, 300);
        engine.closeInput();
        EXPECT_TRUE(engine.waitFor("bestmove", 5000));
        EXPECT_EQ(engine.waitExit(5000), 0);
    }
    {
        // A depth-limited search finishes its last iteration first.
        EngineProcess engine;
        engine.send("go depth 6");
        engine.closeInput();
        Lines seen;
        EXPECT_TRUE(engine.waitFor("bestmove", 60000, &seen));
        EXPECT_TRUE(anyContains(seen, "info depth 6 "));
        EXPECT_EQ(engine.waitExit(5000), 0);
    }
}

TEST(GoCommand, MultiPvOptionInAnyCase) {
    EngineProcess engine;
    engine.send("setoption name MULTIPV value 3");
    engine.send("go depth 2");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("bestmove", 20000, &seen));
    EXPECT_TRUE(anyContains(seen, " multipv 3 "));
    EXPECT_FALSE(anyContains(seen, " multipv 4 "));
    // A two-word name is no option name: nothing changes.
    engine.send("setoption name multipv value 1");
    engine.send("setoption name Multi Pv value 2");
    seen.clear();
    engine.send("go depth 2");
    ASSERT_TRUE(engine.waitFor("bestmove", 20000, &seen));
    EXPECT_FALSE(anyContains(seen, " multipv 2 "));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, SearchAfterAVeryLongGame) {
    std::string moves;
    for (int i = 0; i < 600; i++) moves += " g1f3 g8f6 f3g1 f6g8";
    EngineProcess engine;
    engine.send("position startpos moves" + moves + " e2e4");
    engine.send("go depth 4");
    EXPECT_TRUE(engine.waitFor("bestmove", 30000));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, CacheChangesDuringASearchWaitForIt) {
    EngineProcess engine;
    engine.send("go infinite");
    expectNoBestmoveFor(engine, 200);
    for (const char* line : {"setoption name Hash value 64", "newgame", "setoption name clear hash",
                             "setoption name PawnHash value 16", "setoption name EvalHash value 4",
                             "setoption name hash value 2"}) {
        bool ok = false;
        engine.roundTrip(line, 5000, &ok);
        EXPECT_TRUE(ok) << line;
    }
    expectNoBestmoveFor(engine, 200);
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000));
    engine.send("go depth 3");
    EXPECT_TRUE(engine.waitFor("bestmove", 20000));
    // With no search running the change applies at once.
    bool ok = false;
    engine.roundTrip("setoption name Hash value 1", 5000, &ok);
    EXPECT_TRUE(ok);
    engine.send("go depth 3");
    EXPECT_TRUE(engine.waitFor("bestmove", 20000));
    EXPECT_EQ(engine.quit(), 0);
}

// The names of these contain "Threads": "make tsan" runs them under
// ThreadSanitizer.
TEST(SearchThreads, HelpersSearchAndStopWithTheMainThread) {
    EngineProcess engine;
    engine.send("setoption name Threads value 4");
    engine.send("go depth 5");
    ASSERT_TRUE(engine.waitFor("bestmove", 60000));
    engine.send("position startpos moves d2d4");
    engine.send("go infinite");
    expectNoBestmoveFor(engine, 300);
    engine.send("stop");
    ASSERT_TRUE(engine.waitFor("bestmove", 5000));
    // A second "go" right after: the helpers of the first must be joined.
    engine.send("go depth 2");
    ASSERT_TRUE(engine.waitFor("bestmove", 30000));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchThreads, ThreadCountOutsideTheRangeIsClamped) {
    EngineProcess engine;
    for (const char* count : {"1000000", "0", "-3"}) {
        engine.send(std::string("setoption name threads value ") + count);
        engine.send("go depth 2");
        EXPECT_TRUE(engine.waitFor("bestmove", 60000)) << count;
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, BenchStopsAnUnboundedSearchFirst) {
    EngineProcess engine;
    engine.send("go infinite");
    expectNoBestmoveFor(engine, 200);
    engine.send("bench 1");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("NPS(Mean): ", 60000, &seen));
    ASSERT_FALSE(seen.empty());
    // The running search printed its move before the benchmark began.
    int firstBest = -1, firstBenchInfo = -1;
    for (int i = 0; i < int(seen.size()); i++) {
        if (firstBest < 0 && startsWith(seen[i], "bestmove")) firstBest = i;
        if (firstBest >= 0 && firstBenchInfo < 0 && startsWith(seen[i], "info depth 1 ")) firstBenchInfo = i;
    }
    EXPECT_GE(firstBest, 0);
    EXPECT_GT(firstBenchInfo, firstBest);
    EXPECT_EQ(countPrefix(seen, "bestmove"), 1 + 19);
    EXPECT_EQ(engine.quit(), 0);
}

// Bare kings: every iteration is over at once, so depth 100 is reached in
// about a millisecond.
const char* const BareKings = "position fen 7k/8/8/8/8/8/8/K7 w - - 0 1";

TEST(GoCommand, InfiniteAndPonderAnswerOnlyWhenTold) {
    EngineProcess engine;
    engine.send(BareKings);
    for (const char* go : {"go infinite", "go", "go ponder wtime 5000 btime 5000"}) {
        engine.send(go);
        // The iterations have long run out; the answer must still wait.
        expectNoBestmoveFor(engine, 400);
        const long long told = monotonicMs();
        engine.send(std::string(go).find("ponder") != std::string::npos ? "ponderhit" : "stop");
        ASSERT_TRUE(engine.waitFor("bestmove a1", 2000)) << go;
        EXPECT_LT(monotonicMs() - told, 1000) << go;
    }
    // A search with a limit of its own answers as soon as it ends.
    engine.send("go depth 100");
    EXPECT_TRUE(engine.waitFor("bestmove a1", 2000));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, GoDuringAnUnboundedSearchStopsItFirst) {
    EngineProcess engine;
    for (const char* first : {"go infinite", "go ponder wtime 60000 btime 60000", "go", "go depth 200"}) {
        engine.send("position startpos");
        engine.send(first);
        expectNoBestmoveFor(engine, 200);
        // The loop cannot read "stop" while it waits for the running search.
        engine.send("go depth 2");
        Lines seen;
        ASSERT_TRUE(engine.waitFor("bestmove", 5000, &seen)) << first;
        seen.clear();
        ASSERT_TRUE(engine.waitFor("bestmove", 5000, &seen)) << first;
        EXPECT_TRUE(anyContains(seen, "info depth 2 ")) << first;
        EXPECT_FALSE(anyContains(seen, "info depth 3 ")) << first;
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, AClockedGoAfterAnUntimedOneUsesTheClock) {
    EngineProcess engine;
    for (const char* first : {"go infinite", "go movetime 100", "go depth 1", "go nodes 100"}) {
        engine.send("position startpos");
        engine.send(first);
        if (std::string(first) == "go infinite") engine.send("stop");
        ASSERT_TRUE(engine.waitFor("bestmove", 5000)) << first;
        // No "position" in between: this search must still keep to its clock.
        const long long start = monotonicMs();
        engine.send("go wtime 1000 btime 1000");
        ASSERT_TRUE(engine.waitFor("bestmove", 5000)) << first;
        EXPECT_LT(monotonicMs() - start, 1500) << first;
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, ALegalMoveAnswersEvenWithoutACompletedIteration) {
    EngineProcess engine;
    engine.send("position startpos");
    for (const char* go : {"go depth 0", "go depth -5", "go nodes 0", "go movetime 1"}) {
        engine.send(go);
        auto best = engine.waitFor("bestmove", 5000);
        ASSERT_TRUE(best) << go;
        EXPECT_NE(*best, "bestmove (none)") << go;
    }
    // A negative move time has passed at the first node: no line has a result,
    // so no info line claims one.
    for (const char* go : {"go movetime -5", "setoption name MultiPv value 3\ngo movetime -5"}) {
        engine.send(go);
        Lines seen;
        auto best = engine.waitFor("bestmove", 5000, &seen);
        ASSERT_TRUE(best) << go;
        EXPECT_NE(*best, "bestmove (none)") << go;
        EXPECT_FALSE(anyContains(seen, "score mate 0")) << go;
        for (const std::string& line : seen) EXPECT_NE(line.substr(line.size() >= 4 ? line.size() - 4 : 0), " pv ") << go;
    }
    engine.send("setoption name MultiPv value 1");
    // Stopped at once: the first root move in search order, without a ponder move.
    for (int i = 0; i < 20; i++) {
        engine.send("go infinite");
        engine.send("stop");
        auto best = engine.waitFor("bestmove", 5000);
        ASSERT_TRUE(best);
        EXPECT_NE(*best, "bestmove (none)");
    }
    // Checkmate and stalemate still have nothing to answer.
    engine.send("position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
    engine.send("go depth 0");
    EXPECT_EQ(engine.waitFor("bestmove", 5000), std::optional<std::string>("bestmove (none)"));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, PonderWithAMoveTimeStillWaitsForPonderhit) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4");
    engine.send("go movetime 300 ponder");
    // The move time ends the thinking, but not the pondering.
    expectNoBestmoveFor(engine, 800);
    const long long hit = monotonicMs();
    engine.send("ponderhit");
    ASSERT_TRUE(engine.waitFor("bestmove", 2000));
    EXPECT_LT(monotonicMs() - hit, 1000);
    EXPECT_EQ(engine.quit(), 0);
}
