// Checks shared by the end-to-end tests of searches: counting and reading
// the engine's lines, and the exact shape of "info" and "bestmove" lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

using Lines = std::vector<std::string>;

inline int countPrefix(const Lines& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines) n += startsWith(line, prefix);
    return n;
}

// Whether any line contains text.
inline bool anyContains(const Lines& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// Reads lines for ms milliseconds and fails if a bestmove is among them.
inline void expectNoBestmoveFor(EngineProcess& engine, int ms, Lines* seen = nullptr) {
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

inline std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

inline bool isNumber(const std::string& w) {
    size_t i = (!w.empty() && w[0] == '-') ? 1 : 0;
    if (i == w.size()) return false;
    for (; i < w.size(); i++)
        if (w[i] < '0' || w[i] > '9') return false;
    return true;
}

inline bool isMoveText(const std::string& w) {
    if (w.size() != 4 && w.size() != 5) return false;
    for (int i : {0, 2})
        if (w[i] < 'a' || w[i] > 'h' || w[i + 1] < '1' || w[i + 1] > '8') return false;
    return w.size() == 4 || std::string("QRBN").find(w[4]) != std::string::npos;
}

inline bool isFinalInfo(const std::string& line) {
    return startsWith(line, "info depth ") && line.find("bound") == std::string::npos;
}

// Checks the field order of a final info line:
// info depth D seldepth S multipv K score (cp|mate) V nodes N nps X time T hashfull H pv m1 m2 ...
// and returns its depth (0 when malformed).
inline int checkFinalLine(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    const std::vector<std::string> names = {"info",  "depth", "",         "seldepth", "",  "multipv", "",
                                            "score", "",      "",         "nodes",    "",  "nps",     "",
                                            "time",  "",      "hashfull", "",         "pv"};
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
inline void checkBoundLine(const std::string& line) {
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
inline void checkBestmove(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    ASSERT_TRUE(w.size() == 2 || w.size() == 4) << line;
    EXPECT_EQ(w[0], "bestmove");
    EXPECT_TRUE(isMoveText(w[1])) << line;
    if (w.size() == 4) {
        EXPECT_EQ(w[2], "ponder");
        EXPECT_TRUE(isMoveText(w[3])) << line;
    }
}

inline uint64_t nodesOf(const std::string& line) {
    std::vector<std::string> w = wordsOf(line);
    for (size_t i = 0; i + 1 < w.size(); i++)
        if (w[i] == "nodes") return std::stoull(w[i + 1]);
    return 0;
}

// Reads until "bestmove"; fails the test when it does not come in time.
inline Lines searchOutput(EngineProcess& engine, int timeoutMs) {
    Lines seen;
    EXPECT_TRUE(engine.waitFor("bestmove", timeoutMs, &seen)) << "no bestmove";
    return seen;
}
