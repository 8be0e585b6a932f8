// "isready" and other commands in a burst while a search runs.
#include <gtest/gtest.h>

#include <string>

#include "e2e_checks.h"
#include "engine_process.h"

// A burst of commands while two threads search: every "isready" answered,
// and the position commands in between applied in order.
TEST(StressIsready, BurstDuringASearchThreads) {
    EngineProcess engine;
    const std::string start = engine.roundTrip("hash").at(0);
    const std::string e4 = engine.roundTrip("position startpos moves e2e4\nhash").at(0);
    ASSERT_NE(start, e4);
    engine.send("setoption name Threads value 2");
    engine.send("position startpos");
    engine.send("go infinite");
    std::string burst;
    for (int i = 0; i < 100; i++) {
        burst += "isready\n";
        if (i % 10 == 9) burst += (i % 20 == 9 ? "position startpos moves e2e4\nhash\n" : "position startpos\nhash\n");
    }
    const long long sent = monotonicMs();
    ASSERT_TRUE(engine.sendRaw(burst));
    std::string order, expected;
    for (int i = 0; i < 100; i++) {
        expected += 'r';
        if (i % 10 == 9) expected += i % 20 == 9 ? 'e' : 's';
    }
    while (order.size() < expected.size()) {
        auto line = engine.readLine(ReadyLatencyMs);
        ASSERT_TRUE(line) << "answered so far: " << order;
        ASSERT_FALSE(startsWith(*line, "bestmove")) << "the search ended by itself";
        if (startsWith(*line, "info ")) continue;
        order += *line == "readyok" ? 'r' : *line == e4 ? 'e' : *line == start ? 's' : '?';
    }
    EXPECT_EQ(order, expected);
    EXPECT_LT(monotonicMs() - sent, ReadyLatencyMs);
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SanitizerSlowdown));
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}
