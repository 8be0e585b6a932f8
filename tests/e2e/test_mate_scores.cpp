// Mate scores that the table carries from one search to the next: a
// tournament manager keeps one engine for many games, a GUI steps back
// through a game, and the same position is sent again as a FEN after it was
// searched with its moves. Every later search must still answer within its
// limits and print only scores that a position can have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

const std::string RookEnding = "3K4/8/8/8/7k/8/8/6R1 w - - 0 1";

// The rook ending with the shuffle g1g2 h4h5 g2g1 h5h4 played ten times:
// the same position again, forty plies later in the game.
std::string rookEndingAfterShuffles() {
    std::string command = "position fen " + RookEnding + " moves";
    for (int i = 0; i < 10; i++) command += " g1g2 h4h5 g2g1 h5h4";
    return command;
}

// Checks the scores of every info line: a centipawn value of a real search
// score (at most 32001 internal units, 12451 centipawns) and a mate
// distance that is never 0, since the searched positions all have moves.
// Returns the number of bound lines.
int checkScores(const Lines& seen) {
    int boundLines = 0;
    for (const std::string& line : seen) {
        if (!startsWith(line, "info ")) continue;
        const std::vector<std::string> w = wordsOf(line);
        for (size_t i = 0; i + 2 < w.size(); i++) {
            if (w[i] != "score") continue;
            const long value = std::stol(w[i + 2]);
            if (w[i + 1] == "mate") {
                EXPECT_NE(value, 0) << line;
                EXPECT_LE(std::labs(value), 200) << line;
            } else {
                EXPECT_EQ(w[i + 1], "cp") << line;
                EXPECT_LE(std::labs(value), 32001L * 100 / 257) << line;
            }
        }
        if (line.find(" lowerbound ") != std::string::npos || line.find(" upperbound ") != std::string::npos)
            boundLines++;
    }
    return boundLines;
}

// Waits for the bestmove of the search just started and checks its output.
// Returns false (after reporting) when no bestmove came within timeoutMs.
bool answers(EngineProcess& engine, int timeoutMs, const std::string& what) {
    Lines seen;
    const auto best = engine.waitFor("bestmove", timeoutMs * SanitizerSlowdown, &seen);
    EXPECT_TRUE(best) << what << ": no bestmove within " << timeoutMs << " ms, " << seen.size()
                      << " lines, last: " << (seen.empty() ? "" : seen.back());
    if (!best) return false;
    EXPECT_NE(*best, "bestmove (none)") << what;
    // Each bound line is a real widening of the window: a handful per
    // iteration at most, never a flood.
    EXPECT_LT(checkScores(seen), 200) << what;
    return true;
}

}  // namespace

TEST(MateScores, TheSamePositionEarlierInTheGameAnswersInTime) {
    EngineProcess engine;
    engine.send(rookEndingAfterShuffles());
    engine.send("go depth 16");
    ASSERT_TRUE(answers(engine, 30000, "deep search forty plies into the game"));

    // The same position as a fresh FEN: the table's mates were written forty
    // plies later in the game record.
    engine.send("position fen " + RookEnding);
    const long long start = monotonicMs();
    engine.send("go wtime 1000 btime 1000 winc 10 binc 10");
    ASSERT_TRUE(answers(engine, 3000, "the same position afresh"));
    EXPECT_LT(monotonicMs() - start, 1500 * SanitizerSlowdown);

    // The same again with three lines, from an empty table.
    engine.send("newgame");
    engine.send("setoption name MultiPv value 3");
    engine.send(rookEndingAfterShuffles());
    engine.send("go depth 16");
    ASSERT_TRUE(answers(engine, 30000, "MultiPv 3, deep"));
    engine.send("position fen " + RookEnding);
    engine.send("go wtime 1000 btime 1000 winc 10 binc 10");
    ASSERT_TRUE(answers(engine, 3000, "MultiPv 3, afresh"));
    engine.send("go depth 12");
    ASSERT_TRUE(answers(engine, 30000, "MultiPv 3, fixed depth"));
    EXPECT_EQ(engine.quit(), 0);
}

// A GUI stepping back through a game, one move shorter each time, with the
// table kept: each search reads mates written one ply later in the game.
// Both the winning and the losing side are to move in turn.
void stepBackThroughAMatingGame(const std::string& fen, int plies) {
    EngineProcess engine;
    const std::string base = "position fen " + fen;
    // The engine plays the game out against itself first.
    std::vector<std::string> moves;
    for (int i = 0; i < plies; i++) {
        std::string command = base;
        if (!moves.empty()) command += " moves";
        for (const std::string& m : moves) command += " " + m;
        engine.send(command);
        engine.send("go depth 8");
        const auto best = engine.waitFor("bestmove", 20000 * SanitizerSlowdown);
        ASSERT_TRUE(best);
        if (*best == "bestmove (none)") break;  // mated or stalemated
        std::string move, ponder;
        splitBestmove(*best, move, ponder);
        moves.push_back(move);
    }
    ASSERT_GE(moves.size(), 4u);
    for (size_t n = moves.size(); n-- > 0;) {
        std::string command = base + " moves";
        for (size_t i = 0; i < n; i++) command += " " + moves[i];
        if (n == 0) command = base;
        engine.send(command);
        engine.send("go wtime 1000 btime 1000 winc 10 binc 10");
        ASSERT_TRUE(answers(engine, 3000, "stepped back to ply " + std::to_string(n)));
    }
    EXPECT_EQ(engine.quit(), 0);
}

TEST(MateScores, SteppingBackThroughAQueenMate) { stepBackThroughAMatingGame("8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 40); }

TEST(MateScores, SteppingBackThroughARookMateWithTheLosingSideFirst) {
    stepBackThroughAMatingGame("8/8/3k4/8/8/8/8/R3K3 b - - 0 1", 50);
}
