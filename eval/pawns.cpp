// Pawn structure: material, doubled, isolated, backward, connected and
// candidate pawns, levers, and the passed pawns. Depends only on the pawns,
// so the driver caches the result under the pawn key.
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

template <int Us>
ScorePair evaluatePawns(const Position& pos, Bitboard& passed) {
    constexpr int them = Us ^ 1;
    const Bitboard ownPawns = pos.pieceBB[Us][Pawn];
    const Bitboard enemyPawns = pos.pieceBB[them][Pawn];
    const Bitboard allPawns = ownPawns | enemyPawns;
    ScorePair score;

    for (Bitboard pawns = ownPawns; pawns;) {
        const Square s = popLsb(pawns);
        const int file = fileOf(s);
        const int r = relativeRank(Us, s);

        score += PawnValue;

        const Bitboard doubled = ownPawns & ForwardFile[Us][s];
        const Bitboard opposed = enemyPawns & ForwardFile[Us][s];
        const Bitboard blockers = enemyPawns & PassedPawnMask[Us][s];
        const Bitboard neighbours = ownPawns & AdjacentFilesMask[file];
        const Bitboard supporters = ownPawns & PawnSupportMask[Us][s];
        const Bitboard lever = enemyPawns & PawnAttacks[Us][s];
        const int isOpposed = opposed ? 1 : 0;

        // Nothing can stop it on its way but pieces; of two own pawns on one
        // file only the front one can run.
        if (!blockers && !doubled) passed |= squareBB(s);

        // Backward: it cannot be defended by a pawn from behind or beside, and
        // the square in front is (or will be) controlled by an enemy pawn. The
        // pawn that decides is the first one met in the attack span: White
        // searches from the a-side, Black from the h-side, nearest rank first.
        bool backward = false;
        if (blockers && neighbours && !supporters && !(ownPawns & PawnAttackSpan[them][s]) && !lever) {
            const Bitboard span = allPawns & PawnAttackSpan[Us][s];
            if (span) {
                const Square first = firstFromOwnSide(Us, span);
                const int firstRank = rankOf(first);
                Bitboard ranks = RelativeRankMask[White][firstRank];
                const int nextRank = firstRank + pawnPush(Us);
                if (nextRank >= 0 && nextRank <= 7) ranks |= RelativeRankMask[White][nextRank];
                backward = (enemyPawns & PawnAttackSpan[Us][s] & ranks) != 0;
            }
        }

        // Candidate passer: an unopposed pawn whose enemy guards on the
        // neighbouring files ahead are matched by own pawns that can back it.
        bool candidate = false;
        if (blockers && neighbours && !backward && !opposed) {
            const Bitboard backers = ownPawns & PawnAttackSpan[them][s + pawnPush(Us)];
            const Bitboard sentries = enemyPawns & PawnAttackSpan[Us][s];
            candidate = backers && popCount(backers) >= popCount(sentries);
        }

        if (!neighbours) score -= ScorePair{IsolatedPenaltyMg[isOpposed][file], IsolatedPenaltyEg[isOpposed]};

        if (doubled) {
            const Square front = firstFromOwnSide(Us, doubled);
            const int d = relativeRank(Us, front) - relativeRank(Us, s);
            score += -DoubledPenalty / d;
        }

        if (backward) score -= ScorePair{BackwardPenaltyMg[isOpposed], BackwardPenaltyEg};

        if (supporters)
            score += ConnectedFactor * ((r - 1) * (r - 2));
        else if (moreThanOne(PawnAttacks[Us][s] & ownPawns))
            score -= WedgePenalty;

        if (candidate) score += CandidateBonus[r];
        if (lever) score += LeverBonus[r];
    }
    return score;
}

template ScorePair evaluatePawns<White>(const Position&, Bitboard&);
template ScorePair evaluatePawns<Black>(const Position&, Bitboard&);
