// Controlling a running search through the engine process: "stop",
// "ponderhit", "quit", the end of input and the commands that wait for a
// search, and the searches that answer only when told to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"
#include "search_checks.h"

TEST(SearchControl, BareGoAndInfiniteRunUntilStop) {
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

TEST(SearchControl, PonderhitStartsTheClock) {
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

TEST(SearchControl, SecondGoWaitsForTheFirst) {
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

TEST(SearchControl, QuitStopsOnlyAnUnboundedSearch) {
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

TEST(SearchControl, EndOfInputStopsOnlyAnUnboundedSearch) {
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

TEST(SearchControl, CacheChangesDuringASearchWaitForIt) {
    EngineProcess engine;
    engine.send("go infinite");
    expectNoBestmoveFor(engine, 200);
    for (const char* line :
         {"setoption name Hash value 64", "newgame", "setoption name clear hash", "setoption name PawnHash value 16",
          "setoption name EvalHash value 4", "setoption name hash value 2"}) {
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

TEST(SearchControl, BenchStopsAnUnboundedSearchFirst) {
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

TEST(SearchControl, InfiniteAndPonderAnswerOnlyWhenTold) {
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

TEST(SearchControl, GoDuringAnUnboundedSearchStopsItFirst) {
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

TEST(SearchControl, PonderWithAMoveTimeStillWaitsForPonderhit) {
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

TEST(SearchControl, InfiniteAndBareGoUntilStopWithIsready) {
    EngineProcess engine;
    for (const char* go : {"go infinite", "go"}) {
        engine.send("position startpos");
        engine.send(go);
        Lines seen;
        // The search prints its iterations and keeps going.
        ASSERT_TRUE(engine.waitFor("info depth 5 ", 20000, &seen)) << go;
        const long long asked = monotonicMs();
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("readyok", 2000, &seen)) << go;
        EXPECT_LT(monotonicMs() - asked, 1000);
        for (const std::string& line : seen) EXPECT_FALSE(startsWith(line, "bestmove")) << go;
        const long long stop = monotonicMs();
        engine.send("stop");
        seen = searchOutput(engine, 3000);
        EXPECT_LT(monotonicMs() - stop, 1000);
        checkBestmove(seen.back());
        // An iteration stopped halfway still prints its final line before the
        // move; a stop that falls between two iterations leaves nothing to print.
        if (seen.size() >= 2) {
            EXPECT_TRUE(isFinalInfo(seen[seen.size() - 2])) << seen[seen.size() - 2];
        }
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchControl, StopInTheFirstIterationStillGivesAMove) {
    EngineProcess engine;
    for (int i = 0; i < 3; i++) {
        // Both lines in one write: the stop arrives while iteration 1 may still run.
        engine.sendRaw(
            "position fen r1b2rk1/1p1nbppp/pq1p4/3B4/P2NP3/2N1p3/1PP3PP/R2Q1R1K w - - 0 1\n"
            "go infinite\nstop\n");
        Lines seen = searchOutput(engine, 5000);
        ASSERT_FALSE(seen.empty());
        checkBestmove(seen.back());
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchControl, PonderhitStartsTheClockAndStopEndsAPonder) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4 e7e5 g1f3");
    engine.send("go ponder wtime 3000 btime 3000 winc 0 binc 0");
    Lines seen;
    EXPECT_FALSE(engine.waitFor("bestmove", 600, &seen));
    const long long hit = monotonicMs();
    engine.send("ponderhit");
    seen = searchOutput(engine, 5000);
    // The budget of about 3 s / 23 (+25 % for pondering), measured from the go.
    EXPECT_LT(monotonicMs() - hit, 1500);
    checkBestmove(seen.back());

    engine.send("go ponder wtime 3000 btime 3000");
    EXPECT_FALSE(engine.waitFor("bestmove", 400));
    engine.send("stop");
    seen = searchOutput(engine, 2000);
    checkBestmove(seen.back());
    EXPECT_EQ(engine.quit(), 0);
}

// The first search of a process is the slowest, and one of a few
// milliseconds often ends inside iteration 1: its answer must still be a
// legal move that agrees with the last line printed, whose score is one that
// a searched move produced.
TEST(SearchControl, MoveTimesOfAFewMillisecondsInFreshProcesses) {
    const char* const positions[] = {
        "position startpos",
        "position fen 3qkbnr/rppnp1p1/5p1p/p7/3pP1bQ/PPPB1N2/3P1PPP/RNB2K1R b k - 0 9",
    };
    for (int ms = 1; ms <= 5; ms++) {
        for (const char* position : positions) {
            EngineProcess engine;
            engine.send(position);
            engine.send("go movetime " + std::to_string(ms));
            Lines seen = searchOutput(engine, 5000);
            ASSERT_FALSE(seen.empty());
            EXPECT_EQ(answerFault(seen), "") << position << ", movetime " << ms;
            std::string best, ponder;
            splitBestmove(seen.back(), best, ponder);
            bool ok = false;
            EXPECT_EQ(legalMovesOfCurrent(engine, ok).count(best), 1u) << seen.back();
            if (!ponder.empty()) {
                engine.send(withMove(position, best));
                EXPECT_EQ(legalMovesOfCurrent(engine, ok).count(ponder), 1u) << seen.back();
            }
            EXPECT_EQ(engine.quit(), 0);
        }
    }
}
