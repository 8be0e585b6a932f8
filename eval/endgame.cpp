// Endgame knowledge the general terms cannot express: recognised material
// configurations (known draws, mating gradients, the KPK table), the scale
// factor of the stronger side, and the test for pawn endings locked so tight
// that the stronger king can never get through.
//
// Every rule is written once from the stronger side's view; ranks, the
// promotion square and the "second rank" are taken relative to the colour
// they belong to, so the same code serves both colours.
#include "eval/endgame.h"
#include "board/masks.h"
#include "board/tables.h"
#include "eval/params.h"

namespace {

// Non-pawn material of the configurations the rules look for.
constexpr int MaterialKnight = NonPawnValue[Knight];
constexpr int MaterialBishop = NonPawnValue[Bishop];
constexpr int MaterialRook = NonPawnValue[Rook];
constexpr int MaterialQueen = NonPawnValue[Queen];
constexpr int MaterialTwoKnights = 2 * MaterialKnight;
constexpr int MaterialKnightBishop = MaterialKnight + MaterialBishop;
constexpr int MaterialTwoBishops = 2 * MaterialBishop;

constexpr bool onEdge(Square s) { return EdgeMask & (Bitboard(1) << s); }

bool sameColour(Square a, Square b) { return bool(DarkSquareMask & squareBB(a)) == bool(DarkSquareMask & squareBB(b)); }

bool adjacent(Square a, Square b) { return PseudoAttacks[King][a] & squareBB(b); }

// Material with a pawn at its middle-game value: which side is the stronger one.
int materialWeight(const Position& pos, int color) {
    return PawnValue.mg * pos.pieceCount[color][Pawn] + pos.nonPawnMaterial[color];
}

Score forSideToMove(const Position& pos, int strongSide, Score v) { return pos.sideToMove == strongSide ? v : -v; }

// Knight and rook pawn against a bare king or a king with one pawn: the
// corner fortresses the knight alone cannot break.
Score knightRookPawn(const Position& pos, int strong) {
    const int weak = strong ^ 1;
    const Square pawn = lsb(pos.pieceBB[strong][Pawn]);
    const Square sk = pos.kingSquare[strong], wk = pos.kingSquare[weak];
    const Square promotion = promotionSquare(strong, pawn);
    const Bitboard lastRank = RelativeRankMask[strong][7];
    if (!(squareBB(pawn) & RookFilesMask)) return ScoreNone;

    if (relativeRank(strong, pawn) == 6) {
        // The lone king holds the pawn from beside or in front of it.
        if (adjacent(wk, pawn) && relativeRank(strong, wk) >= 6) return 0;
        // The strong king is shut in on the promotion square.
        if (sk == promotion && (PseudoAttacks[King][sk] & PseudoAttacks[King][wk] & lastRank)) return 0;
        return ScoreNone;
    }

    if (relativeRank(strong, pawn) != 5) return ScoreNone;
    // A pawn on the sixth blocked by an enemy pawn: a king that shuttles on
    // the last rank beside the blocker cannot be shut out while the knight
    // does not attack the blocker.
    const Square block = pawn + pawnPush(strong);
    if (pos.pieceBB[weak][Pawn] & squareBB(block)) {
        if (adjacent(wk, block) && relativeRank(strong, wk) == 7) return 0;
        if ((PseudoAttacks[King][block] & PseudoAttacks[King][wk] & lastRank) &&
            !(PseudoAttacks[Knight][block] & pos.pieceBB[strong][Knight]) && pos.sideToMove == strong)
            return 0;
    }
    return ScoreNone;
}

// Rules for a strong side with exactly one pawn (after KPK and rook endings).
Score strongWithOnePawn(const Position& pos, int strong) {
    const int weak = strong ^ 1;
    const int strongNpm = pos.nonPawnMaterial[strong], weakNpm = pos.nonPawnMaterial[weak];
    const int weakPawns = pos.pieceCount[weak][Pawn];
    const bool weakBare = weakNpm == 0 && weakPawns == 0;
    const Square wk = pos.kingSquare[weak];

    if (strongNpm == MaterialBishop && weakBare) {
        // Wrong bishop and rook pawn: the lone king in the corner cannot be
        // driven out, and the pawn cannot promote.
        const Square pawn = lsb(pos.pieceBB[strong][Pawn]);
        const Square promotion = promotionSquare(strong, pawn);
        const Square bishop = lsb(pos.pieceBB[strong][Bishop]);
        if ((squareBB(pawn) & RookFilesMask) && !sameColour(bishop, promotion) && Distance[wk][promotion] <= 1)
            return 0;
        return ScoreNone;
    }
    if (strongNpm == MaterialTwoBishops && weakBare) {
        int corner = Distance[wk][0];
        for (Square c : {Square(56), Square(7), Square(63)})
            if (Distance[wk][c] < corner) corner = Distance[wk][c];
        const int v = CornerBonus[corner] + CornerBonus[Distance[pos.kingSquare[strong]][wk]];
        return forSideToMove(pos, strong, ScoreKnownWin + v);
    }
    if (strongNpm == MaterialKnight && weakNpm == 0 && weakPawns <= 1) return knightRookPawn(pos, strong);
    return ScoreNone;
}

// Rules for a strong side without pawns.
Score strongWithoutPawns(const Position& pos, int strong, int& scaleFactor) {
    const int weak = strong ^ 1;
    const int strongNpm = pos.nonPawnMaterial[strong], weakNpm = pos.nonPawnMaterial[weak];
    const int weakPawns = pos.pieceCount[weak][Pawn];
    const bool weakBare = weakNpm == 0 && weakPawns == 0;
    const Square wk = pos.kingSquare[weak];

    if (strongNpm == MaterialQueen && weakPawns >= 1 && weakNpm == MaterialRook) {
        // Rook and pawn fortress against the queen: a pawn near the king,
        // on its second rank or a knight file, shelters the rook.
        const Bitboard shelter = (RelativeRankMask[weak][1] | FileMask[1] | FileMask[6]) & ~RookFilesMask;
        if (pos.pieceBB[weak][Pawn] & PseudoAttacks[King][wk] & shelter) return 0;
        return ScoreNone;
    }
    if (strongNpm == MaterialTwoKnights) {
        // Two knights cannot force mate against a bare king; against a
        // pawn they sometimes can, so the score is only shrunk.
        if (weakBare) return 0;
        if (weakPawns == 1 && weakNpm == 0) scaleFactor /= 8;
        return ScoreNone;
    }
    if (strongNpm == MaterialKnightBishop && weakBare) {
        // Mate is only possible in a corner of the bishop's colour.
        const bool dark = DarkSquareMask & pos.pieceBB[strong][Bishop];
        const Square cornerA = dark ? 0 : 7, cornerB = dark ? 63 : 56;
        const int corner =
            Distance[wk][cornerA] < Distance[wk][cornerB] ? Distance[wk][cornerA] : Distance[wk][cornerB];
        const int v = CornerBonus[corner] + CornerBonus[Distance[pos.kingSquare[strong]][wk]] / 2;
        return forSideToMove(pos, strong, ScoreKnownWin + v);
    }
    return ScoreNone;
}

// One king step from any square of b, b itself included.
Bitboard kingSpread(Bitboard b) {
    const Bitboard ranks = b | ((b << 1) & ~Rank1Mask) | ((b >> 1) & ~Rank8Mask);
    return ranks | (ranks << 8) | (ranks >> 8);
}

// The squares one step behind each square of b, for pawns of colour c.
Bitboard stepBack(int c, Bitboard b) { return c == White ? (b >> 1) & ~Rank8Mask : (b << 1) & ~Rank1Mask; }

// The locked chains of the stronger side: its pawns blocked head-on by an
// enemy pawn, with the own pawns up to four steps behind them on the same
// file, and every square an enemy pawn guards. Returns false when fewer than
// three rams are left, which is never a lock.
bool buildWall(int strong, Bitboard own, Bitboard theirs, Bitboard theirAttacks, Bitboard& wall) {
    const Bitboard rams = own & stepBack(strong, theirs);
    if (popCount(rams) < BlockadeMinRams) return false;
    wall = rams;
    for (int i = 0; i < BlockadeChainSteps; i++) wall |= own & stepBack(strong, wall);
    wall |= theirAttacks;
    return true;
}

}  // namespace

Score evaluateSpecialEndgame(const Position& pos, int& scaleFactor) {
    const int strong = materialWeight(pos, White) > materialWeight(pos, Black) ? White : Black;
    const int weak = strong ^ 1;
    const int strongPawns = pos.pieceCount[strong][Pawn], weakPawns = pos.pieceCount[weak][Pawn];
    const int strongNpm = pos.nonPawnMaterial[strong], weakNpm = pos.nonPawnMaterial[weak];

    // 1. King and pawn against king: the table knows.
    if (strongPawns == 1 && strongNpm == 0 && weakPawns == 0 && weakNpm == 0) return probeKpk(pos, strong);

    // 2. Rook endings are drawish when the pawns are few and balanced; the
    // scale grows with the pawn count and with each extra pawn.
    if (strongNpm == MaterialRook && weakNpm == MaterialRook) {
        const int total = strongPawns + weakPawns;
        if (weakPawns == 0 || total > 6) return ScoreNone;
        scaleFactor = scaleFactor * total / 6 + scaleFactor * (strongPawns - weakPawns) / 2;
        return ScoreNone;
    }

    // 3 and 4: minor-piece endings with one pawn or none.
    if (strongPawns == 1) return strongWithOnePawn(pos, strong);
    if (strongPawns == 0) return strongWithoutPawns(pos, strong, scaleFactor);
    return ScoreNone;
}

int endgameScaleFactor(int strongSide, const Position& pos) {
    const int weak = strongSide ^ 1;
    const int strongNpm = pos.nonPawnMaterial[strongSide];
    const int weakNpm = pos.nonPawnMaterial[weak];
    const int pawns = pos.pieceCount[strongSide][Pawn];
    int s = ScaleFactorNormal;

    // 1. Without pawns the extra material must be enough to mate: less than
    // a rook, or an even balance, is a draw; a small edge mostly is, unless
    // the lone king is already on the edge.
    if (pawns == 0 && strongNpm - weakNpm <= MaterialBishop) {
        if (strongNpm < MaterialRook || strongNpm == weakNpm) return 0;
        if (!onEdge(pos.kingSquare[weak])) {
            const int bishops = pos.pieceCount[strongSide][Bishop];
            s = bishops == 0 ? ScaleNoPawnNoBishop : bishops == 1 ? ScaleNoPawnOneBishop : ScaleNoPawnBishops;
        }
    }

    // 2. One or two pawns with no real piece advantage are harder to win.
    if ((pawns == 1 || pawns == 2) && strongNpm - weakNpm < MaterialBishop &&
        (strongNpm < MaterialRook || strongNpm == weakNpm))
        s = PawnCountScale[pawns] * ScaleFactorNormal / 100;

    // 3. Bishop and rook pawns of the wrong colour against a king in the corner.
    if (weakNpm == 0 && strongNpm == MaterialBishop) {
        const Bitboard own = pos.pieceBB[strongSide][Pawn];
        if (own && (!(own & ~FileAMask) || !(own & ~FileHMask))) {
            const Square promotion = promotionSquare(strongSide, lsb(own));
            const Square bishop = lsb(pos.pieceBB[strongSide][Bishop]);
            if (!sameColour(bishop, promotion) && Distance[pos.kingSquare[weak]][promotion] <= 1) return 0;
        }
        return s;
    }

    // 4. Opposite-coloured bishops: very drawish alone, still a little with
    // other pieces.
    if (pos.pieceCount[White][Bishop] == 1 && pos.pieceCount[Black][Bishop] == 1 &&
        !sameColour(lsb(pos.pieceBB[White][Bishop]), lsb(pos.pieceBB[Black][Bishop]))) {
        if (strongNpm + weakNpm == MaterialTwoBishops)
            return pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn] == 1 ? s / 8 : s / 2;
        return s * ScaleOppositeBishopsPercent / 100;
    }
    return s;
}

bool isBlockedPawnEnding(const AttackInfo& ai, int strongSide, const Position& pos) {
    const int weak = strongSide ^ 1;
    const Bitboard own = pos.pieceBB[strongSide][Pawn];
    Bitboard theirs = pos.pieceBB[weak][Pawn];
    const Bitboard theirAttacks = ai.attackedByType[weak][Pawn];
    const Bitboard goal = RelativeRankMask[strongSide][7];

    Bitboard wall;
    if (!buildWall(strongSide, own, theirs, theirAttacks, wall)) return false;

    // Flood the squares the king can reach without crossing the wall. If
    // the flood reaches the promotion rank the king gets through; enemy
    // pawns it reaches are eaten, which may open the wall.
    Bitboard region = PseudoAttacks[King][pos.kingSquare[strongSide]] & ~wall;
    Bitboard grown = region | (kingSpread(region) & ~wall);
    if (grown == region) return true;
    region = grown;
    while (true) {
        if (region & goal) return false;
        if (region & theirs) {
            theirs &= ~region;
            if (!buildWall(strongSide, own, theirs, theirAttacks, wall)) return false;
        }
        grown = region | (kingSpread(region) & ~wall);
        if (grown == region) return true;
        region = grown;
    }
}
