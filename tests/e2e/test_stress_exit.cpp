// "quit" and the end of input while searches run: every search answers as
// its kind promises, and the engine exits cleanly and at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(StressExit, QuitAndEndOfInputDuringSearchesThreads) {
    // "quit" ends a search that only a command could end at once; one with a
    // limit of its own prints its move when it gets there, then the exit.
    for (const char* go : {"go infinite", "go ponder", "go depth 200", "go", "go movetime 800", "go depth 3",
                           "go wtime 2000 btime 2000", "go nodes 30000"}) {
        EngineProcess engine;
        engine.send("setoption name Threads value 3");
        const long long goAt = monotonicMs();
        engine.send(go);
        engine.readLine(50);
        const long long quitAt = monotonicMs();
        engine.send("quit");
        EXPECT_TRUE(engine.waitFor("bestmove", 3000 * SanitizerSlowdown)) << go;
        if (std::string(go) == "go movetime 800") {
            EXPECT_GE(monotonicMs() - goAt, 700);
        }
        EXPECT_EQ(engine.waitExit(3000 * SanitizerSlowdown), 0) << go;
        EXPECT_LT(monotonicMs() - quitAt, 3000 * SanitizerSlowdown) << go;
    }
    // End of input stops a search that waits for a command; a bounded one
    // finishes first, a depth-limited one its last iteration. Searches queued
    // behind bounded ones all answer.
    for (const char* go : {"go infinite", "go", "go ponder wtime 1000 btime 1000", "go movetime 200", "go depth 6",
                           "go depth 3\ngo depth 2\ngo movetime 50\ngo depth 1\ngo infinite"}) {
        EngineProcess engine;
        engine.send("setoption name Threads value 3");
        engine.send(go);
        engine.closeInput();
        const int expected = int(std::count(go, go + std::string(go).size(), '\n')) + 1;
        int bestmoves = 0;
        bool deepest6 = false;
        for (;;) {
            auto line = engine.readLine(5000 * SanitizerSlowdown);
            if (!line) break;
            bestmoves += startsWith(*line, "bestmove");
            deepest6 = deepest6 || startsWith(*line, "info depth 6 ");
        }
        EXPECT_EQ(bestmoves, expected) << go;
        if (std::string(go) == "go depth 6") {
            EXPECT_TRUE(deepest6);
        }
        EXPECT_EQ(engine.waitExit(3000 * SanitizerSlowdown), 0) << go;
    }
}
