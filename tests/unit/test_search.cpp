// Searches called directly: mates and draws at the root, the node searches'
// edge cases, output formats, legality of every printed line, determinism.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/report.h"
#include "board/makemove.h"
#include "search/node.h"
#include "search/root.h"
#include "test_common.h"

using namespace searchtest;

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

Lines finalInfoLines(const Lines& lines) {
    Lines out;
    for (const std::string& l : lines)
        if (startsWith(l, "info depth") && l.find("bound") == std::string::npos) out.push_back(l);
    return out;
}

// The words after "pv" of an info line.
std::vector<std::string> pvOf(const std::string& line) {
    std::vector<std::string> w = words(line);
    for (size_t i = 0; i < w.size(); i++)
        if (w[i] == "pv") return std::vector<std::string>(w.begin() + i + 1, w.end());
    return {};
}

// The value after a field name of an info line, "" if absent.
std::string field(const std::string& line, const std::string& name) {
    std::vector<std::string> w = words(line);
    for (size_t i = 0; i + 1 < w.size(); i++)
        if (w[i] == name) return w[i + 1];
    return "";
}

std::string scoreOf(const std::string& line) {
    std::vector<std::string> w = words(line);
    for (size_t i = 0; i + 2 < w.size(); i++)
        if (w[i] == "score") return w[i + 1] + " " + w[i + 2];
    return "";
}

// Every move of the line is legal in turn from the root position.
bool pvIsLegal(const std::string& fen, const std::vector<std::string>& pv) {
    auto thread = makeThread(fen);
    for (const std::string& m : pv)
        if (!moveFromText(m, thread->pos)) return false;
    return true;
}

}  // namespace

TEST(Search, TextOfScores) {
    EXPECT_EQ(scoreText(257), " score cp 100");
    EXPECT_EQ(scoreText(-1), " score cp 0");
    EXPECT_EQ(scoreText(-600), " score cp -233");
    EXPECT_EQ(scoreText(32000), " score mate 1");
    EXPECT_EQ(scoreText(31998), " score mate 2");
    EXPECT_EQ(scoreText(31999), " score mate 2");
    EXPECT_EQ(scoreText(-31999), " score mate -1");
    EXPECT_EQ(scoreText(-31997), " score mate -2");
    EXPECT_EQ(scoreText(31800), " score cp 12373");
}

TEST(Search, RootReduction) {
    auto thread = makeThread("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    HistoryTable history = {};
    Move quiet = moveByText(thread->pos, "a1b1");
    Move castle = moveByText(thread->pos, "e1g1");
    ASSERT_NE(quiet, MoveNone);
    ASSERT_NE(castle, MoveNone);
    EXPECT_EQ(rootReduction(quiet, 1, 20, thread->pos, history), 0);
    EXPECT_EQ(rootReduction(quiet, 30, 2, thread->pos, history), 0);
    // trunc(ln 10 * ln 20 / 2.8) = trunc(2.464) = 2.
    EXPECT_EQ(rootReduction(quiet, 20, 10, thread->pos, history), 2);
    history[White][Rook][moveTo(quiet)] = -1;
    EXPECT_EQ(rootReduction(quiet, 20, 10, thread->pos, history), 3);
    // Castling scores 2001 and gives back a ply.
    EXPECT_EQ(rootReduction(castle, 20, 10, thread->pos, history), 1);
}

TEST(Search, MateInOneAndMatedInOne) {
    clearTT();
    auto mating = makeThread("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    Lines lines = runSearch(*mating, 4);
    Lines finals = finalInfoLines(lines);
    ASSERT_FALSE(finals.empty());
    EXPECT_EQ(scoreOf(finals.back()), "mate 1");
    EXPECT_EQ(lines.back(), "bestmove a1a8");

    clearTT();
    // Black's king must go to b8, then Rh8 mates.
    auto mated = makeThread("k7/8/1K6/8/8/8/8/7R b - - 0 1");
    lines = runSearch(*mated, 4);
    finals = finalInfoLines(lines);
    ASSERT_FALSE(finals.empty());
    EXPECT_EQ(scoreOf(finals.back()), "mate -1");
    EXPECT_EQ(lines.back(), "bestmove a8b8 ponder h1h8");
}

TEST(Search, NoLegalMoveAtTheRoot) {
    for (const char* fen : {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1",  // checkmate
                            "k7/8/1Q6/8/8/8/8/7K b - - 0 1"}) {   // stalemate
        clearTT();
        auto thread = makeThread(fen);
        Lines lines = runSearch(*thread, 5);
        EXPECT_EQ(lines, Lines{"bestmove (none)"}) << fen;
        EXPECT_TRUE(Control.done.load());
    }
}

TEST(Search, DepthOneAndTheFieldOrder) {
    clearTT();
    auto thread = makeThread("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    const int16_t generation = ttGeneration.load();
    Lines lines = runSearch(*thread, 1);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<std::string> w = words(lines[0]);
    const std::vector<std::string> names = {"info",  "depth", "1",        "seldepth", "",  "multipv", "1",
                                            "score", "cp",    "",         "nodes",    "",  "nps",     "",
                                            "time",  "",      "hashfull", "",         "pv"};
    ASSERT_EQ(w.size(), names.size() + 1);  // a one-move variation
    for (size_t i = 0; i < names.size(); i++) {
        if (!names[i].empty()) {
            EXPECT_EQ(w[i], names[i]) << lines[0];
        }
    }
    EXPECT_EQ(lines[0].back(), ' ');  // every pv move is followed by a space
    // A one-move variation has no ponder move.
    EXPECT_EQ(lines[1], "bestmove " + w.back());
    EXPECT_EQ(ttGeneration.load(), int16_t(generation + 1));
}

TEST(Search, MultiPvWithTwoLegalMoves) {
    clearTT();
    // White can only push the h-pawn one or two squares.
    auto thread = makeThread("1r5k/8/8/8/8/8/2r4P/K7 w - - 0 1");
    Lines lines = runSearch(*thread, 3, 3);
    Lines finals = finalInfoLines(lines);
    ASSERT_EQ(finals.size(), 6u);
    for (int d = 1; d <= 3; d++) {
        EXPECT_EQ(field(finals[2 * d - 2], "depth"), std::to_string(d));
        EXPECT_EQ(field(finals[2 * d - 2], "multipv"), "1");
        EXPECT_EQ(field(finals[2 * d - 1], "multipv"), "2");
    }
    std::vector<std::string> first = pvOf(finals[4]), second = pvOf(finals[5]);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first[0], second[0]);
    EXPECT_TRUE(first[0] == "h2h3" || first[0] == "h2h4");
    EXPECT_TRUE(second[0] == "h2h3" || second[0] == "h2h4");
}

TEST(Search, ForcedMatesAndLegalVariations) {
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/mates.epd");
    ASSERT_TRUE(in.good());
    std::string line;
    int positions = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> w = words(line);
        ASSERT_GE(w.size(), 4u);
        const std::string fen = w[0] + " " + w[1] + " " + w[2] + " " + w[3] + " 0 1";
        const size_t at = line.find(" dm ");
        ASSERT_NE(at, std::string::npos);
        const int mateIn = std::stoi(line.substr(at + 4));
        clearTT();
        auto thread = makeThread(fen);
        Lines lines = runSearch(*thread, 2 * mateIn + 1);
        Lines finals = finalInfoLines(lines);
        ASSERT_FALSE(finals.empty()) << fen;
        EXPECT_EQ(scoreOf(finals.back()), "mate " + std::to_string(mateIn)) << fen;
        for (const std::string& l : lines) {
            if (startsWith(l, "info")) {
                EXPECT_TRUE(pvIsLegal(fen, pvOf(l))) << l;
            }
        }
        // The ponder move answers the best move.
        std::vector<std::string> best = words(lines.back());
        ASSERT_GE(best.size(), 2u);
        if (best.size() == 4) {
            EXPECT_TRUE(pvIsLegal(fen, {best[1], best[3]})) << lines.back();
        }
        positions++;
    }
    EXPECT_EQ(positions, 6);
}

TEST(Search, EveryNodeIsCountedOnce) {
    // Ka1 against Ka3: Kb1 is the only legal move, and the reply node (bare
    // king to move, no capture, no check) is a single quiescence node. The
    // root publishes the count when the variation changes and again after
    // the move loop; the node must still count once.
    clearTT();
    auto thread = makeThread("8/8/8/8/8/k7/8/K7 w - - 0 1");
    Lines lines = runSearch(*thread, 1);
    Lines finals = finalInfoLines(lines);
    ASSERT_EQ(finals.size(), 1u);
    EXPECT_EQ(field(finals[0], "nodes"), "1");
    EXPECT_EQ(thread->localNodes, 0u);
    EXPECT_EQ(lines.back(), "bestmove a1b1");
}

TEST(Search, SameNodeCountOnARepeatedSearch) {
    const char* fen = "r1bq1rk1/pp2bppp/2Nppn2/6B1/4P3/2N5/PPPQ1PPP/2KR1B1R b - - 0 1";
    uint64_t counts[2];
    Lines outputs[2];
    for (int run = 0; run < 2; run++) {
        clearTT();
        auto thread = makeThread(fen);
        outputs[run] = runSearch(*thread, 7);
        counts[run] = Control.nodes.load();
        for (const std::string& l : outputs[run]) {
            if (startsWith(l, "info")) {
                EXPECT_TRUE(pvIsLegal(fen, pvOf(l))) << l;
            }
        }
    }
    EXPECT_GT(counts[0], 1000u);
    EXPECT_EQ(counts[0], counts[1]);
    ASSERT_EQ(outputs[0].size(), outputs[1].size());
    EXPECT_EQ(outputs[0].back(), outputs[1].back());
    // The node field of the last line is the whole count.
    EXPECT_EQ(field(finalInfoLines(outputs[0]).back(), "nodes"), std::to_string(counts[0]));
}

TEST(Search, StopBeforeTheSearchStillAnswersWithAMove) {
    clearTT();
    auto thread = makeThread("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    // A node limit of 0 stops the search at its first periodic check.
    thread->limits.nodeLimit = 0;
    Lines lines = runSearch(*thread, 20);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(startsWith(lines.back(), "bestmove ")) << lines.back();
    EXPECT_NE(lines.back(), "bestmove (none)");
    EXPECT_NE(lines.back().find("bestmove "), std::string::npos);
    Lines finals = finalInfoLines(lines);
    // No root move was searched to the end, so no line has a score or a
    // variation to show.
    EXPECT_EQ(finals.size(), 0u);
}

TEST(Search, NodeLimitEndsADeepSearch) {
    clearTT();
    auto thread = makeThread("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    thread->limits.nodeLimit = 20000;
    Lines lines = runSearch(*thread, 100);
    EXPECT_TRUE(startsWith(lines.back(), "bestmove ")) << lines.back();
    // The shared counter is updated every 1024 nodes of a thread.
    EXPECT_GE(Control.nodes.load(), 20000u);
    EXPECT_LT(Control.nodes.load(), 20000u + 2048u);
}

// Only the main thread owns the clock: a helper that starts after the main
// thread has published a budget must leave it, or the main thread would
// search its next iteration without one.
TEST(Search, AHelperLeavesTheBudgetAlone) {
    clearTT();
    auto thread = makeThread("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    thread->limits.depthLimit = 3;
    thread->limits.untimed = true;
    Control.stop = false;
    Control.done = false;
    Control.timeLimit = 123;
    helperSearch(*thread);
    EXPECT_EQ(Control.timeLimit.load(), 123);
    Control.timeLimit = 9999999;
}

namespace {

// A stack as the root lays it out, with the parent entry at the given ply.
struct NodeFixture {
    SearchStack stack[StackSize] = {};
    SearchStack* ss = stack + StackEntriesBeforeRoot + 1;
    Move pv[PvBufferSize];
    explicit NodeFixture(int parentPly) {
        (ss - 1)->ply = parentPly;
        ss->pvBuffer = pv;
        pv[0] = MoveNone;
        Control.stop = false;
        Control.done = false;
        Control.timeLimit = 9999999;
        Control.startTime = nowMs();
        clearTT();
    }
};

}  // namespace

TEST(Search, MatedNodeAndThePlyLimit) {
    auto thread = makeThread("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    {
        NodeFixture f(4);
        EXPECT_EQ(searchNonPV<true>(*thread, f.ss, -100, -99, 3, false), 5 - 32001);
        TTProbe probe;
        probeTT(thread->pos, 0, -32001, 32001, probe);
        ASSERT_TRUE(probe.hit);
        EXPECT_EQ(probe.bound, BoundLower);
        EXPECT_EQ(probe.depth, 3);
    }
    {
        NodeFixture f(99);
        auto mating = makeThread("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
        EXPECT_EQ(searchPV<true>(*mating, f.ss, -32001, 32001, 5, false), 0);
        EXPECT_EQ(f.pv[0], MoveNone);
        EXPECT_EQ(qsearchPV<true>(*mating, f.ss, -32001, 32001, 0), 0);
    }
    {
        // The stalemated side scores a draw.
        NodeFixture f(0);
        auto stalemate = makeThread("k7/8/1Q6/8/8/8/8/7K b - - 0 1");
        EXPECT_EQ(searchPV<true>(*stalemate, f.ss, -32001, 32001, 4, false), 0);
    }
}

TEST(Search, QuiescenceStandPatAndMate) {
    {
        // A stand-pat at or above beta returns at once and writes nothing.
        NodeFixture f(0);
        auto thread = makeThread("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
        Score v = qsearchNonPV<true>(*thread, f.ss, -20001, -20000, 0);
        EXPECT_GE(v, -20000);
        TTProbe probe;
        probeTT(thread->pos, -10, -32001, 32001, probe);
        EXPECT_FALSE(probe.hit);
    }
    {
        // In check without an evasion: mated at this ply.
        NodeFixture f(6);
        auto thread = makeThread("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
        EXPECT_EQ(qsearchNonPV<true>(*thread, f.ss, -100, -99, -3), 7 - 32001);
        EXPECT_EQ(qsearchPV<true>(*thread, f.ss, -100, 100, -3), 7 - 32001);
    }
    {
        // A quiet promotion is no capture: the quiescence search below its
        // first ply does not look at it, the PV node search does.
        NodeFixture f(0);
        auto thread = makeThread("7k/1P6/8/8/8/8/7r/K7 w - - 0 1");
        Score stand = qsearchPV<true>(*thread, f.ss, -32001, 32001, -1);
        EXPECT_EQ(f.pv[0], MoveNone);
        clearTT();
        Score searched = searchPV<true>(*thread, f.ss, -32001, 32001, 1, false);
        EXPECT_GT(searched, stand + 1000);
        EXPECT_EQ(moveToText(f.pv[0]), "b7b8Q");
    }
}
