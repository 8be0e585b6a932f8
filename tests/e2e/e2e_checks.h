// Small checks shared by the end-to-end tests that drive the engine hard:
// legal move sets taken from the engine's own "perft 1", and the factor by
// which time limits grow in sanitizer builds.
#pragma once

#include <set>
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
