// Search output and control through the engine process: the info lines of
// each iteration, stopping and pondering, tiny clocks, helper threads and the
// benchmark.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

bool isNumber(const std::string& w) {
    size_t i = (!w.empty() && w[0] == '-') ? 1 : 0;
    if (i == w.size()) return false;
    for (; i < w.size(); i++)
        if (w[i] < '0' || w[i] > '9') return false;
    return true;
}

bool isMoveText(const std::string& w) {
    if (w.size() != 4 && w.size() != 5) return false;
    for (int i : {0, 2})
        if (w[i] < 'a' || w[i] > 'h' || w[i + 1] < '1' || w[i + 1] > '8') return false;
    return w.size() == 4 || std::string("QRBN").find(w[4]) != std::string::npos;
}

bool isFinalInfo(const std::string& line) {
    return startsWith(line, "info depth ") && line.find("bound") == std::string::npos;
}

// Checks the field order of a final info line:
// info depth D seldepth S multipv K score (cp|mate) V nodes N nps X time T hashfull H pv m1 m2 ...
// and returns its depth (0 when malformed).
int checkFinalLine(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    const std::vector<std::string> names = {"info",  "depth", "", "seldepth", "", "multipv", "", "score", "",
                                            "",      "nodes", "", "nps",      "", "time",    "", "hashfull",
                                            "",      "pv"};
    EXPECT_GE(w.size(), names.size()) << line;
    if (w.size() < names.size()) return 0;
    for (size_t i = 0; i < names.size(); i++) {
        if (!names[i].empty()) {
            EXPECT_EQ(w[i], names[i]) << line;
        } else if (i != 8) {
            EXPECT_TRUE(isNumber(w[i])) << line;
        }
    }
    EXPECT_TRUE(w[8] == "cp" || w[8] == "mate") << line;
    EXPECT_GE(std::stoi(w[4]), std::stoi(w[2])) << "seldepth below depth: " << line;
    EXPECT_GE(std::stoi(w[15]), 1) << line;
    const int hashfull = std::stoi(w[17]);
    EXPECT_TRUE(hashfull >= 0 && hashfull <= 1000) << line;
    for (size_t i = names.size(); i < w.size(); i++) EXPECT_TRUE(isMoveText(w[i])) << line;
    EXPECT_EQ(line.back(), ' ') << "every pv move is followed by a space";
    return std::stoi(w[2]);
}

// Checks an aspiration failure line:
// info depth D seldepth S multipv 1 score cp V (upper|lower)bound nodes N nps X time T [hashfull H] pv m
void checkBoundLine(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    const bool lower = line.find(" lowerbound ") != std::string::npos;
    ASSERT_EQ(w.size(), lower ? 21u : 19u) << line;
    EXPECT_EQ(w[5], "multipv");
    EXPECT_EQ(w[6], "1");
    EXPECT_EQ(w[7], "score");
    EXPECT_EQ(w[8], "cp");
    EXPECT_EQ(w[10], lower ? "lowerbound" : "upperbound");
    EXPECT_EQ(w[11], "nodes");
    EXPECT_EQ(w[13], "nps");
    EXPECT_EQ(w[15], "time");
    if (lower) {
        EXPECT_EQ(w[17], "hashfull");
    }
    EXPECT_EQ(w[w.size() - 2], "pv");
    EXPECT_TRUE(isMoveText(w.back())) << line;
}

// The bestmove line: a move, optionally " ponder " and a move.
void checkBestmove(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    ASSERT_TRUE(w.size() == 2 || w.size() == 4) << line;
    EXPECT_EQ(w[0], "bestmove");
    EXPECT_TRUE(isMoveText(w[1])) << line;
    if (w.size() == 4) {
        EXPECT_EQ(w[2], "ponder");
        EXPECT_TRUE(isMoveText(w[3])) << line;
    }
}

uint64_t nodesOf(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    for (size_t i = 0; i + 1 < w.size(); i++)
        if (w[i] == "nodes") return std::stoull(w[i + 1]);
    return 0;
}

// Reads until "bestmove"; fails the test when it does not come in time.
Lines searchOutput(EngineProcess& engine, int timeoutMs) {
    Lines seen;
    EXPECT_TRUE(engine.waitFor("bestmove", timeoutMs, &seen)) << "no bestmove";
    return seen;
}

}  // namespace

TEST(SearchOutput, OneFinalLinePerDepthThenBestmove) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4 c7c5 g1f3");
    engine.send("go depth 8");
    Lines seen = searchOutput(engine, 60000);
    ASSERT_FALSE(seen.empty());
    int expectedDepth = 1;
    for (size_t i = 0; i + 1 < seen.size(); i++) {
        const std::string& line = seen[i];
        ASSERT_TRUE(startsWith(line, "info depth ")) << line;
        if (isFinalInfo(line)) {
            EXPECT_EQ(checkFinalLine(line), expectedDepth) << line;
            expectedDepth++;
        } else {
            checkBoundLine(line);
        }
    }
    EXPECT_EQ(expectedDepth, 9);
    checkBestmove(seen.back());
    // The best move is the first move of the last variation.
    EXPECT_EQ(wordsOf(seen.back())[1], wordsOf(seen[seen.size() - 2])[19]);
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchOutput, MateAndNoMoveThroughTheProtocol) {
    EngineProcess engine;
    engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    engine.send("go depth 3");
    Lines seen = searchOutput(engine, 20000);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_NE(seen[seen.size() - 2].find(" score mate 1 "), std::string::npos);
    EXPECT_EQ(seen.back(), "bestmove a1a8");

    // Stalemate: no info line at all.
    engine.send("position fen k7/8/1Q6/8/8/8/8/7K b - - 0 1");
    engine.send("go depth 3");
    EXPECT_EQ(searchOutput(engine, 20000), Lines{"bestmove (none)"});
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchControl, MoveTimeIsKept) {
    EngineProcess engine;
    engine.send("position startpos moves d2d4 d7d5 c2c4");
    const long long start = monotonicMs();
    engine.send("go movetime 500");
    Lines seen = searchOutput(engine, 10000);
    const long long took = monotonicMs() - start;
    EXPECT_GE(took, 450);
    EXPECT_LT(took, 1500);
    checkBestmove(seen.back());
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
        engine.sendRaw("position fen r1b2rk1/1p1nbppp/pq1p4/3B4/P2NP3/2N1p3/1PP3PP/R2Q1R1K w - - 0 1\n"
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

TEST(SearchControl, NodeLimitEndsNearTheCount) {
    EngineProcess engine;
    engine.send("go nodes 50000");
    Lines seen = searchOutput(engine, 30000);
    ASSERT_GE(seen.size(), 2u);
    const uint64_t nodes = nodesOf(seen[seen.size() - 2]);
    EXPECT_GE(nodes, 50000u);
    EXPECT_LT(nodes, 50000u + 4096u);
    checkBestmove(seen.back());
    EXPECT_EQ(engine.quit(), 0);
}

TEST(SearchControl, TinyClocksAnswerInTime) {
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

// The names of these contain "Threads": "make tsan" runs them under ThreadSanitizer.
TEST(SearchThreads, TwoThreadsDepthAndTimeLimits) {
    EngineProcess engine;
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

TEST(Bench, RunsFormatAndTheLastPosition) {
    EngineProcess engine;
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
    EXPECT_EQ(engine.quit(), 0);
}

TEST(Bench, TenThenDisplayShowsTheNineteenthPosition) {
    EngineProcess engine;
    engine.send("setoption name Threads value 4");  // bench searches with one thread anyway
    engine.send("bench 10");
    Lines seen;
    ASSERT_TRUE(engine.waitFor("NPS(Mean): ", 120000, &seen));
    EXPECT_EQ(engine.roundTrip(""), Lines{});  // exactly four summary lines, nothing after them
    int summary = 0;
    for (const std::string& line : seen) summary += !startsWith(line, "info") && !startsWith(line, "bestmove");
    EXPECT_EQ(summary, 4);
    Lines shown = engine.roundTrip("display");
    engine.send("position fen r2q1rk1/1p2ppbp/3nb1p1/p1QpN3/3P4/6P1/PP1BPPBP/R2R2K1 w ");
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
}
