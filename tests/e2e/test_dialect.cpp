// The two protocol dialects: the engine's own text (upper-case promotion
// letters, "ucinewgame" passed over) on a bare start, the standard text with
// "--standard".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

// Both sides promote at once: every line of a three-line search, its best
// move and its ponder move hold a promotion.
const std::string RacePosition = "position fen 8/1P4k1/8/8/8/8/6p1/K7 w - - 0 1";

Lines raceSearch(std::vector<std::string> args) {
    args.insert(args.end(), WithPerft.begin(), WithPerft.end());  // for perft's list
    EngineProcess engine(engineUnderTest(), args);
    engine.send("setoption name MultiPv value 3");
    engine.send(RacePosition);
    engine.send("go depth 6");
    Lines seen = searchOutput(engine, 60000);
    Lines divide = engine.roundTrip("perft 1");
    seen.insert(seen.end(), divide.begin(), divide.end());
    EXPECT_EQ(engine.quit(), 0);
    return seen;
}

// The node count of the second of two searches of one position, with a
// command (or none) between them.
uint64_t secondSearchNodes(const std::vector<std::string>& args, const std::string& between) {
    EngineProcess engine(engineUnderTest(), args);
    engine.send("position startpos moves d2d4 g8f6 c2c4");
    if (!between.empty()) {
        engine.send("go depth 7");
        searchOutput(engine, 60000);
        engine.roundTrip(between);
    }
    engine.send("go depth 7");
    const Lines seen = searchOutput(engine, 60000);
    EXPECT_EQ(engine.quit(), 0);
    return seen.size() >= 2 ? nodesOf(seen[seen.size() - 2]) : 0;
}

}  // namespace

TEST(Dialect, PromotionLetterCaseInEveryPrintedMove) {
    const std::regex upper("[a-h][1-8][a-h][1-8][QRBN]");
    const std::regex lower("[a-h][1-8][a-h][1-8][qrbn]");
    const Lines engineText = raceSearch({});
    const Lines standardText = raceSearch({"--standard"});

    ASSERT_FALSE(engineText.empty());
    EXPECT_NE(std::find(engineText.begin(), engineText.end(), "b7b8Q: 1"), engineText.end()) << "perft's divide";
    int promotingLines = 0;
    for (const std::string& line : engineText) {
        EXPECT_FALSE(std::regex_search(line, lower)) << line;
        if (std::regex_search(line, upper)) promotingLines++;
    }
    EXPECT_NE(std::find(engineText.begin(), engineText.end(), "bestmove b7b8Q ponder g2g1Q"), engineText.end());
    // Three lines at every depth from the second (a one-move line at depth 1
    // may be a king move) and the four promotions of the divide.
    EXPECT_GE(promotingLines, 3 * 5 + 4);

    // The same search, move for move, with lower-case letters.
    ASSERT_EQ(standardText.size(), engineText.size());
    for (size_t i = 0; i < engineText.size(); i++) {
        EXPECT_FALSE(std::regex_search(standardText[i], upper)) << standardText[i];
        if (startsWith(engineText[i], "info")) continue;  // times and rates differ
        std::string expected = engineText[i];
        for (size_t at = 4; at < expected.size(); at++)
            if (std::strchr("QRBN", expected[at]) && expected[at - 1] >= '1' && expected[at - 1] <= '8')
                expected[at] = char(expected[at] - 'A' + 'a');
        EXPECT_EQ(standardText[i], expected);
    }
    EXPECT_NE(std::find(standardText.begin(), standardText.end(), "bestmove b7b8q ponder g2g1q"), standardText.end());
    EXPECT_NE(std::find(standardText.begin(), standardText.end(), "b7b8q: 1"), standardText.end());

    // Either case is read in either dialect.
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--standard"}}) {
        EngineProcess engine(engineUnderTest(), args);
        const std::string lowerKey = hashAfter(engine, "position fen 8/1P4k1/8/8/8/8/8/K7 w - - 0 1 moves b7b8q");
        EXPECT_EQ(hashAfter(engine, "position fen 8/1P4k1/8/8/8/8/8/K7 w - - 0 1 moves b7b8Q"), lowerKey);
        EXPECT_NE(hashAfter(engine, "position fen 8/1P4k1/8/8/8/8/8/K7 w - - 0 1"), lowerKey);
        EXPECT_EQ(engine.quit(), 0);
    }
}

TEST(Dialect, UcinewgameClearsTheTableOnlyInTheStandardDialect) {
    const uint64_t fresh = secondSearchNodes({}, "");
    ASSERT_GT(fresh, 0u);
    // The engine's own dialect passes the word over: the table found by the
    // second search is the one the first left, as with no word at all.
    const uint64_t kept = secondSearchNodes({}, "isready");
    EXPECT_EQ(secondSearchNodes({}, "ucinewgame"), kept);
    EXPECT_NE(kept, fresh);
    // The standard dialect empties it, as "newgame" does in either.
    EXPECT_EQ(secondSearchNodes({"--standard"}, "ucinewgame"), fresh);
    EXPECT_EQ(secondSearchNodes({"--standard"}, "newgame"), fresh);
    EXPECT_EQ(secondSearchNodes({}, "newgame"), fresh);
}
