// Small checks shared by the end-to-end tests that drive the engine hard:
// legal move sets taken from the engine's own "perft 1", what the end of a
// search must tell a client, and the factor by which time limits grow in
// sanitizer builds.
#pragma once

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

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

// The "hash" line after a "position" command.
inline std::string hashAfter(EngineProcess& engine, const std::string& position) {
    engine.send(position);
    return onlyLine(engine, "hash");
}

inline bool startsWith(const std::string& line, const std::string& prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// The legal moves of the engine's current position, read from "perft 1",
// which prints "<move>: 1" per legal move, an empty line and the total.
// ok is cleared when the output does not have that shape.
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
        std::istringstream in(line);
        std::vector<std::string> w;
        for (std::string word; in >> word;) w.push_back(word);
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
