// Signals sent with no search running leave no trace on later searches.
#include <gtest/gtest.h>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(StressIdle, StopAndPonderhitWithNoSearchAreHarmless) {
    EngineProcess engine;
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(engine.roundTrip("stop"), Lines{});
        EXPECT_EQ(engine.roundTrip("ponderhit"), Lines{});
    }
    // A raised flag left over from idle time touches no later search: the
    // depth search runs all its iterations, the move time is used, and an
    // infinite search still waits for its own "stop".
    engine.send("go depth 4");
    ASSERT_TRUE(engine.waitFor("info depth 4 ", SearchTimeoutMs));
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs));
    engine.send("stop");
    const long long start = monotonicMs();
    engine.send("go movetime 300");
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs));
    EXPECT_GE(monotonicMs() - start, 250);
    engine.send("ponderhit");
    engine.send("stop");
    engine.send("go infinite");
    expectNoBestmoveFor(engine, QuietWatchMs);
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SanitizerSlowdown));
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}
