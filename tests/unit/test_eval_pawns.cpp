// Pawn structure: which rules fire for which pawn, checked against the named
// weights (the reference test holds the weights' values themselves).
#include <gtest/gtest.h>

#include "eval/params.h"
#include "test_common.h"

using namespace evaltest;

namespace {

constexpr int FileA = 0, FileB = 1, FileD = 3, FileE = 4;

ScorePair isolated(bool opposed, int file) { return {IsolatedPenaltyMg[opposed][file], IsolatedPenaltyEg[opposed]}; }
ScorePair backward(bool opposed) { return {BackwardPenaltyMg[opposed], BackwardPenaltyEg}; }
// Supported or side by side on relative rank r (0 = own first rank).
ScorePair connected(int r) { return ConnectedFactor * ((r - 1) * (r - 2)); }

}  // namespace

TEST(EvalPawns, ColourWithoutPawnsAddsNothing) {
    auto pos = position("4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(pawnTerm(*pos, Black, &passed), ScorePair{});
    EXPECT_EQ(passed, 0u);
}

TEST(EvalPawns, IsolatedByFileAndOpposition) {
    // A lone d2 pawn: isolated and unopposed on the d-file, passed.
    auto lone = position("4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(pawnTerm(*lone, White, &passed), PawnValue - isolated(false, FileD));
    EXPECT_EQ(passed, squareBB(sq("d2")));

    // a2 against a7: both isolated and opposed on the a-file, neither passed.
    auto rooks = position("4k3/p7/8/8/8/8/P7/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*rooks, White, &passed), PawnValue - isolated(true, FileA));
    EXPECT_EQ(passed, 0u);
    EXPECT_EQ(pawnTerm(*rooks, Black), PawnValue - isolated(true, FileA));
}

TEST(EvalPawns, DoubledByDistance) {
    // e4 and e5: only e5 can be passed; e4 pays the doubled penalty with d = 1.
    // Both are isolated and unopposed.
    const ScorePair twoIsolated = (PawnValue - isolated(false, FileE)) * 2;
    auto pos = position("4k3/8/8/4P3/4P3/8/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(pawnTerm(*pos, White, &passed), twoIsolated - DoubledPenalty);
    EXPECT_EQ(passed, squareBB(sq("e5")));

    // The penalty is divided by the distance, truncating toward zero
    // (-27 / 2 = -13, not -14).
    auto gap2 = position("4k3/8/8/4P3/8/4P3/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*gap2, White), twoIsolated + (-DoubledPenalty) / 2);
    auto gap3 = position("4k3/8/8/4P3/8/8/4P3/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*gap3, White), twoIsolated + (-DoubledPenalty) / 3);

    // Black's doubled pawns measure toward rank 1: e5 behind e4 with d = 1.
    auto black = position("4k3/8/8/4p3/4p3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*black, Black, &passed), twoIsolated - DoubledPenalty);
    EXPECT_EQ(passed, squareBB(sq("e4")));
}

TEST(EvalPawns, BackwardPawn) {
    // a2, b3 against b4: a2 has a neighbour but no supporter, nothing in its
    // rear span and no lever; the first pawn of its attack span is b3 and b4
    // stands one rank further, so a2 is backward (and unopposed). b3 is
    // supported by a2 on rank 3, which earns nothing yet, and opposed. The
    // black b4 pawn is isolated and opposed on the b-file.
    auto pos = position("4k3/8/8/8/1p6/1P6/P7/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(connected(2), ScorePair{});
    EXPECT_EQ(pawnTerm(*pos, White, &passed), PawnValue - backward(false) + PawnValue);
    EXPECT_EQ(passed, 0u);
    EXPECT_EQ(pawnTerm(*pos, Black), PawnValue - isolated(true, FileB));
}

TEST(EvalPawns, BackwardPickIsOneSided) {
    // Black d7 with its own c6 beside it and a White pawn on e4 in the attack
    // span. Black looks at the h-side first: e4 is the pawn that decides and
    // it is an enemy pawn, so d7 is backward. c6 is passed and supported by
    // d7 on the rank behind (rank 6 from Black's side, the third: nothing).
    auto pos = position("4k3/3p4/2p5/8/4P3/8/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(pawnTerm(*pos, Black, &passed), PawnValue - backward(false) + PawnValue);
    EXPECT_EQ(passed, squareBB(sq("c6")));
    // e4 is isolated and unopposed.
    EXPECT_EQ(pawnTerm(*pos, White), PawnValue - isolated(false, FileE));

    // The colour-mirrored position: White searches from the a-side, meets its
    // own c3 first (rank 3), and e5 is not on rank 3 or 4: d2 is not backward.
    auto mirrored = position("4k3/8/8/4p3/8/2P5/3P4/4K3 b - - 0 1");
    EXPECT_EQ(pawnTerm(*mirrored, White, &passed), PawnValue * 2);
    EXPECT_EQ(passed, squareBB(sq("c3")));
}

TEST(EvalPawns, CandidatePasser) {
    // c4 (supported by b3) faces d6 in its attack span; the backer b3 matches
    // the one sentry: a candidate on rank 4, and connected. b3 is passed with
    // nothing special. d6 is isolated and unopposed.
    auto pos = position("4k3/8/3p4/8/2P5/1P6/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    EXPECT_EQ(pawnTerm(*pos, White, &passed), PawnValue + connected(3) + CandidateBonus[3] + PawnValue);
    EXPECT_EQ(passed, squareBB(sq("b3")));
    EXPECT_EQ(pawnTerm(*pos, Black), PawnValue - isolated(false, FileD));

    // With a second sentry on b6 the single backer is outnumbered: no
    // candidate. b3 is now opposed by b6 and not passed; its backward test
    // runs and meets its own c4 first (rank 4), with no enemy pawn of its
    // attack span on rank 4 or 5, so it is not backward.
    auto outnumbered = position("4k3/8/1p1p4/8/2P5/1P6/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*outnumbered, White, &passed), PawnValue + connected(3) + PawnValue);
    EXPECT_EQ(passed, 0u);
}

TEST(EvalPawns, LeversByRank) {
    // e5 strikes at d6: a lever on rank 5; both isolated and unopposed.
    auto fifth = position("4k3/8/3p4/4P3/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*fifth, White), PawnValue - isolated(false, FileE) + LeverBonus[4]);
    // Black's d6 strikes at e5 from its rank 3, where a lever earns nothing.
    EXPECT_EQ(LeverBonus[2], ScorePair{});
    EXPECT_EQ(pawnTerm(*fifth, Black), PawnValue - isolated(false, FileD));

    // e6 strikes at d7: a lever on rank 6.
    auto sixth = position("4k3/3p4/4P3/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*sixth, White), PawnValue - isolated(false, FileE) + LeverBonus[5]);
}

TEST(EvalPawns, ConnectedAndWedge) {
    // d4 and e4 side by side count as connected, each by its rank.
    auto phalanx = position("4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*phalanx, White), (PawnValue + connected(3)) * 2);
    auto fifth = position("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*fifth, White), (PawnValue + connected(4)) * 2);
    EXPECT_EQ(connected(4), ConnectedFactor * 6);

    // d2 without a supporter but with own pawns on both capture squares c3
    // and e3 is the apex of a wedge; c3 and e3 are supported by d2 on rank 3,
    // which earns nothing yet.
    auto wedge = position("4k3/8/8/8/8/2P1P3/3P4/4K3 w - - 0 1");
    EXPECT_EQ(pawnTerm(*wedge, White), PawnValue * 3 - WedgePenalty);
}
