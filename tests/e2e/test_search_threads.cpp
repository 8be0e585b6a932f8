// Helper threads through the engine process. The names of these tests
// contain "Threads": "make tsan" runs them under ThreadSanitizer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

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

    // Two threads keep depth and time limits.
    engine.send("setoption name Threads value 2");
    engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6");
    engine.send("go depth 7");
    Lines seen = searchOutput(engine, 60000);
    int finals = 0;
    for (const std::string& line : seen)
        if (isFinalInfo(line)) finals++;
    EXPECT_EQ(finals, 7);
    checkBestmove(seen.back());

    const long long start = monotonicMs();
    engine.send("go movetime 300");
    seen = searchOutput(engine, 5000);
    EXPECT_LT(monotonicMs() - start, 2000);
    checkBestmove(seen.back());

    // The helpers drain after bestmove: a new search starts cleanly. (A
    // "position" first: the limits of "go movetime" would stay otherwise.)
    engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6");
    engine.send("go wtime 500 btime 500");
    checkBestmove(searchOutput(engine, 5000).back());
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
