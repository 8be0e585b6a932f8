#include <gtest/gtest.h>

#include "board/tables.h"
#include "test_common.h"

namespace {

struct Verdict {
    Score score;
    int scale;
};

Verdict special(const PieceList& pieces, char sideToMove) {
    Position& pos = positionOf(fenOf(pieces, sideToMove));
    Verdict v{0, 256};
    v.score = evaluateSpecialEndgame(pos, v.scale);
    return v;
}

int scaleFor(const PieceList& pieces, int strongSide) {
    const Position& pos = positionOf(fenOf(pieces, 'w'));
    return endgameScaleFactor(strongSide, pos);
}

// The pawn attacks of the real position are all the blockade test reads
// from the attack record.
bool blocked(const PieceList& pieces, int strongSide) {
    const Position& pos = positionOf(fenOf(pieces, 'w'));
    AttackInfo ai{};
    for (int c = White; c <= Black; c++)
        for (Bitboard b = pos.pieceBB[c][Pawn]; b;) ai.attackedByType[c][Pawn] |= PawnAttacks[c][popLsb(b)];
    return isBlockedPawnEnding(ai, strongSide, pos);
}

// Expects the same verdict for the position and its colour-exchanged twin.
void expectBothColours(const PieceList& pieces, char sideToMove, Score score, int scale, const char* name) {
    const Verdict a = special(pieces, sideToMove);
    const Verdict b = special(swapColours(pieces), sideToMove == 'w' ? 'b' : 'w');
    EXPECT_EQ(a.score, score) << name;
    EXPECT_EQ(a.scale, scale) << name;
    EXPECT_EQ(b.score, score) << name << ", colours exchanged";
    EXPECT_EQ(b.scale, scale) << name << ", colours exchanged";
}

}  // namespace

TEST(Endgame, TwoKnights) {
    initTestTables();
    expectBothColours("Ke1 Nb1 Ng1 ke8", 'w', 0, 256, "two knights against a bare king");
    expectBothColours("Ke1 Nb1 Ng1 ke8 pe6", 'w', ScoreNone, 32, "two knights against a pawn");
    expectBothColours("Ke1 Nb1 Ng1 ke8 pe6 pd6", 'w', ScoreNone, 256, "two knights against two pawns");
}

TEST(Endgame, RookEndings) {
    initTestTables();
    expectBothColours("Ke1 Ra1 ke8 rh8", 'w', ScoreNone, 256, "no pawns");
    expectBothColours("Ke1 Ra1 Pc4 ke8 rh8", 'w', ScoreNone, 256, "the weak side has no pawn");
    // 256 * 2 / 6 + 256 * 0 / 2
    expectBothColours("Ke1 Ra1 Pc4 ke8 rh8 pf5", 'w', ScoreNone, 85, "one pawn each");
    // 256 * 3 / 6 + 256 * 1 / 2
    expectBothColours("Ke1 Ra1 Pc4 Pd4 ke8 rh8 pf5", 'w', ScoreNone, 256, "two pawns against one");
    // 256 * 5 / 6 + 256 * 1 / 2 = 213 + 128: the recogniser may raise it,
    // the driver takes the smaller of it and the scale factor.
    expectBothColours("Ke1 Ra1 Pc4 Pd4 Pe4 ke8 rh8 pf5 pg5", 'w', ScoreNone, 341, "three pawns against two");
    expectBothColours("Ke1 Ra1 Pa2 Pb2 Pc2 Pd2 ke8 rh8 pa7 pb7 pc7", 'w', ScoreNone, 256, "seven pawns");
}

TEST(Endgame, WrongBishopAndRookPawn) {
    initTestTables();
    // h8 is dark; a bishop on d3 (light) can never drive the king out of it.
    for (const char* king : {"g8", "h8", "g7", "h7"})
        expectBothColours(std::string("Kc3 Bd3 Ph5 k") + king, 'w', 0, 256, king);
    expectBothColours("Kc3 Bd3 Ph5 kf7", 'w', ScoreNone, 256, "the king two steps from the corner");
    expectBothColours("Kc3 Be3 Ph5 kh8", 'w', ScoreNone, 256, "the bishop of the corner's colour");
    expectBothColours("Kc3 Bd3 Pg5 kg8", 'w', ScoreNone, 256, "not a rook pawn");
    // a8 is light, the dark bishop on e3 is the wrong one there.
    expectBothColours("Kh3 Be3 Pa4 kb7", 'w', 0, 256, "a-pawn");
}

TEST(Endgame, TwoBishopsAndPawn) {
    initTestTables();
    // Lone king b7: one step from a8 (140); kings d4-b7 three steps apart (100).
    const PieceList pieces = "Kd4 Bc1 Bf1 Pe2 kb7";
    expectBothColours(pieces, 'w', 10667 + 240, 256, "strong side to move");
    expectBothColours(pieces, 'b', -10667 - 240, 256, "lone king to move");
    expectBothColours("Kd4 Bc1 Bf1 kb7", 'w', ScoreNone, 256, "two bishops without a pawn");
}

TEST(Endgame, KnightAndBishopMateGradient) {
    initTestTables();
    // Dark bishop c1: target corners a1 and h8. Lone king b2 is one step
    // from a1 (140), the kings d3-b2 two apart (120 / 2).
    expectBothColours("Kd3 Bc1 Ng1 kb2", 'w', 10667 + 200, 256, "dark bishop");
    expectBothColours("Kd3 Bc1 Ng1 kb2", 'b', -10667 - 200, 256, "dark bishop, lone king to move");
    // Light bishop f1: target corners a8 and h1, both six steps away (40).
    expectBothColours("Kd3 Bf1 Ng1 kb2", 'w', 10667 + 100, 256, "light bishop");
    // In the right corner itself the gradient gives nothing for the corner.
    expectBothColours("Kc3 Bc1 Ng1 ka1", 'w', 10667 + 60, 256, "king in the corner");
}

TEST(Endgame, KnightAndRookPawn) {
    initTestTables();
    expectBothColours("Kd5 Nd4 Pa7 kb7", 'w', 0, 256, "lone king beside the pawn on the seventh");
    expectBothColours("Kd5 Nd4 Pa7 kb8", 'w', 0, 256, "lone king on the eighth next to the pawn");
    expectBothColours("Kd5 Nd4 Pa7 kb6", 'w', ScoreNone, 256, "lone king on the sixth");
    expectBothColours("Ka8 Nd4 Pa7 kc7", 'w', 0, 256, "own king shut in on the promotion square");
    expectBothColours("Ka8 Nd4 Pa7 kd7", 'w', ScoreNone, 256, "own king in the corner but free");
    expectBothColours("Kd5 Nd4 Pb7 kc7", 'w', ScoreNone, 256, "not a rook pawn");
    // Pawn a6 blocked by a pawn on a7.
    const PieceList blockedPawn = "Ke4 Ne2 Pa6 pa7 kb8";
    expectBothColours(blockedPawn, 'w', 0, 256, "lone king next to the blocker on the eighth");
    const PieceList kingC8 = "Ke4 Ne2 Pa6 pa7 kc8";
    expectBothColours(kingC8, 'w', 0, 256, "b8 guarded, knight far, strong side to move");
    expectBothColours(kingC8, 'b', ScoreNone, 256, "b8 guarded, lone king to move");
    expectBothColours("Ke4 Nc6 Pa6 pa7 kc8", 'w', ScoreNone, 256, "the knight attacks the blocker");
}

TEST(Endgame, QueenAgainstRookFortress) {
    initTestTables();
    expectBothColours("Kb1 Qd4 kf8 re6 pf7", 'w', 0, 256, "pawn on the second rank");
    expectBothColours("Kb1 Qd4 kg7 re6 pg6", 'w', 0, 256, "pawn on the g-file");
    expectBothColours("Kb1 Qd4 kg8 re6 ph7", 'w', ScoreNone, 256, "rook pawn");
    expectBothColours("Kb1 Qd4 ke6 rc6 pe5", 'w', ScoreNone, 256, "pawn in the centre");
    expectBothColours("Kb1 Qd4 kc8 re6 pf7", 'w', ScoreNone, 256, "pawn away from the king");
}

TEST(Endgame, OtherMaterialHasNoRule) {
    initTestTables();
    expectBothColours("Ke1 ke8", 'w', ScoreNone, 256, "bare kings");
    expectBothColours("Ke1 Qd1 ke8", 'w', ScoreNone, 256, "queen");
    expectBothColours("Ke1 Pe2 ke8 pe7", 'w', ScoreNone, 256,
                      "pawn against pawn: Black counts as the strong side, no KPK");
}

struct ScaleCase {
    const char* name;
    PieceList pieces;
    int strongSide;
    int expected;
};

TEST(Endgame, EveryStep) {
    initTestTables();
    // Square colours: a1, c1, e3, e5 and h8 are dark; d3, c8, f1 and h1 light.
    const ScaleCase cases[] = {
        {"knight alone", "Ke1 Nb1 ke8", White, 0},
        {"rook against rook", "Ke1 Ra1 ke8 rh8", White, 0},
        {"rook against bishop", "Ke1 Ra1 ke5 bh8", White, 16},
        {"rook against bishop, king on the edge", "Ke1 Ra1 ke8 bh8", White, 256},
        {"rook and bishop against rook", "Ke1 Ra1 Bc1 ke5 rh8", White, 32},
        {"two bishops against one", "Ke1 Bc1 Bf1 ke5 bh8", White, 128},
        {"queen against rook", "Ke1 Qd1 ke5 rh8", White, 256},
        {"rook and pawn against rook", "Ke1 Ra1 Pc4 ke8 rh8", White, 153},
        {"rook and two pawns against rook", "Ke1 Ra1 Pc4 Pd4 ke8 rh8", White, 204},
        {"bishop and pawn against knight", "Ke1 Bd3 Pc4 ke8 nh8", White, 153},
        {"rook and pawn against bishop", "Ke1 Ra1 Pc4 ke8 bh8", White, 256},
        {"queen and pawn against rook", "Ke1 Qd1 Pc4 ke8 rh8", White, 256},
        {"wrong bishop, two h-pawns", "Kc3 Bd3 Ph5 Ph4 kh8", White, 0},
        {"wrong bishop, two h-pawns, lone king with a pawn", "Kc3 Bd3 Ph5 Ph4 kh8 pa5", White, 0},
        {"wrong bishop, g- and h-pawn", "Kc3 Bd3 Ph5 Pg4 kh8", White, 256},
        {"right bishop, two h-pawns", "Kc3 Be3 Ph5 Ph4 kh8", White, 256},
        {"wrong bishop for Black's h-pawns, promoting on h1", "Kg1 kc6 be5 ph4 ph5", Black, 0},
        {"opposite bishops, the one pawn ahead", "Ke1 Bc1 Pe4 ke8 bc8", White, 153 / 8},
        {"opposite bishops, the side without the pawn", "Ke1 Bc1 Pe4 ke8 bc8", Black, 0},
        {"opposite bishops, two pawns", "Ke1 Bc1 Pe4 Pf4 ke8 bc8", White, 204 / 2},
        {"bishops of the same colour", "Ke1 Bc1 Pe4 ke8 bf8", White, 153},
        {"opposite bishops with rooks", "Ke1 Ra1 Bc1 Pe4 Pf4 ke8 ra8 bc8 pa6", White, 204 * 80 / 100},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(scaleFor(c.pieces, c.strongSide), c.expected) << c.name;
        EXPECT_EQ(scaleFor(swapColours(c.pieces), c.strongSide ^ 1), c.expected) << c.name << ", colours exchanged";
    }
}

TEST(Endgame, LockedChains) {
    initTestTables();
    // Black's pawns on b5, c5, f5 and g5 guard all of the fourth rank.
    const PieceList twoRams = "Ke2 Pb4 Pg4 ke8 pb5 pc5 pf5 pg5";
    EXPECT_FALSE(blocked(twoRams, White)) << "fewer than three rams are never a lock";
    PieceList threeRams = twoRams;
    threeRams += " Pc4";
    EXPECT_TRUE(blocked(threeRams, White));
    EXPECT_TRUE(blocked(swapColours(threeRams), Black));

    // A full chain of eight rams with the fourth rank sealed.
    const PieceList chain = "Ke1 ke8 Pa4 Pb5 Pc4 Pd5 Pe4 Pf5 Pg4 Ph5 pa5 pb6 pc5 pd6 pe5 pf6 pg5 ph6";
    EXPECT_TRUE(blocked(chain, White));
    EXPECT_TRUE(blocked(swapColours(chain), Black));

    // Four rams on the queen side leave the king a road up the e- to h-files.
    const PieceList open = "Ke1 ke8 Pa4 Pb5 Pc4 Pd5 pa5 pb6 pc5 pd6";
    EXPECT_FALSE(blocked(open, White));
    EXPECT_FALSE(blocked(swapColours(open), Black));
}

TEST(Endgame, EatenBlockerOpensTheLock) {
    initTestTables();
    // The third ram d2/d3 is held by a black pawn the king can take.
    const PieceList eaten = "Kh1 ke8 Pb4 Pg4 Pd2 pb5 pc5 pf5 pg5 pd3";
    EXPECT_FALSE(blocked(eaten, White));
    EXPECT_FALSE(blocked(swapColours(eaten), Black));
    // Guarded from e4, the d3 pawn cannot be taken and the lock holds.
    PieceList guarded = eaten;
    guarded += " pe4";
    EXPECT_TRUE(blocked(guarded, White));
    EXPECT_TRUE(blocked(swapColours(guarded), Black));
}
