// Piece terms: mobility, pieces harassed by pawns, outposts, bishops and their
// pawns, rooks on files and ranks, trapped rooks, advanced queens, the
// piece-square sums, and the tally of attacks on the enemy king's zone.
#include <algorithm>

#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

namespace {

// Ranks 5..8 for White, 1..4 for Black: the enemy's half of the board.
constexpr Bitboard EnemyHalf[2] = {0xF0F0F0F0F0F0F0F0ULL, 0x0F0F0F0F0F0F0F0FULL};

Bitboard rankBB(int rank) { return RelativeRankMask[White][rank]; }

}  // namespace

Bitboard kingAttackZone(const Position& pos, int color) {
    const int them = color ^ 1;
    const Square enemyKing = pos.kingSquare[them];
    const int file = std::clamp(fileOf(enemyKing), 1, 6);
    const Bitboard files = FileMask[file - 1] | FileMask[file] | FileMask[file + 1];
    Bitboard zone = files & EnemyHalf[color];
    // Squares in front of the enemy's own shield pawns are screened by them.
    for (Bitboard shield = zone & pos.pieceBB[them][Pawn]; shield;)
        zone &= ~ForwardFile[them][popLsb(shield)];
    return zone;
}

void evaluatePieces(const Position& pos, const AttackInfo& ai, int color, int& mg, int& eg,
                    KingAttackTally& tally, int pawnRams) {
    const int them = color ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const Bitboard enemyPawns = pos.pieceBB[them][Pawn];
    const Bitboard enemyPawnAttacks = ai.attackedByType[them][Pawn];
    const Square ownKing = pos.kingSquare[color];
    const Square enemyKing = pos.kingSquare[them];
    const Bitboard enemyKingSteps = PseudoAttacks[King][enemyKing];
    const int totalPawns = std::min(pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn], 16);

    const Bitboard zone = kingAttackZone(pos, color);
    tally.kingAttackersCount += popCount(zone & ai.attackedByType[color][Pawn]);

    // Squares a piece can use: not covered by enemy pawns, not blocked by own
    // pawns; of those, the ones the enemy does not hold with a second attacker
    // unless we hold them twice as well.
    const Bitboard mobilityArea = ~enemyPawnAttacks & ~ownPawns;
    const Bitboard contested = ~ai.attackedTwice[them] | ai.attackedTwice[color];

    for (int type = Knight; type <= Queen; type++) {
        for (Bitboard pieces = pos.pieceBB[color][type]; pieces;) {
            const Square s = popLsb(pieces);
            const int r = relativeRank(color, s);
            Bitboard attacks = ai.pieceAttacks[s];
            // A pinned piece may only move along the line to its own king.
            if (ai.pinned & squareBB(s)) attacks &= RayThrough[s][ownKing];

            const Bitboard safe = attacks & mobilityArea & contested;
            const int n = std::min(popCount(safe), MobilityCap);
            mg += MobilityMg[type - Knight][n];
            eg += MobilityEg[type - Knight][n];

            if (attacks & zone) {
                tally.kingAttackersCount += 1;
                tally.kingAttackWeight += KingAttackWeight[type];
                tally.kingAdjacentAttacks += popCount(attacks & enemyKingSteps);
            }

            if (enemyPawnAttacks & squareBB(s)) {
                mg -= PawnHarassMg[type];
                eg -= PawnHarassEg[type];
            }

            if (type == Knight || type == Bishop) {
                // Outpost: no enemy pawn can ever drive the piece away.
                if (!(enemyPawns & PawnAttackSpan[color][s])) {
                    const Square relative = color == White ? s : 63 - s;
                    int bonus = OutpostBonus[type - Knight][relative];
                    if (bonus != 0 && (ai.attackedByType[color][Pawn] & squareBB(s)))
                        bonus += bonus / 2;
                    mg += bonus;
                    eg += bonus;
                }
                if (type == Bishop) {
                    // Own pawns on the bishop's colour block its diagonals,
                    // the more so when the centre is locked by rams.
                    const Bitboard sameColour =
                        (DarkSquares & squareBB(s)) ? DarkSquares : ~DarkSquares;
                    const int k = popCount(ownPawns & sameColour);
                    const int ramPenalty = BishopRamPenalty[std::min(pawnRams, 8)];
                    mg -= BishopPawnPenaltyMg * k + ramPenalty;
                    eg -= BishopPawnPenaltyEg * k + ramPenalty;
                }
                if (!(safe & EnemyHalf[color])) {
                    mg -= MinorPassiveMg;
                    eg -= MinorPassiveEg;
                }
                if (!(safe & ~ai.attackedBy[them]) && !(safe & ai.attackedTwice[color])) {
                    mg -= MinorCaughtMg;
                    eg -= MinorCaughtEg;
                }
            } else if (type == Rook) {
                // Rooks gain as pawns come off and files open.
                mg += RookPawnCount[totalPawns];
                const Bitboard file = FileMask[fileOf(s)];
                if (!(ownPawns & file)) {
                    mg += RookFileMg;
                    eg += RookFileEg;
                    if (!(enemyPawns & file)) {
                        mg += RookFileMg;
                        eg += RookFileEg;
                    }
                }
                if (r >= 4) {
                    const int p = popCount(enemyPawns & rankBB(rankOf(s)));
                    mg += RookOnPawnsMg * p;
                    eg += RookOnPawnsEg * p;
                    if (r == 6 && relativeRank(color, enemyKing) == 7) {
                        mg += RookSeventhMg;
                        eg += RookSeventhEg;
                    }
                }
                // A rook with little room, behind an own pawn, on the outer
                // side of a king that has not castled past it, is shut in.
                if (n <= TrappedRookMaxSquares && (ownPawns & file) &&
                    (rankOf(ownKing) == rankOf(s) || relativeRank(color, ownKing) == 0)) {
                    const int kingFile = fileOf(ownKing);
                    const int rookFile = fileOf(s);
                    if ((kingFile <= 3 && rookFile < kingFile) ||
                        (kingFile >= 4 && rookFile >= kingFile))
                        mg += TrappedRookPerSquare * n - TrappedRookBase;
                }
            } else {
                if (r >= 4) {
                    const int p = popCount(enemyPawns & rankBB(rankOf(s)));
                    mg += QueenOnPawnsMg * p;
                    eg += QueenOnPawnsEg * p;
                    if (r == 6 && relativeRank(color, enemyKing) == 7) {
                        mg += QueenSeventhMg;
                        eg += QueenSeventhEg;
                    }
                }
            }
        }
    }

    mg += pos.pstA[color];
    eg += pos.pstB[color];
}
