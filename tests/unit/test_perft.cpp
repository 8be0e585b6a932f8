#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>

#include "app/perft.h"
#include "board/perft.h"
#include "test_common.h"

namespace {

// Counts up to this many leaves run in the normal test run; the rest only
// in the slow test.
constexpr uint64_t NormalRunLimit = 1000000;
constexpr uint64_t SlowRunLimit = 250000000;

const char* const Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

void checkFile(uint64_t minimum, uint64_t limit) {
    const std::vector<PerftCase> cases = readPerftCases();
    ASSERT_GT(cases.size(), 100u);
    int checked = 0;
    for (const PerftCase& c : cases) {
        for (const auto& [depth, count] : c.counts) {
            if (count < minimum || count > limit) continue;
            Position& pos = positionOf(c.fen);
            EXPECT_EQ(perft(pos, depth), count) << c.fen << " depth " << depth;
            checked++;
        }
    }
    EXPECT_GT(checked, 0);
}

std::string runPerftCommand(const std::string& args, Position& pos) {
    std::istringstream words(args);
    std::ostringstream out;
    std::streambuf* old = std::cout.rdbuf(out.rdbuf());
    perftCommand(words, pos);
    std::cout.rdbuf(old);
    return out.str();
}

}  // namespace

TEST(Perft, StartPositionAndKiwipete) {
    Position& pos = positionOf(StartFen);
    const uint64_t start[] = {1, 20, 400, 8902, 197281, 4865609};
    for (int depth = 0; depth <= 5; depth++) EXPECT_EQ(perft(pos, depth), start[depth]) << depth;
    setFromFen(Kiwipete, pos);
    const uint64_t kiwipete[] = {1, 48, 2039, 97862, 4085603};
    for (int depth = 0; depth <= 4; depth++) EXPECT_EQ(perft(pos, depth), kiwipete[depth]) << depth;
}

// Every count of the public positions file up to a million leaves.
TEST(Perft, PositionsFile) { checkFile(0, NormalRunLimit); }

// Positions whose file entries are all deep: their first plies against the
// simple generator, including one with castling, promotions and en passant
// all close at hand.
TEST(Perft, ShallowAgainstSimpleGenerator) {
    const char* const fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3P4/1p2P3/2N2N2/PPPQBPPP/R3K2R w KQkq - 0 1",
        "8/p7/8/1P6/K1k3p1/6P1/7P/8 w - - 0 1",
        "r3k2r/p6p/8/B7/1pp1p3/3b4/P6P/R3K2R w KQkq - 0 1",
        "8/5p2/8/2k3P1/p3K3/8/1P6/8 b - - 0 1",
        "r3k2r/pb3p2/5npp/n2p4/1p1PPB2/6P1/P2N1PBP/R3K2R b KQkq - 0 1",
        "rnbqkbnr/pppp1pp1/8/3Pp2p/3Q4/8/PPP1PPPP/RNB1KBNR w KQkq e6 0 1",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    };
    for (const char* fen : fens) {
        Position& pos = positionOf(fen);
        const simplegen::Board board = simplegen::fromPosition(pos);
        for (int depth = 1; depth <= 2; depth++)
            EXPECT_EQ(perft(pos, depth), simplegen::perft(board, depth)) << fen << " depth " << depth;
    }
}

TEST(Perft, CommandOutput) {
    Position& pos = positionOf(StartFen);
    const uint64_t key = pos.key;
    const std::string out = runPerftCommand("2", pos);
    std::istringstream lines(out);
    std::string line;
    int moves = 0;
    while (std::getline(lines, line) && !line.empty()) {
        EXPECT_EQ(line.substr(4), ": 20") << line;
        moves++;
    }
    EXPECT_EQ(moves, 20);
    std::getline(lines, line);
    EXPECT_EQ(line, "Nodes searched: 400");
    // Generation order: quiet promotions, captures, castling, then the quiet
    // moves by piece, the pawn pushes last.
    EXPECT_EQ(out.substr(0, out.find('\n')), "b1a3: 20");
    EXPECT_EQ(pos.key, key);
    EXPECT_EQ(pos.historyLength, 0);

    // A missing, unreadable or non-positive depth counts one ply.
    for (const char* args : {"", "x", "0", "-3"}) {
        const std::string one = runPerftCommand(args, pos);
        EXPECT_NE(one.find("b1a3: 1\n"), std::string::npos) << args;
        EXPECT_NE(one.find("\n\nNodes searched: 20\n"), std::string::npos) << args;
    }
    // A position without moves prints only the total.
    setFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", pos);
    EXPECT_EQ(runPerftCommand("3", pos), "\nNodes searched: 0\n");
}

// Prints the node rate of perft 6 from the start position (a measurement,
// not a check; run by hand with the slow tests).
TEST(Perft, SpeedSlow) {
    Position& pos = positionOf(StartFen);
    const auto begin = std::chrono::steady_clock::now();
    const uint64_t nodes = perft(pos, 6);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(nodes, 119060324u);
    std::cout << "perft 6: " << nodes << " nodes in " << seconds << " s, " << uint64_t(nodes / seconds)
              << " nodes per second" << std::endl;
}

TEST(Perft, PositionsFileSlow) { checkFile(NormalRunLimit + 1, SlowRunLimit); }
