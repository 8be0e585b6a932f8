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
    // The zone spans four ranks of a file, so one to three steps forward reach
    // every zone square in front of a shield pawn, and with file-major squares
    // such short steps never leave the pawn's file.
    const Bitboard shield = zone & pos.pieceBB[them][Pawn];
    const Bitboard screened = them == White ? (shield << 1) | (shield << 2) | (shield << 3)
                                            : (shield >> 1) | (shield >> 2) | (shield >> 3);
    return zone & ~screened;
}

namespace {

// What every piece of one colour reads, gathered once per colour.
struct PieceContext {
    const Position& pos;
    const AttackInfo& ai;
    int them;
    Bitboard ownPawns;
    Bitboard enemyPawns;
    Bitboard enemyPawnAttacks;
    Bitboard ownPawnAttacks;
    Square ownKing;
    Square enemyKing;
    Bitboard enemyKingSteps;
    Bitboard zone;
    Bitboard mobilityArea;
    Bitboard contested;
    int rookPawnBonus;
    int bishopRamPenalty;
    int pawnsOnSquareColour[2];  // own pawns on light [0] and dark [1] squares
};

// The terms of every piece of one type; colour and type are fixed at compile
// time so that each piece kind of each side gets its own straight-line code.
template <int Color, int Type>
void evaluatePieceType(const PieceContext& ctx, int& mg, int& eg, KingAttackTally& tally) {
    constexpr int color = Color;
    for (Bitboard pieces = ctx.pos.pieceBB[color][Type]; pieces;) {
        const Square s = popLsb(pieces);
        const int r = relativeRank(color, s);
        Bitboard attacks = ctx.ai.pieceAttacks[s];
        // A pinned piece may only move along the line to its own king.
        if (ctx.ai.pinned & squareBB(s)) attacks &= RayThrough[s][ctx.ownKing];

        const Bitboard safe = attacks & ctx.mobilityArea & ctx.contested;
        const int n = std::min(popCount(safe), MobilityCap);
        mg += MobilityMg[Type - Knight][n];
        eg += MobilityEg[Type - Knight][n];

        if (attacks & ctx.zone) {
            tally.kingAttackersCount += 1;
            tally.kingAttackWeight += KingAttackWeight[Type];
            tally.kingAdjacentAttacks += popCount(attacks & ctx.enemyKingSteps);
        }

        if (ctx.enemyPawnAttacks & squareBB(s)) {
            mg -= PawnHarassMg[Type];
            eg -= PawnHarassEg[Type];
        }

        if constexpr (Type == Knight || Type == Bishop) {
            // Outpost: no enemy pawn can ever drive the piece away.
            if (!(ctx.enemyPawns & PawnAttackSpan[color][s])) {
                const Square relative = color == White ? s : 63 - s;
                int bonus = OutpostBonus[Type - Knight][relative];
                if (bonus != 0 && (ctx.ownPawnAttacks & squareBB(s))) bonus += bonus / 2;
                mg += bonus;
                eg += bonus;
            }
            if constexpr (Type == Bishop) {
                // Own pawns on the bishop's colour block its diagonals,
                // the more so when the centre is locked by rams.
                const int k = ctx.pawnsOnSquareColour[(DarkSquares & squareBB(s)) ? 1 : 0];
                mg -= BishopPawnPenaltyMg * k + ctx.bishopRamPenalty;
                eg -= BishopPawnPenaltyEg * k + ctx.bishopRamPenalty;
            }
            if (!(safe & EnemyHalf[color])) {
                mg -= MinorPassiveMg;
                eg -= MinorPassiveEg;
            }
            if (!(safe & ~ctx.ai.attackedBy[ctx.them]) && !(safe & ctx.ai.attackedTwice[color])) {
                mg -= MinorCaughtMg;
                eg -= MinorCaughtEg;
            }
        } else if constexpr (Type == Rook) {
            // Rooks gain as pawns come off and files open.
            mg += ctx.rookPawnBonus;
            const Bitboard file = FileMask[fileOf(s)];
            if (!(ctx.ownPawns & file)) {
                mg += RookFileMg;
                eg += RookFileEg;
                if (!(ctx.enemyPawns & file)) {
                    mg += RookFileMg;
                    eg += RookFileEg;
                }
            }
            if (r >= 4) {
                const int p = popCount(ctx.enemyPawns & rankBB(rankOf(s)));
                mg += RookOnPawnsMg * p;
                eg += RookOnPawnsEg * p;
                if (r == 6 && relativeRank(color, ctx.enemyKing) == 7) {
                    mg += RookSeventhMg;
                    eg += RookSeventhEg;
                }
            }
            // A rook with little room, behind an own pawn, on the outer
            // side of a king that has not castled past it, is shut in.
            const Square ownKing = ctx.ownKing;
            if (n <= TrappedRookMaxSquares && (ctx.ownPawns & file) &&
                (rankOf(ownKing) == rankOf(s) || relativeRank(color, ownKing) == 0)) {
                const int kingFile = fileOf(ownKing);
                const int rookFile = fileOf(s);
                if ((kingFile <= 3 && rookFile < kingFile) ||
                    (kingFile >= 4 && rookFile >= kingFile))
                    mg += TrappedRookPerSquare * n - TrappedRookBase;
            }
        } else {
            if (r >= 4) {
                const int p = popCount(ctx.enemyPawns & rankBB(rankOf(s)));
                mg += QueenOnPawnsMg * p;
                eg += QueenOnPawnsEg * p;
                if (r == 6 && relativeRank(color, ctx.enemyKing) == 7) {
                    mg += QueenSeventhMg;
                    eg += QueenSeventhEg;
                }
            }
        }
    }
}

template <int Color>
void evaluatePiecesOf(const Position& pos, const AttackInfo& ai, int& mg, int& eg,
                      KingAttackTally& tally, int pawnRams) {
    constexpr int color = Color, them = Color ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const Bitboard enemyPawnAttacks = ai.attackedByType[them][Pawn];
    const int totalPawns = std::min(pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn], 16);
    PieceContext ctx{pos,
                     ai,
                     them,
                     ownPawns,
                     pos.pieceBB[them][Pawn],
                     enemyPawnAttacks,
                     ai.attackedByType[color][Pawn],
                     pos.kingSquare[color],
                     pos.kingSquare[them],
                     PseudoAttacks[King][pos.kingSquare[them]],
                     kingAttackZone(pos, color),
                     // Squares a piece can use: not covered by enemy pawns, not
                     // blocked by own pawns; of those, the ones the enemy does not
                     // hold with a second attacker unless we hold them twice as well.
                     ~enemyPawnAttacks & ~ownPawns,
                     ~ai.attackedTwice[them] | ai.attackedTwice[color],
                     RookPawnCount[totalPawns],
                     BishopRamPenalty[std::min(pawnRams, 8)],
                     {0, 0}};
    // Own pawns per square colour, counted once for all bishops.
    if (pos.pieceBB[color][Bishop]) {
        const int dark = popCount(ownPawns & DarkSquares);
        ctx.pawnsOnSquareColour[1] = dark;
        ctx.pawnsOnSquareColour[0] = pos.pieceCount[color][Pawn] - dark;
    }

    // Sums kept in locals, which the compiler can hold in registers.
    int mgSum = pos.pstA[color];
    int egSum = pos.pstB[color];
    KingAttackTally sum = tally;
    sum.kingAttackersCount += popCount(ctx.zone & ctx.ownPawnAttacks);

    evaluatePieceType<Color, Knight>(ctx, mgSum, egSum, sum);
    evaluatePieceType<Color, Bishop>(ctx, mgSum, egSum, sum);
    evaluatePieceType<Color, Rook>(ctx, mgSum, egSum, sum);
    evaluatePieceType<Color, Queen>(ctx, mgSum, egSum, sum);

    mg += mgSum;
    eg += egSum;
    tally = sum;
}

}  // namespace

void evaluatePieces(const Position& pos, const AttackInfo& ai, int color, int& mg, int& eg,
                    KingAttackTally& tally, int pawnRams) {
    if (color == White)
        evaluatePiecesOf<White>(pos, ai, mg, eg, tally, pawnRams);
    else
        evaluatePiecesOf<Black>(pos, ai, mg, eg, tally, pawnRams);
}
