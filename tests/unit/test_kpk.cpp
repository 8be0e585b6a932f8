#include <gtest/gtest.h>

#include <cstdio>

#include "board/tables.h"
#include "test_common.h"

namespace {

bool kpkBit(int index) { return KpkBitbase[index >> 5] & (uint32_t(1) << (index & 31)); }

// Score of a KPK position the way the evaluation asks for it.
Score kpkScore(const PieceList& pieces, char sideToMove) {
    Position& pos = positionOf(fenOf(pieces, sideToMove));
    int scale = 256;
    return evaluateSpecialEndgame(pos, scale);
}

struct KpkCase {
    const char* name;
    PieceList pieces;  // White has the pawn
    char sideToMove;
    bool won;
};

}  // namespace

TEST(KpkBitbase, BuildTimeWinCountAndNoImpossibleWins) {
    const double ms = ensureKpkBitbase();
    int wins = 0;
    int impossibleWins = 0;
    for (int i = 0; i < 196608; i++) {
        if (!kpkBit(i)) continue;
        wins++;
        const Square sk = i & 63, wk = (i >> 6) & 63;
        const bool weakToMove = (i >> 12) & 1;
        const Square pawn = ((i >> 13) & 3) * 8 + 6 - (i >> 15);
        if (Distance[sk][wk] <= 1 || sk == pawn || wk == pawn ||
            (!weakToMove && (PawnAttacks[White][pawn] & squareBB(wk))))
            impossibleWins++;
    }
    std::printf("[ KPK      ] built in %.1f ms, %d won positions of 196608\n", ms, wins);
    EXPECT_EQ(impossibleWins, 0);
    // Confirmed by a separate derivation of the same rules that updates
    // all records of a pass at once instead of in place: the set of wins
    // does not depend on the order in which the passes visit them.
    EXPECT_EQ(wins, 111282);
}

// The index layout: strong king, weak king, side bit, file, 6 - rank.
TEST(KpkBitbase, IndexLayout) {
    ensureKpkBitbase();
    const int d6 = 29, d8 = 31, file = 3;
    // Kd6, Pd7, kd8: the pawn side to move wins, the lone king to move is stalemated.
    const int pawnOnSeventh = d6 | (d8 << 6) | (file << 13) | (0 << 15);
    EXPECT_TRUE(kpkBit(pawnOnSeventh));
    EXPECT_FALSE(kpkBit(pawnOnSeventh | (1 << 12)));
    // Kd6, Pd5, kd8: the king on the sixth rank in front of its pawn wins
    // whoever is to move.
    const int pawnOnFifth = d6 | (d8 << 6) | (file << 13) | (2 << 15);
    EXPECT_TRUE(kpkBit(pawnOnFifth));
    EXPECT_TRUE(kpkBit(pawnOnFifth | (1 << 12)));
}

// Verdicts worked out over the board; each is checked as given, mirrored to
// the other wing, with the colours exchanged, and both.
TEST(KpkBitbase, KnownWinsAndDrawsInEveryMirror) {
    ensureKpkBitbase();
    const KpkCase cases[] = {
        {"rook pawn, defender in the corner", "Kg6 Ph5 kh8", 'w', false},
        {"rook pawn, defender in the corner", "Kg6 Ph5 kh8", 'b', false},
        {"stalemate in front of the pawn", "Ke6 Pe7 ke8", 'b', false},
        {"king escorts the pawn on the seventh", "Ke6 Pe7 ke8", 'w', true},
        {"king in front with the opposition", "Ke5 Pe4 ke7", 'b', true},
        {"king in front without the opposition", "Ke5 Pe4 ke7", 'w', false},
        {"a spare pawn move gains the opposition", "Ke5 Pe3 ke7", 'w', true},
        {"lone king in front with the opposition", "Ke3 Pe4 ke5", 'w', false},
        {"king on the sixth in front of its pawn", "Kd6 Pd5 kd8", 'w', true},
        {"the pawn outruns the king", "Kh1 Pc5 kh4", 'w', true},
        {"the pawn outruns the king", "Kh1 Pc5 kh4", 'b', true},
        {"the king catches the pawn", "Kh1 Pc4 kf6", 'w', false},
        {"the king catches the pawn", "Kh1 Pc4 kf6", 'b', false},
        {"undefended pawn next to the lone king", "Ka1 Pe4 kd5", 'b', false},
    };
    for (const KpkCase& c : cases) {
        const int rank = c.pieces[6] - '1';  // the pawn is the second piece
        const Score expected = !c.won ? 0 : c.sideToMove == 'w' ? 10931 - rank : -(10931 - rank);
        const PieceList swapped = swapColours(c.pieces);
        const char otherSide = c.sideToMove == 'w' ? 'b' : 'w';
        EXPECT_EQ(kpkScore(c.pieces, c.sideToMove), expected) << c.name;
        EXPECT_EQ(kpkScore(mirrorFiles(c.pieces), c.sideToMove), expected) << c.name << ", other wing";
        EXPECT_EQ(kpkScore(swapped, otherSide), expected) << c.name << ", colours exchanged";
        EXPECT_EQ(kpkScore(mirrorFiles(swapped), otherSide), expected) << c.name << ", both";
    }
}

// A pawn on the e-file is looked up as its mirror image on the d-file.
TEST(KpkBitbase, ProbeMirrorsFilesEtoH) {
    ensureKpkBitbase();
    Position e;
    Position d;
    setFromFen(fenOf("Ke6 Pe5 ke8", 'w'), e);
    setFromFen(fenOf("Kd6 Pd5 kd8", 'w'), d);
    EXPECT_EQ(probeKpk(e, White), probeKpk(d, White));
    EXPECT_EQ(probeKpk(e, White), 10931 - 4);
    // The same position with the lone king to move: lost, seen from Black.
    setFromFen(fenOf("Ke6 Pe5 ke8", 'b'), e);
    EXPECT_EQ(probeKpk(e, White), -(10931 - 4));
}

// A pawn on its own first rank has no entry in the table; the probe must
// neither read outside it nor claim a result.
TEST(KpkBitbase, PawnOnBackRankHasNoVerdict) {
    ensureKpkBitbase();
    Position pos;
    setFromFen(fenOf("Ka6 Pc1 kh8", 'w'), pos);
    EXPECT_EQ(probeKpk(pos, White), ScoreNone);
    setFromFen(fenOf("Ka6 pc8 kh3", 'w'), pos);
    EXPECT_EQ(probeKpk(pos, Black), ScoreNone);
}
