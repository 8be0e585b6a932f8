// "go" and its limits through the engine process: depth, move time, clock,
// node count and MultiPv end or shape the search as asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(GoCommand, DepthLimitEndsTheSearch) {
    EngineProcess engine;
    // A second "go" waits for the first, and each ends at its own depth.
    engine.send("go depth 5");
    engine.send("go depth 1");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 5 "));
    EXPECT_FALSE(anyContains(seen, "info depth 6 "));
    seen.clear();
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 1 "));
    EXPECT_FALSE(anyContains(seen, "info depth 2 "));
    engine.send("position startpos moves e2e4");
    engine.send("go depth 4");
    seen.clear();
    ASSERT_TRUE(engine.waitFor("bestmove", 30000, &seen));
    EXPECT_TRUE(anyContains(seen, "info depth 4 "));
    EXPECT_FALSE(anyContains(seen, "info depth 5 "));
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, MoveTimeAndClockEndTheSearch) {
    EngineProcess engine;
    engine.send("position startpos moves d2d4 d7d5 c2c4");
    long long start = monotonicMs();
    engine.send("go movetime 500");
    const Lines seen = searchOutput(engine, 10000);
    const long long took = monotonicMs() - start;
    EXPECT_GE(took, 450);
    EXPECT_LT(took, 1500);
    checkBestmove(seen.back());

    start = monotonicMs();
    engine.send("position startpos moves e2e4");  // Black to move: btime counts
    engine.send("go wtime 100000 btime 1000 winc 0 binc 0");
    ASSERT_TRUE(engine.waitFor("bestmove", 10000));
    EXPECT_LT(monotonicMs() - start, 1500);
    EXPECT_EQ(engine.quit(), 0);
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
    // Above the announced maximum of 100 the lines asked for are searched,
    // here 150 of a position's 218 moves.
    engine.send("setoption name MultiPv value 150");
    engine.send("position fen R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1");
    seen.clear();
    engine.send("go depth 1");
    ASSERT_TRUE(engine.waitFor("bestmove", 20000, &seen));
    EXPECT_TRUE(anyContains(seen, " multipv 150 "));
    EXPECT_FALSE(anyContains(seen, " multipv 151 "));
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
        for (const std::string& line : seen)
            EXPECT_NE(line.substr(line.size() >= 4 ? line.size() - 4 : 0), " pv ") << go;
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

TEST(GoCommand, NodeLimitEndsNearTheCount) {
    EngineProcess engine;
    engine.send("go nodes 50000");
    const Lines seen = searchOutput(engine, 30000);
    ASSERT_GE(seen.size(), 2u);
    const uint64_t nodes = nodesOf(seen[seen.size() - 2]);
    EXPECT_GE(nodes, 50000u);
    EXPECT_LT(nodes, 50000u + 4096u);
    checkBestmove(seen.back());
    // A smaller limit ends the next search too. The table now holds the
    // first search, so the stop comes early in an iteration: the last line
    // still counts every node searched.
    engine.send("go nodes 20000");
    const Lines again = searchOutput(engine, 20000);
    ASSERT_GE(again.size(), 2u);
    EXPECT_GE(nodesOf(again[again.size() - 2]), 20000u) << again[again.size() - 2];
    checkBestmove(again.back());
    EXPECT_EQ(engine.quit(), 0);
}

TEST(GoCommand, TinyClocksAnswerInTime) {
    EngineProcess engine;
    struct Case {
        const char* go;
        long long limitMs;
    };
    for (Case c : {Case{"go wtime 200 winc 0", 200}, Case{"go wtime 40", 100}, Case{"go wtime 10 winc 0", 100}}) {
        engine.send("position startpos moves e2e4 e7e5");
        const long long start = monotonicMs();
        engine.send(c.go);
        Lines seen = searchOutput(engine, 5000);
        EXPECT_LT(monotonicMs() - start, c.limitMs) << c.go;
        checkBestmove(seen.back());
    }
    EXPECT_EQ(engine.quit(), 0);
}
