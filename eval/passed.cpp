// Passed pawns (rank, king distances, a free and defended path) and threats
// against enemy units that no enemy pawn defends.
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

namespace {

// Both terms are written once with the colour fixed at compile time.
template <int Color>
void evaluatePassedPawnsOf(const AttackInfo& ai, const Position& pos, int& mg, int& eg,
                           Bitboard passed) {
    constexpr int color = Color, them = Color ^ 1;
    const Square ownKing = pos.kingSquare[color];
    const Square enemyKing = pos.kingSquare[them];
    const Bitboard enemyHeavy = pos.pieceBB[them][Rook] | pos.pieceBB[them][Queen];
    const Bitboard ownHeavy = pos.pieceBB[color][Rook] | pos.pieceBB[color][Queen];

    for (Bitboard pawns = passed; pawns;) {
        const Square s = popLsb(pawns);
        const int r = relativeRank(color, s);
        // A pawn on its last rank (only in a malformed position) has no
        // square in front; it earns nothing.
        if (r == 7) continue;
        const Square front = s + pawnPush(color);
        int m = PassedBonusMg[r];
        int e = PassedBonusEg[r];

        // Further up the board, who is nearer the square in front and how
        // freely the pawn can run weigh more and more.
        const int w = (r - 1) * (r - 2);
        if (w > 0) {
            e += w * (PassedEnemyKingWeight * Distance[front][enemyKing] -
                      PassedOwnKingWeight * Distance[front][ownKing]);
            if (r != 6) e -= w * Distance[front][ownKing];

            if (!(pos.occupied & squareBB(front))) {
                const Bitboard path = ForwardFile[color][s];
                const Bitboard behind = ForwardFile[them][s];
                // A heavy piece behind the pawn on its file controls the whole
                // path through the pawn (the x-ray of a rook behind a passer).
                // The attack set is built only when a heavy piece stands behind.
                const Bitboard heavyBehind = (enemyHeavy | ownHeavy) & behind;
                const Bitboard rookLines = heavyBehind ? attacksFrom(Rook, s, pos.occupied) : 0;
                const Bitboard unsafe = (enemyHeavy & behind & rookLines)
                                            ? path
                                            : path & (pos.colorBB[them] | ai.attackedBy[them]);
                const Bitboard defended =
                    (ownHeavy & behind & rookLines) ? path : path & ai.attackedBy[color];

                int k = !unsafe ? PassedPathSafe
                                : !(unsafe & squareBB(front)) ? PassedStepSafe : 0;
                int c = 0;
                if (defended == path) {
                    k += PassedPathDefendedEg;
                    c = PassedPathDefendedMg;
                } else if (defended & squareBB(front)) {
                    k += PassedStepDefendedEg;
                    c = PassedStepDefendedMg;
                }
                m += c * w;
                e += k * w;
            }
        }

        // Passers on neighbouring files support each other's advance.
        if (passed & AdjacentFilesMask[fileOf(s)]) e += ConnectedPasserEg * (r - 1);

        mg += m;
        eg += e;
    }
}

template <int Color>
void evaluateThreatsOf(const AttackInfo& ai, const Position& pos, int& mg, int& eg) {
    constexpr int color = Color, them = Color ^ 1;
    const Bitboard weak = pos.colorBB[them] & ~ai.attackedByType[them][Pawn] & ai.attackedBy[color];
    if (!weak) return;

    // The most valuable weak unit sets the size of the threat.
    const int victim = (weak & pos.pieceBB[them][Queen])    ? 4
                       : (weak & pos.pieceBB[them][Rook])   ? 3
                       : (weak & pos.pieceBB[them][Knight]) ? 1
                       : (weak & pos.pieceBB[them][Bishop]) ? 2
                                                            : 0;

    const Bitboard minorAttacks = ai.attackedByType[color][Pawn] |
                                  ai.attackedByType[color][Knight] |
                                  ai.attackedByType[color][Bishop];
    if (weak & minorAttacks) {
        mg += MinorThreatMg[victim];
        eg += MinorThreatEg[victim];
    }
    if (weak & (ai.attackedByType[color][Rook] | ai.attackedByType[color][Queen])) {
        mg += MajorThreatMg[victim];
        eg += MajorThreatEg[victim];
    }

    // Undefended units are simply lost if nothing else happens.
    const int hanging = popCount(weak & ~ai.attackedBy[them]);
    mg += HangingMg * hanging;
    eg += HangingEg * hanging;

    if (ai.attackedByType[color][King] & weak & pos.pieceBB[them][Pawn]) {
        mg += KingThreatMg;
        eg += KingThreatEg;
    }

    // Squares from which our rooks and bishops attack a lone enemy queen
    // along its own lines, safely: the queen can be chased.
    const Bitboard enemyQueens = pos.pieceBB[them][Queen];
    if (enemyQueens && !moreThanOne(enemyQueens)) {
        const Square q = lsb(enemyQueens);
        const Bitboard chase =
            ((PseudoAttacks[Rook][q] & ai.attackedByType[color][Rook]) |
             (PseudoAttacks[Bishop][q] & ai.attackedByType[color][Bishop])) &
            ai.pieceAttacks[q] & ~ai.attackedByType[them][Pawn] & ai.attackedBy[color];
        const int n = popCount(chase);
        mg += QueenChaseMg * n;
        eg += QueenChaseEg * n;
    }
}

}  // namespace

void evaluatePassedPawns(const AttackInfo& ai, const Position& pos, int color, int& mg, int& eg,
                         Bitboard passed) {
    if (color == White)
        evaluatePassedPawnsOf<White>(ai, pos, mg, eg, passed);
    else
        evaluatePassedPawnsOf<Black>(ai, pos, mg, eg, passed);
}

void evaluateThreats(const AttackInfo& ai, const Position& pos, int color, int& mg, int& eg) {
    if (color == White)
        evaluateThreatsOf<White>(ai, pos, mg, eg);
    else
        evaluateThreatsOf<Black>(ai, pos, mg, eg);
}
