// Pawn structure, worked out by hand from the rules (material 200/257 per pawn
// included in every figure).
#include <gtest/gtest.h>

#include "test_eval_util.h"

using namespace evaltest;

TEST(EvalPawns, ColourWithoutPawnsAddsNothing) {
    auto pos = position("4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
    Bitboard passed = 0;
    const Delta black = pawnTerm(*pos, Black, &passed);
    EXPECT_EQ(black.mg, 0);
    EXPECT_EQ(black.eg, 0);
    EXPECT_EQ(passed, 0u);
}

TEST(EvalPawns, IsolatedByFileAndOpposition) {
    // A lone d2 pawn: isolated and unopposed on the d-file (67 / 30), passed.
    auto lone = position("4k3/8/8/8/8/8/3P4/4K3 w - - 0 1");
    Bitboard passed = 0;
    Delta d = pawnTerm(*lone, White, &passed);
    EXPECT_EQ(d.mg, 200 - 67);
    EXPECT_EQ(d.eg, 257 - 30);
    EXPECT_EQ(passed, squareBB(sq("d2")));

    // a2 against a7: both isolated and opposed on the a-file (44 / 21), neither passed.
    auto rooks = position("4k3/p7/8/8/8/8/P7/4K3 w - - 0 1");
    d = pawnTerm(*rooks, White, &passed);
    EXPECT_EQ(d.mg, 200 - 44);
    EXPECT_EQ(d.eg, 257 - 21);
    EXPECT_EQ(passed, 0u);
    d = pawnTerm(*rooks, Black, &passed);
    EXPECT_EQ(d.mg, 200 - 44);
    EXPECT_EQ(d.eg, 257 - 21);
}

TEST(EvalPawns, DoubledByDistance) {
    // e4 and e5: only e5 can be passed; e4 pays the doubled penalty with d = 1.
    // Both are isolated and unopposed (67 / 30).
    auto pos = position("4k3/8/8/4P3/4P3/8/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    Delta d = pawnTerm(*pos, White, &passed);
    EXPECT_EQ(passed, squareBB(sq("e5")));
    EXPECT_EQ(d.mg, 2 * (200 - 67) - 27);
    EXPECT_EQ(d.eg, 2 * (257 - 30) - 47);

    // d = 2 gives -27/2 = -13 and -47/2 = -23; d = 3 gives -9 and -15.
    auto gap2 = position("4k3/8/8/4P3/8/4P3/8/4K3 w - - 0 1");
    d = pawnTerm(*gap2, White);
    EXPECT_EQ(d.mg, 2 * (200 - 67) - 13);
    EXPECT_EQ(d.eg, 2 * (257 - 30) - 23);
    auto gap3 = position("4k3/8/8/4P3/8/8/4P3/4K3 w - - 0 1");
    d = pawnTerm(*gap3, White);
    EXPECT_EQ(d.mg, 2 * (200 - 67) - 9);
    EXPECT_EQ(d.eg, 2 * (257 - 30) - 15);

    // Black's doubled pawns measure toward rank 1: e5 behind e4 with d = 1.
    auto black = position("4k3/8/8/4p3/4p3/8/8/4K3 w - - 0 1");
    d = pawnTerm(*black, Black, &passed);
    EXPECT_EQ(passed, squareBB(sq("e4")));
    EXPECT_EQ(d.mg, 2 * (200 - 67) - 27);
    EXPECT_EQ(d.eg, 2 * (257 - 30) - 47);
}

TEST(EvalPawns, BackwardPawn) {
    // a2, b3 against b4: a2 has a neighbour but no supporter, nothing in its
    // rear span and no lever; the first pawn of its attack span is b3 and b4
    // stands one rank further, so a2 is backward (unopposed: 46 / 29). b3 is
    // supported by a2 (rank 3: +0) and opposed. The black b4 pawn is isolated
    // and opposed on the b-file (44 / 21).
    auto pos = position("4k3/8/8/8/1p6/1P6/P7/4K3 w - - 0 1");
    Bitboard passed = 0;
    Delta d = pawnTerm(*pos, White, &passed);
    EXPECT_EQ(d.mg, (200 - 46) + 200);
    EXPECT_EQ(d.eg, (257 - 29) + 257);
    EXPECT_EQ(passed, 0u);
    d = pawnTerm(*pos, Black);
    EXPECT_EQ(d.mg, 200 - 44);
    EXPECT_EQ(d.eg, 257 - 21);
}

TEST(EvalPawns, BackwardPickIsOneSided) {
    // Black d7 with its own c6 beside it and a White pawn on e4 in the attack
    // span. Black looks at the h-side first: e4 is the pawn that decides and
    // it is an enemy pawn, so d7 is backward (-46 / -29). c6 is passed and
    // supported by d7 on the rank behind (rank 6 from Black's side: +0).
    auto pos = position("4k3/3p4/2p5/8/4P3/8/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    Delta d = pawnTerm(*pos, Black, &passed);
    EXPECT_EQ(d.mg, (200 - 46) + 200);
    EXPECT_EQ(d.eg, (257 - 29) + 257);
    EXPECT_EQ(passed, squareBB(sq("c6")));
    // e4 is isolated and unopposed.
    d = pawnTerm(*pos, White);
    EXPECT_EQ(d.mg, 200 - 67);
    EXPECT_EQ(d.eg, 257 - 30);

    // The colour-mirrored position: White searches from the a-side, meets its
    // own c3 first (rank 3), and e5 is not on rank 3 or 4: d2 is not backward.
    auto mirrored = position("4k3/8/8/4p3/8/2P5/3P4/4K3 b - - 0 1");
    d = pawnTerm(*mirrored, White, &passed);
    EXPECT_EQ(d.mg, 200 + 200);
    EXPECT_EQ(d.eg, 257 + 257);
    EXPECT_EQ(passed, squareBB(sq("c3")));
}

TEST(EvalPawns, CandidatePasser) {
    // c4 (supported by b3) faces d6 in its attack span; the backer b3 matches
    // the one sentry: candidate on rank 4 (+14 / +14) and supported
    // (8 * 2 * 1 = 16, 4 * 2 * 1 = 8). b3 is passed with nothing special.
    // d6 is isolated and unopposed.
    auto pos = position("4k3/8/3p4/8/2P5/1P6/8/4K3 w - - 0 1");
    Bitboard passed = 0;
    Delta d = pawnTerm(*pos, White, &passed);
    EXPECT_EQ(d.mg, (200 + 16 + 14) + 200);
    EXPECT_EQ(d.eg, (257 + 8 + 14) + 257);
    EXPECT_EQ(passed, squareBB(sq("b3")));
    d = pawnTerm(*pos, Black);
    EXPECT_EQ(d.mg, 200 - 67);
    EXPECT_EQ(d.eg, 257 - 30);

    // With a second sentry on b6 the single backer is outnumbered: no
    // candidate. b3 is now opposed by b6 and not passed; its backward test
    // runs and meets its own c4 first (rank 4), with no enemy pawn of its
    // attack span on rank 4 or 5, so it is not backward.
    auto outnumbered = position("4k3/8/1p1p4/8/2P5/1P6/8/4K3 w - - 0 1");
    d = pawnTerm(*outnumbered, White, &passed);
    EXPECT_EQ(d.mg, (200 + 16) + 200);
    EXPECT_EQ(d.eg, (257 + 8) + 257);
    EXPECT_EQ(passed, 0u);
}

TEST(EvalPawns, LeversByRank) {
    // e5 strikes at d6: lever on rank 5 (-3 / +83); both isolated, unopposed.
    auto fifth = position("4k3/8/3p4/4P3/8/8/8/4K3 w - - 0 1");
    Delta d = pawnTerm(*fifth, White);
    EXPECT_EQ(d.mg, 200 - 67 - 3);
    EXPECT_EQ(d.eg, 257 - 30 + 83);
    d = pawnTerm(*fifth, Black);  // lever on its rank 3: nothing
    EXPECT_EQ(d.mg, 200 - 67);
    EXPECT_EQ(d.eg, 257 - 30);

    // e6 strikes at d7: lever on rank 6 (+94 / +128).
    auto sixth = position("4k3/3p4/4P3/8/8/8/8/4K3 w - - 0 1");
    d = pawnTerm(*sixth, White);
    EXPECT_EQ(d.mg, 200 - 67 + 94);
    EXPECT_EQ(d.eg, 257 - 30 + 128);
}

TEST(EvalPawns, ConnectedAndWedge) {
    // d4 and e4 side by side on rank 4: 16 / 8 each.
    auto phalanx = position("4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1");
    Delta d = pawnTerm(*phalanx, White);
    EXPECT_EQ(d.mg, 2 * (200 + 16));
    EXPECT_EQ(d.eg, 2 * (257 + 8));
    // On rank 5: 48 / 24 each.
    auto fifth = position("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1");
    d = pawnTerm(*fifth, White);
    EXPECT_EQ(d.mg, 2 * (200 + 48));
    EXPECT_EQ(d.eg, 2 * (257 + 24));

    // d2 without a supporter but with own pawns on both capture squares
    // c3 and e3 (-5 / -20); c3 and e3 are supported by d2 (rank 3: +0).
    auto wedge = position("4k3/8/8/8/8/2P1P3/3P4/4K3 w - - 0 1");
    d = pawnTerm(*wedge, White);
    EXPECT_EQ(d.mg, 3 * 200 - 5);
    EXPECT_EQ(d.eg, 3 * 257 - 20);
}
