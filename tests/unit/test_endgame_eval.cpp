// The endgame rules as the evaluation applies them: verdicts come back from
// evaluate unchanged, and the recogniser's scale reaches the end-game score.
#include <gtest/gtest.h>

#include <string>

#include "test_common.h"

namespace {

Score evaluated(const PieceList& pieces, char sideToMove) {
    evaltest::initEvalTables();
    return evaluate(positionOf(fenOf(pieces, sideToMove)));
}

// Expects the score for the position and for its colour-exchanged twin.
void expectEvaluation(const PieceList& pieces, char sideToMove, Score expected) {
    EXPECT_EQ(evaluated(pieces, sideToMove), expected) << pieces << " " << sideToMove;
    const char other = sideToMove == 'w' ? 'b' : 'w';
    EXPECT_EQ(evaluated(swapColours(pieces), other), expected) << swapColours(pieces) << " " << other;
}

std::string scaleLine(const PieceList& pieces) {
    evaltest::initEvalTables();
    const std::string trace = traceEvaluation(positionOf(fenOf(pieces, 'w')));
    const size_t at = trace.find("Scale factor:");
    return at == std::string::npos ? "" : trace.substr(at, trace.find('\n', at) - at);
}

}  // namespace

TEST(EndgameThroughEvaluate, TwoKnightsAreADraw) {
    expectEvaluation("Ke1 Nb1 Ng1 ke8", 'w', 0);
    expectEvaluation("Ke1 Nb1 Ng1 ke8", 'b', 0);
}

TEST(EndgameThroughEvaluate, KnightAndBishopMateGradient) {
    // Dark bishop: corner a1 one step away (140), kings two apart (120 / 2).
    expectEvaluation("Kd3 Bc1 Ng1 kb2", 'w', 10667 + 200);
    expectEvaluation("Kd3 Bc1 Ng1 kb2", 'b', -10667 - 200);
    // Driving the king closer to the right corner raises the score.
    EXPECT_GT(evaluated("Kc3 Bc1 Ng1 kb1", 'w'), evaluated("Ke4 Bc1 Ng1 kc3", 'w'));
}

TEST(EndgameThroughEvaluate, KpkVerdicts) {
    expectEvaluation("Ke5 Pe4 ke7", 'b', -(10931 - 3));
    expectEvaluation("Ke5 Pe4 ke7", 'w', 0);
    expectEvaluation("Kh1 Pc5 kh4", 'w', 10931 - 4);
    expectEvaluation("Kg6 Ph5 kh8", 'w', 0);
}

TEST(EndgameThroughEvaluate, RecogniserScaleReachesTheEndGame) {
    // Two knights against a pawn: 256 / 8; the knights' own scale is 256.
    EXPECT_EQ(scaleLine("Ke1 Nb1 Ng1 ke8 pe6"), "Scale factor: 32 of 256 (special-endgame slot 32)");
    // One pawn each in a rook ending: 256 * 2 / 6 = 85, below the 153 of
    // an even rook and pawn.
    EXPECT_EQ(scaleLine("Ke1 Ra1 Pc4 ke8 rh8 pf5"), "Scale factor: 85 of 256 (special-endgame slot 85)");
}
