// The "bench" command through the engine process, and the benchmark
// signature.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(Bench, RunsFormatAndTheLastPosition) {
    EngineProcess engine;
    engine.send("setoption name Threads value 4");  // bench searches with one thread anyway
    engine.send("bench 8 3");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("95% Conf: ", 120000, &seen));
    Lines summary;
    uint64_t searchNodes = 0;
    std::vector<uint64_t> perSearch;
    std::string lastFinal;
    int bestmoves = 0;
    for (const std::string& line : seen) {
        if (isFinalInfo(line)) lastFinal = line;
        if (startsWith(line, "bestmove")) {
            bestmoves++;
            perSearch.push_back(nodesOf(lastFinal));
            searchNodes += nodesOf(lastFinal);
        } else if (!startsWith(line, "info")) {
            summary.push_back(line);
        }
    }
    EXPECT_EQ(bestmoves, 57);
    ASSERT_EQ(summary.size(), 9u);
    EXPECT_TRUE(startsWith(summary[0], "Time     : "));
    EXPECT_EQ(summary[1], "Nodes    : " + std::to_string(searchNodes));
    EXPECT_EQ(summary[2], "T1:      : 0");
    EXPECT_TRUE(startsWith(summary[3], "NPS(Mean): "));
    for (int i = 0; i < 3; i++) EXPECT_TRUE(startsWith(summary[4 + i], "nps[" + std::to_string(i) + "]"));
    EXPECT_TRUE(isNumber(summary[4].substr(6)));
    EXPECT_TRUE(startsWith(summary[7], "StandDev : "));
    EXPECT_TRUE(startsWith(summary[8], "95% Conf: "));
    EXPECT_NE(summary[8].find(" - "), std::string::npos);
    // Every run starts from an empty table and searches the same trees.
    ASSERT_EQ(perSearch.size(), 57u);
    for (int i = 0; i < 19; i++) {
        EXPECT_EQ(perSearch[i], perSearch[19 + i]) << i;
        EXPECT_EQ(perSearch[i], perSearch[38 + i]) << i;
    }

    // Afterwards the record holds the last benchmark position.
    Lines shown = engine.roundTrip("display");
    engine.send("position fen r2q1rk1/1p2ppbp/3nb1p1/p1QpN3/3P4/6P1/PP1BPPBP/R2R2K1 w ");
    EXPECT_EQ(engine.roundTrip("display"), shown);
    EXPECT_FALSE(shown.empty());

    // A single run: exactly four summary lines, nothing after them, and again
    // the nineteenth position left behind.
    engine.send("position startpos");
    engine.send("bench 10");
    seen.clear();
    ASSERT_TRUE(engine.waitFor("NPS(Mean): ", 120000, &seen));
    EXPECT_EQ(engine.roundTrip(""), Lines{});
    int lines = 0;
    for (const std::string& line : seen) lines += !startsWith(line, "info") && !startsWith(line, "bestmove");
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(engine.roundTrip("display"), shown);
    EXPECT_EQ(engine.quit(), 0);
}

TEST(Bench, SlowDefaultDepth) {
    EngineProcess engine;
    engine.send("bench");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("NPS(Mean): ", 600000, &seen));
    int bestmoves = 0, summary = 0;
    for (const std::string& line : seen) {
        bestmoves += startsWith(line, "bestmove");
        summary += !startsWith(line, "info") && !startsWith(line, "bestmove");
        if (isFinalInfo(line)) {
            EXPECT_LE(std::stoi(wordsOf(line)[2]), 12);
        }
    }
    EXPECT_EQ(bestmoves, 19);
    EXPECT_EQ(summary, 4);
    EXPECT_EQ(engine.quit(), 0);
}

// The fingerprint of the engine's behaviour: the total node count of a
// fixed-depth, single-thread benchmark in a fresh process. It must be the
// same in every build configuration; a change of search or evaluation that
// changes it must say why (and update it here).
TEST(Bench, BenchSignature) {
    constexpr uint64_t ExpectedBenchNodes = 73946;
    EngineProcess engine;
    engine.send("bench 5");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("Nodes    : ", 60000, &seen));
    EXPECT_EQ(seen.back(), "Nodes    : " + std::to_string(ExpectedBenchNodes));
    EXPECT_EQ(engine.quit(), 0);

    // "ostrevalk bench 5" runs the same benchmark without reading its input,
    // whether that is closed or left open, ends with "N nodes M nps" and exits.
    for (bool closeInput : {true, false}) {
        EngineProcess job(engineUnderTest(), {"bench", "5"});
        if (closeInput) job.closeInput();
        Lines lines;
        while (auto line = job.readLine(60000)) lines.push_back(*line);
        EXPECT_EQ(job.waitExit(10000), 0);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(countPrefix(lines, "Nodes    : " + std::to_string(ExpectedBenchNodes)), 1);
        EXPECT_TRUE(std::regex_match(lines.back(), std::regex("[0-9]+ nodes [0-9]+ nps")));
        EXPECT_TRUE(startsWith(lines.back(), std::to_string(ExpectedBenchNodes) + " nodes ")) << lines.back();
    }
}
