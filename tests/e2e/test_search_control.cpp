// Controlling a running search through the engine process: "stop",
// "ponderhit", "quit", the end of input and the commands that wait for a
// search, and the searches that answer only when told to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(SearchControl, BareGoAndInfiniteRunUntilStop) {
    EngineProcess engine;
    for (const char* go : {"go", "go infinite", "go depth x", "go searchmoves e2e4 infinite"}) {
        engine.send("position startpos");
        engine.send(go);
        Lines seen;
        // The search prints its iterations and keeps going.
        ASSERT_TRUE(engine.waitFor("info depth 5 ", 20000, &seen)) << go;
        expectNoBestmoveFor(engine, 400, &seen);
        // The loop answers while the search runs.
        const long long asked = monotonicMs();
        engine.send("isready");
        ASSERT_TRUE(engine.waitFor("readyok", 2000, &seen)) << go;
        EXPECT_LT(monotonicMs() - asked, 1000) << go;
        EXPECT_EQ(countPrefix(seen, "bestmove"), 0) << go;
        const long long stop = monotonicMs();
        engine.send("stop");
        seen = searchOutput(engine, 3000);
        EXPECT_LT(monotonicMs() - stop, 1000) << go;
        checkBestmove(seen.back());
        // An iteration stopped halfway still prints its final line before the
        // move; a stop that falls between two iterations leaves nothing to print.
        if (seen.size() >= 2) {
            EXPECT_TRUE(isFinalInfo(seen[seen.size() - 2])) << seen[seen.size() - 2];
        }
    }
    // Only "go" itself is bare: a longer line is read for limits, and with
    // none (no clock after a "position") it plays after one iteration.
    for (const char* go : {"go ", "go   ", " go"}) {
        engine.send("position startpos");
        engine.send(go);
        const Lines seen = searchOutput(engine, 3000);
        ASSERT_FALSE(seen.empty()) << go;
        checkBestmove(seen.back());
        EXPECT_TRUE(anyContains(seen, "info depth 1 ")) << go;
        EXPECT_FALSE(anyContains(seen, "info depth 2 ")) << go;
    }
    // "stop" with no search running prints nothing.
    EXPECT_EQ(engine.roundTrip("stop"), Lines{});
    EXPECT_EQ(engine.quit(), 0);
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

// Two kings only: every line is a draw at once, so the iterations reach
// depth 100 within milliseconds; the answer must still wait for the command,
// and then come at once. A checkmated side has no move at all.
TEST(SearchControl, InfiniteAndPonderAnswerOnlyWhenTold) {
    EngineProcess engine;
    struct Case {
        const char* position;
        const char* go;
        const char* wake;
        const char* lastInfo;  // nullptr: no info line (no legal move)
    };
    const Case cases[] = {
        {KingsOnly, "go infinite", "stop", "info depth 100 "},
        {KingsOnly, "go", "stop", "info depth 100 "},
        {KingsOnly, "go ponder", "ponderhit", "info depth 100 "},
        {KingsOnly, "go ponder wtime 5000 btime 5000", "ponderhit", "info depth 100 "},
        {KingsOnly, "go ponder wtime 100000 btime 100000", "ponderhit", "info depth 100 "},
        {"position startpos", "go ponder depth 3", "ponderhit", "info depth 3 "},
        {Checkmated, "go ponder", "ponderhit", nullptr},
        {Checkmated, "go infinite", "stop", nullptr},
    };
    for (const Case& c : cases) {
        engine.send(c.position);
        engine.send(c.go);
        if (c.lastInfo) {
            ASSERT_TRUE(engine.waitFor(c.lastInfo, SearchTimeoutMs)) << c.go;
        }
        expectNoBestmoveFor(engine, QuietWatchMs);
        const long long woken = monotonicMs();
        engine.send(c.wake);
        auto best = engine.waitFor("bestmove", SearchTimeoutMs);
        ASSERT_TRUE(best) << c.go;
        EXPECT_LT(monotonicMs() - woken, 500 * SanitizerSlowdown) << c.go;
        if (c.lastInfo == nullptr) {
            EXPECT_EQ(*best, "bestmove (none)");
        } else if (c.position == KingsOnly) {
            EXPECT_TRUE(startsWith(*best, "bestmove e1")) << *best;
        } else {
            EXPECT_NE(*best, "bestmove (none)");
        }
    }
    // A search with a limit of its own answers as soon as it ends.
    engine.send(KingsOnly);
    engine.send("go depth 100");
    EXPECT_TRUE(engine.waitFor("bestmove e1", 2000 * SanitizerSlowdown));
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
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
    for (const char* go : {"go ponder wtime 1000 btime 1000", "go ponder wtime 3000 btime 3000 winc 0 binc 0"}) {
        engine.send("position startpos moves e2e4 e7e5 g1f3");
        engine.send(go);
        expectNoBestmoveFor(engine, 600);
        const long long hit = monotonicMs();
        engine.send("ponderhit");
        const Lines seen = searchOutput(engine, 5000);
        // The budget of about a 23rd of the clock (+25 % for pondering),
        // measured from the go.
        EXPECT_LT(monotonicMs() - hit, 1500) << go;
        checkBestmove(seen.back());
    }

    engine.send("go ponder wtime 3000 btime 3000");
    EXPECT_FALSE(engine.waitFor("bestmove", 400));
    engine.send("stop");
    checkBestmove(searchOutput(engine, 2000).back());
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
            EngineProcess engine(engineUnderTest(), WithPerft);
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
