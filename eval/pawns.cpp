// Pawn structure: material, doubled, isolated, backward, connected and
// candidate pawns, levers, and the passed pawns. Depends only on the pawns,
// so the driver caches the result under the pawn key.
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

void evaluatePawns(const Position& pos, int color, int& mg, int& eg, Bitboard& passed) {
    const int them = color ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const Bitboard enemyPawns = pos.pieceBB[them][Pawn];
    const Bitboard allPawns = ownPawns | enemyPawns;

    for (Bitboard pawns = ownPawns; pawns;) {
        const Square s = popLsb(pawns);
        const int file = fileOf(s);
        const int r = relativeRank(color, s);

        mg += PawnValueMg;
        eg += PawnValueEg;

        const Bitboard doubled = ownPawns & ForwardFile[color][s];
        const Bitboard opposed = enemyPawns & ForwardFile[color][s];
        const Bitboard blockers = enemyPawns & PassedPawnMask[color][s];
        const Bitboard neighbours = ownPawns & AdjacentFilesMask[file];
        const Bitboard supporters = ownPawns & PawnSupportMask[color][s];
        const Bitboard lever = enemyPawns & PawnAttacks[color][s];
        const int isOpposed = opposed ? 1 : 0;

        // Nothing can stop it on its way but pieces; of two own pawns on one
        // file only the front one can run.
        if (!blockers && !doubled) passed |= squareBB(s);

        // Backward: it cannot be defended by a pawn from behind or beside, and
        // the square in front is (or will be) controlled by an enemy pawn. The
        // pawn that decides is the first one met in the attack span: White
        // searches from the a-side, Black from the h-side, nearest rank first.
        bool backward = false;
        if (blockers && neighbours && !supporters &&
            !(ownPawns & PawnAttackSpan[them][s]) && !lever) {
            const Bitboard span = allPawns & PawnAttackSpan[color][s];
            if (span) {
                const Square first = color == White ? lsb(span) : msb(span);
                const int firstRank = rankOf(first);
                Bitboard ranks = RelativeRankMask[White][firstRank];
                const int nextRank = firstRank + pawnPush(color);
                if (nextRank >= 0 && nextRank <= 7) ranks |= RelativeRankMask[White][nextRank];
                backward = (enemyPawns & PawnAttackSpan[color][s] & ranks) != 0;
            }
        }

        // Candidate passer: an unopposed pawn whose enemy guards on the
        // neighbouring files ahead are matched by own pawns that can back it.
        bool candidate = false;
        if (blockers && neighbours && !backward && !opposed) {
            const Bitboard backers = ownPawns & PawnAttackSpan[them][s + pawnPush(color)];
            const Bitboard sentries = enemyPawns & PawnAttackSpan[color][s];
            candidate = backers && popCount(backers) >= popCount(sentries);
        }

        if (!neighbours) {
            mg -= IsolatedPenaltyMg[isOpposed][file];
            eg -= IsolatedPenaltyEg[isOpposed];
        }

        if (doubled) {
            const Square front = color == White ? lsb(doubled) : msb(doubled);
            const int d = color == White ? rankOf(front) - rankOf(s) : rankOf(s) - rankOf(front);
            mg += -DoubledPenaltyMg / d;
            eg += -DoubledPenaltyEg / d;
        }

        if (backward) {
            mg -= BackwardPenaltyMg[isOpposed];
            eg -= BackwardPenaltyEg;
        }

        if (supporters) {
            mg += ConnectedFactorMg * (r - 1) * (r - 2);
            eg += ConnectedFactorEg * (r - 1) * (r - 2);
        } else if (moreThanOne(PawnAttacks[color][s] & ownPawns)) {
            mg -= WedgePenaltyMg;
            eg -= WedgePenaltyEg;
        }

        if (candidate) {
            mg += CandidateBonusMg[r];
            eg += CandidateBonusEg[r];
        }

        if (lever) {
            mg += LeverBonusMg[r];
            eg += LeverBonusEg[r];
        }
    }
}
