// The self-play referee: move words, how games end, and the search output
// checks. A referee that misjudges a game end would make the soak report
// faults the engine does not have, or miss the ones it has.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "board/movegen.h"
#include "board/tables.h"
#include "referee.h"

namespace {

const std::string StartPosition = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

class RefereeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { initBoardTables(); }

    // Starts the game from fen and plays the words; each must be legal.
    void play(const std::string& fen, std::initializer_list<const char*> words) {
        ASSERT_TRUE(startGame(game, fen)) << fen;
        for (const char* word : words) playWord(word);
    }
    void playWord(const char* word) {
        const Move m = findLegalMove(*game.pos, word);
        ASSERT_NE(m, MoveNone) << word;
        playMove(game, m, word);
    }

    Game game;
};

TEST_F(RefereeTest, MoveWordsAcceptEitherPromotionCase) {
    ASSERT_TRUE(startGame(game, "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"));
    const Move upper = findLegalMove(*game.pos, "b7b8Q");
    EXPECT_NE(upper, MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, "b7b8q"), upper);
    EXPECT_EQ(movePromotion(findLegalMove(*game.pos, "b7b8n")), Knight);
    // A pawn on the seventh rank cannot just move: the piece must be named.
    EXPECT_EQ(findLegalMove(*game.pos, "b7b8"), MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, "b7b8K"), MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, "e1e3"), MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, "0000"), MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, ""), MoveNone);
    // The strict referee takes only the lower-case letter, in moves and in
    // every word of a variation.
    EXPECT_EQ(findLegalMove(*game.pos, "b7b8q", MoveWords::Strict), upper);
    EXPECT_EQ(findLegalMove(*game.pos, "b7b8Q", MoveWords::Strict), MoveNone);
    EXPECT_EQ(findLegalMove(*game.pos, "E1E2", MoveWords::Strict), MoveNone);
    EXPECT_EQ(legalPvLength(*game.pos, {"e1d2", "e8d7", "b7b8Q"}, MoveWords::Strict), 2u);
    EXPECT_EQ(legalPvLength(*game.pos, {"e1d2", "e8d7", "b7b8Q"}), 3u);
}

TEST_F(RefereeTest, CastlingIsTheKingsTwoFileMove) {
    ASSERT_TRUE(startGame(game, "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"));
    EXPECT_NE(findLegalMove(*game.pos, "e8g8"), MoveNone);
    EXPECT_NE(findLegalMove(*game.pos, "e8c8"), MoveNone);
    // With the f8 square attacked, Black may not castle short.
    ASSERT_TRUE(startGame(game, "r3k2r/8/8/8/8/8/8/R3KR2 b Qkq - 0 1"));
    EXPECT_EQ(findLegalMove(*game.pos, "e8g8"), MoveNone);
    EXPECT_NE(findLegalMove(*game.pos, "e8c8"), MoveNone);
}

TEST_F(RefereeTest, InsufficientMaterial) {
    auto insufficient = [this](const char* fen) {
        EXPECT_TRUE(startGame(game, fen)) << fen;
        return insufficientMaterial(*game.pos);
    };
    EXPECT_TRUE(insufficient("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
    EXPECT_TRUE(insufficient("4k3/8/8/8/8/8/8/1N2K3 w - - 0 1"));
    EXPECT_TRUE(insufficient("4kb2/8/8/8/8/8/8/2B1K3 w - - 0 1"));    // c1 and f8: both dark
    EXPECT_FALSE(insufficient("2b1k3/8/8/8/8/8/8/2B1K3 w - - 0 1"));  // c1 dark, c8 light
    EXPECT_FALSE(insufficient("4k3/8/8/8/8/8/8/1NN1K3 w - - 0 1"));
    EXPECT_FALSE(insufficient("4k3/8/8/8/8/8/8/1N2Kb2 w - - 0 1"));
    EXPECT_FALSE(insufficient("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"));
    EXPECT_FALSE(insufficient("4k3/8/8/8/8/8/8/4K2R w - - 0 1"));
    EXPECT_FALSE(insufficient("4k3/8/8/8/8/8/8/3QK3 w - - 0 1"));
}

TEST_F(RefereeTest, MateAndStalemate) {
    play(StartPosition, {"f2f3", "e7e5", "g2g4"});
    EXPECT_EQ(gameEnd(game), GameEnd::None);
    playWord("d8h4");
    EXPECT_EQ(gameEnd(game), GameEnd::Checkmate);
    EXPECT_EQ(game.pos->sideToMove, White);

    play("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", {});
    EXPECT_EQ(gameEnd(game), GameEnd::Stalemate);
}

TEST_F(RefereeTest, FiftyMoveRuleCountsPliesAndYieldsToMate) {
    play("k7/8/1K6/8/8/8/8/7R w - - 98 80", {"h1h2"});
    EXPECT_EQ(gameEnd(game), GameEnd::None);  // 99 plies
    playWord("a8b8");
    EXPECT_EQ(gameEnd(game), GameEnd::FiftyMoves);

    // A capture or pawn move starts the count again.
    play("k7/7p/1K6/8/8/8/8/7R b - - 99 80", {"h7h6"});
    EXPECT_EQ(gameEnd(game), GameEnd::None);

    // Mate on the hundredth ply is mate, not a draw.
    play("k7/8/1K6/8/8/8/8/7R w - - 99 80", {"h1h8"});
    EXPECT_EQ(gameEnd(game), GameEnd::Checkmate);
}

TEST_F(RefereeTest, ThirdOccurrenceIsRepetition) {
    play(StartPosition, {"g1f3", "g8f6", "f3g1", "f6g8"});
    EXPECT_EQ(gameEnd(game), GameEnd::None);  // second occurrence
    for (const char* word : {"g1f3", "g8f6", "f3g1"}) {
        playWord(word);
        EXPECT_EQ(gameEnd(game), GameEnd::None) << word;
    }
    playWord("f6g8");
    EXPECT_EQ(gameEnd(game), GameEnd::Repetition);
}

TEST_F(RefereeTest, LostCastlingRightsMakeANewPosition) {
    // The rook's first trip loses both remaining rights: the start position
    // never recurs, so the third occurrence comes only at ply 12.
    play("r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1", {"h1h2", "a8a7", "h2h1", "a7a8"});
    play("r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1", {"h1h2", "a8a7", "h2h1", "a7a8", "h1h2", "a8a7", "h2h1", "a7a8"});
    EXPECT_EQ(gameEnd(game), GameEnd::None);
    for (const char* word : {"h1h2", "a8a7", "h2h1", "a7a8"}) playWord(word);
    EXPECT_EQ(gameEnd(game), GameEnd::Repetition);
}

TEST_F(RefereeTest, PositionCommandListsThePlayedWords) {
    play(StartPosition, {});
    EXPECT_EQ(positionCommand(game), "position fen " + StartPosition);
    play("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", {"b7b8Q", "e8d7"});
    EXPECT_EQ(positionCommand(game), "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8Q e8d7");
}

TEST_F(RefereeTest, PvMovesAreCheckedInSequence) {
    ASSERT_TRUE(startGame(game, StartPosition));
    EXPECT_EQ(legalPvLength(*game.pos, {"e2e4", "e7e5", "g1f3", "b8c6"}), 4u);
    EXPECT_EQ(legalPvLength(*game.pos, {"e2e4", "e2e4"}), 1u);  // White's move again
    EXPECT_EQ(legalPvLength(*game.pos, {"e7e5"}), 0u);
    EXPECT_EQ(legalPvLength(*game.pos, {}), 0u);
}

TEST_F(RefereeTest, FieldsOfSearchOutput) {
    InfoLine info = parseInfoLine(
        "info depth 5 seldepth 7 multipv 1 score cp -23 nodes 1234 nps 1000 time 12 hashfull 3 pv e2e4 e7e5 ");
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.depth, 5);
    EXPECT_FALSE(info.mateScore);
    EXPECT_EQ(info.score, -23);
    EXPECT_EQ(info.nodes, 1234u);
    EXPECT_EQ(info.pv, (std::vector<std::string>{"e2e4", "e7e5"}));

    info = parseInfoLine("info depth 9 seldepth 9 multipv 1 score mate -3 nodes 0 nps 0 time 0 hashfull 0 pv ");
    EXPECT_TRUE(info.valid);
    EXPECT_TRUE(info.mateScore);
    EXPECT_EQ(info.score, -3);
    EXPECT_TRUE(info.pv.empty());

    // Bound lines carry the bound word between the score and the nodes.
    EXPECT_TRUE(
        parseInfoLine("info depth 3 seldepth 3 multipv 1 score cp 15 upperbound nodes 10 nps 0 time 0 pv d2d4").valid);

    EXPECT_FALSE(parseInfoLine("info depth 3 score cp 15 pv e2e4").valid);        // no nodes
    EXPECT_FALSE(parseInfoLine("info depth 3 score cp 15 nodes 10").valid);       // no pv
    EXPECT_FALSE(parseInfoLine("info depth 3 score 15 nodes 10 pv e2e4").valid);  // no score kind
    EXPECT_FALSE(parseInfoLine("info depth x score cp 1 nodes 10 pv e2e4").valid);
    EXPECT_FALSE(parseInfoLine("info depth 3 score cp 1 nodes 1e3 pv e2e4").valid);
    EXPECT_FALSE(parseInfoLine("bestmove e2e4").valid);
}

TEST_F(RefereeTest, AnswerAgreesWithTheLastLine) {
    const std::string d1 = "info depth 1 seldepth 1 multipv 1 score cp 20 nodes 20 nps 0 time 1 hashfull 0 pv ";
    const std::string d2 = "info depth 2 seldepth 2 multipv 1 score cp 9 nodes 90 nps 0 time 2 hashfull 0 pv ";
    const std::string high = "info depth 3 seldepth 3 multipv 1 score cp 40 lowerbound nodes 99 nps 0 time 3 pv g1f3";
    const std::string second = "info depth 2 seldepth 2 multipv 2 score cp 5 nodes 90 nps 0 time 2 hashfull 0 pv ";
    auto check = [](std::vector<std::string> lines) { return checkAnswer(lines); };

    EXPECT_FALSE(check({d1 + "d2d4 ", d2 + "e2e4 e7e5 ", "bestmove e2e4 ponder e7e5"}).disagrees);
    EXPECT_FALSE(check({d2 + "e7e8Q f8e8 ", "bestmove e7e8q ponder f8e8"}).disagrees);
    // Bound lines and later variations are not the line a client compares.
    EXPECT_FALSE(check({d2 + "e2e4 ", high, second + "d2d4 ", "bestmove e2e4"}).disagrees);
    EXPECT_FALSE(check({"bestmove e2e4"}).disagrees);
    EXPECT_FALSE(check({"bestmove (none)"}).disagrees);

    EXPECT_TRUE(check({d1 + "d2d4 ", d2 + "e2e4 e7e5 ", "bestmove d2d4"}).disagrees);
    EXPECT_TRUE(check({d2 + "e2e4 e7e5 ", "bestmove e2e4 ponder d7d5"}).disagrees);
    EXPECT_TRUE(check({d2 + "e2e4 ", "bestmove e2e4 ponder e7e5"}).disagrees);
    EXPECT_TRUE(check({"bestmove e2e4 ponder e7e5"}).disagrees);

    const std::string mate0 = "info depth 1 seldepth 1 multipv 1 score mate 0 nodes 1 nps 0 time 1 hashfull 0 pv b1a3 ";
    const std::string wide =
        "info depth 1 seldepth 1 multipv 1 score cp 12374 nodes 1 nps 0 time 1 hashfull 0 pv b1a3 ";
    EXPECT_EQ(check({mate0, "bestmove b1a3"}).badScores, 1);
    EXPECT_EQ(check({wide, "bestmove b1a3"}).badScores, 1);
    EXPECT_EQ(check({d1 + "b1a3 ", "bestmove b1a3"}).badScores, 0);
    // A bound line prints even a mate value in centipawns.
    EXPECT_EQ(check({"info depth 9 seldepth 9 multipv 1 score cp 12450 lowerbound nodes 1 nps 0 time 1 pv b1a3",
                     "bestmove b1a3"})
                  .badScores,
              0);
}

}  // namespace
