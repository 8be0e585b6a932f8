// Checks shared by the end-to-end tests: counting and reading the engine's
// lines, the exact shape of "info" and "bestmove" lines, legal move sets
// taken from the engine's own "perft 1", what the end of a search must tell a
// client, the positions and margins of the stress tests, and the factor by
// which time limits grow in sanitizer builds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

using Lines = std::vector<std::string>;

// Sanitizer builds run the engine several times slower; every deadline of
// these tests is multiplied by this.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int SanitizerSlowdown = 8;
#else
constexpr int SanitizerSlowdown = 1;
#endif

// The single line a command prints, or "<n> lines" when it prints another count.
inline std::string onlyLine(EngineProcess& engine, const std::string& command) {
    const std::vector<std::string> lines = engine.roundTrip(command);
    return lines.size() == 1 ? lines[0] : std::to_string(lines.size()) + " lines";
}

// The "hash" line of the current position, and after a "position" command.
inline std::string hashOf(EngineProcess& engine) { return onlyLine(engine, "hash"); }
inline std::string hashAfter(EngineProcess& engine, const std::string& position) {
    engine.send(position);
    return hashOf(engine);
}

inline bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

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

// The arguments that make "perft" a command, for an engine whose legal moves
// a test reads with legalMovesOfCurrent.
inline const std::vector<std::string> WithPerft = {"--diagnostics"};

// The legal moves of the engine's current position, read from "perft 1",
// which prints "<move>: 1" per legal move, an empty line and the total
// (an engine started with WithPerft). ok is cleared when the output does
// not have that shape.
inline std::set<std::string> legalMovesOfCurrent(EngineProcess& engine, bool& ok) {
    std::set<std::string> moves;
    bool ready = false;
    const std::vector<std::string> lines = engine.roundTrip("perft 1", 10000 * SanitizerSlowdown, &ready);
    ok = ready && lines.size() >= 2 && lines[lines.size() - 2].empty();
    if (!ok) return moves;
    for (size_t i = 0; i + 2 < lines.size(); i++) {
        const std::string& line = lines[i];
        const size_t colon = line.find(": ");
        if (colon == std::string::npos || line.substr(colon + 2) != "1") {
            ok = false;
            return moves;
        }
        moves.insert(line.substr(0, colon));
    }
    ok = lines.back() == "Nodes searched: " + std::to_string(moves.size()) && moves.size() == lines.size() - 2;
    return moves;
}

// The position command with one more move played at its end.
inline std::string withMove(const std::string& positionCommand, const std::string& move) {
    const bool hasMoves = positionCommand.find(" moves") != std::string::npos;
    return positionCommand + (hasMoves ? " " : " moves ") + move;
}

// The move word of a "bestmove" line and its " ponder" word, if any.
inline void splitBestmove(const std::string& line, std::string& best, std::string& ponder) {
    best.clear();
    ponder.clear();
    const std::string rest = line.substr(std::string("bestmove ").size());
    const size_t space = rest.find(' ');
    best = rest.substr(0, space);
    if (space == std::string::npos) return;
    const std::string tail = rest.substr(space + 1);
    if (startsWith(tail, "ponder "))
        ponder = tail.substr(7);
    else
        ponder = "<malformed: " + tail + ">";
}

// Centipawns of the widest score below the mate range (31800 units), and of
// the widest score at all (32001 units), which only an aspiration bound line
// prints in centipawns.
constexpr long FinalLineCpLimit = 31800L * 100 / 257;
constexpr long BoundLineCpLimit = 32001L * 100 / 257;

// What a client reads at the end of a search, the search's lines up to and
// including "bestmove": every score one that a position with moves can have
// (never "mate 0", no centipawns beyond the range below the mate scores), and
// a "bestmove" that agrees with the last final line of the first variation:
// its pv starts with the move, and " ponder" is printed only as that pv's
// second move. Without any final line there is no ponder move either.
// checkPv false leaves the agreement out. Returns the first fault, or "".
inline std::string answerFault(const std::vector<std::string>& lines, bool checkPv = true) {
    std::vector<std::string> lastPv;
    bool anyFinal = false;
    std::string answer;
    for (const std::string& line : lines) {
        const std::vector<std::string> w = wordsOf(line);
        if (!w.empty() && w[0] == "bestmove") {
            answer = line;
            break;
        }
        if (w.size() < 2 || w[0] != "info" || w[1] != "depth") continue;
        const bool bound =
            line.find(" lowerbound ") != std::string::npos || line.find(" upperbound ") != std::string::npos;
        bool firstLine = true;
        for (size_t i = 0; i < w.size(); i++) {
            if (w[i] == "multipv" && i + 1 < w.size()) firstLine = w[i + 1] == "1";
            if (w[i] == "score" && i + 2 < w.size()) {
                const long value = std::strtol(w[i + 2].c_str(), nullptr, 10);
                if (w[i + 1] == "mate" && (value == 0 || bound)) return "a mate score of " + w[i + 2] + ": " + line;
                if (w[i + 1] == "cp" && std::labs(value) > (bound ? BoundLineCpLimit : FinalLineCpLimit))
                    return "a score out of range: " + line;
            }
            if (w[i] == "pv" && !bound && firstLine) {
                anyFinal = true;
                lastPv.assign(w.begin() + long(i) + 1, w.end());
                break;
            }
        }
    }
    if (answer.empty()) return "no bestmove";
    if (!checkPv || answer == "bestmove (none)") return "";
    std::string best, ponder;
    splitBestmove(answer, best, ponder);
    if (anyFinal && (lastPv.empty() || lastPv[0] != best))
        return "\"" + answer + "\" after a last line with pv " + (lastPv.empty() ? "<empty>" : lastPv[0] + " ...");
    if (!ponder.empty() && (lastPv.size() < 2 || lastPv[1] != ponder))
        return "\"" + answer + "\" names a ponder move its last line does not have";
    return "";
}

// The stress tests. Margins over a search's own limit, generous for a loaded
// two-core machine.
constexpr int MoveTimeMarginMs = 600 * SanitizerSlowdown;
constexpr int ClockMarginMs = 500 * SanitizerSlowdown;
constexpr int ReadyLatencyMs = 2000 * SanitizerSlowdown;
constexpr int SearchTimeoutMs = 20000 * SanitizerSlowdown;
constexpr int ExitTimeoutMs = 5000 * SanitizerSlowdown;
// How long a search that must wait for a command is watched for a bestmove
// of its own.
constexpr int QuietWatchMs = 300;
// The deepest fixed-depth search of a schedule: quick with eight threads
// and four lines even in a sanitizer build.
constexpr int MaxScheduleDepth = SanitizerSlowdown > 1 ? 3 : 4;
// "bench" searches this many positions, one bestmove each.
constexpr int BenchPositionCount = 19;

const char* const KingsOnly = "position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1";
const char* const Checkmated = "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";

// Positions of the schedules: quiet and sharp ones, both sides to move,
// castling and en passant, promotions, a single legal reply, and roots with
// no legal move at all (checkmate, stalemate).
const char* const SchedulePositions[] = {
    "position startpos",
    "position startpos moves e2e4",
    "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "position startpos moves d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5 f8e7",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1 moves a2a4",
    "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
    "position fen 8/1P4k1/8/8/8/8/5Kp1/8 w - - 0 1",
    "position fen 8/1P4k1/8/8/8/8/5Kp1/8 b - - 0 1",
    "position fen 4k3/8/8/8/8/8/4q3/4K3 w - - 0 1",
    "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1",
    KingsOnly,
    Checkmated,
    "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
};
