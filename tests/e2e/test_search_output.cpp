// The lines a search prints: one final "info" line per depth in its exact
// form, bound lines, and "bestmove".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

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
