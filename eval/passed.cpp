// Passed pawns: rank, king distances, a free and defended path.
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

template <int Us>
ScorePair evaluatePassedPawns(const AttackInfo& ai, const Position& pos, Bitboard passed) {
    constexpr int them = Us ^ 1;
    const Square ownKing = pos.kingSquare[Us];
    const Square enemyKing = pos.kingSquare[them];
    const Bitboard enemyHeavy = pos.pieceBB[them][Rook] | pos.pieceBB[them][Queen];
    const Bitboard ownHeavy = pos.pieceBB[Us][Rook] | pos.pieceBB[Us][Queen];
    ScorePair score;

    for (Bitboard pawns = passed; pawns;) {
        const Square s = popLsb(pawns);
        const int r = relativeRank(Us, s);
        // A pawn on its last rank (only in a malformed position) has no
        // square in front; it earns nothing.
        if (r == 7) continue;
        const Square front = s + pawnPush(Us);
        ScorePair bonus = PassedBonus[r];

        // Further up the board, who is nearer the square in front and how
        // freely the pawn can run weigh more and more.
        const int w = (r - 1) * (r - 2);
        if (w > 0) {
            bonus.eg += w * (PassedEnemyKingWeight * Distance[front][enemyKing] -
                             PassedOwnKingWeight * Distance[front][ownKing]);
            if (r != 6) bonus.eg -= w * Distance[front][ownKing];

            if (!((pos.occupied >> front) & 1)) {
                const Bitboard path = ForwardFile[Us][s];
                const Bitboard behind = ForwardFile[them][s];
                // A heavy piece behind the pawn on its file controls the whole
                // path through the pawn (the x-ray of a rook behind a passer).
                // The attack set is built only when a heavy piece stands behind.
                const Bitboard heavyBehind = (enemyHeavy | ownHeavy) & behind;
                const Bitboard rookLines = heavyBehind ? attacksFrom(Rook, s, pos.occupied) : 0;
                const Bitboard unsafe =
                    (enemyHeavy & behind & rookLines) ? path : path & (pos.colorBB[them] | ai.attackedBy[them]);
                const Bitboard defended = (ownHeavy & behind & rookLines) ? path : path & ai.attackedBy[Us];

                // The free path counts in the end game only; control of it in both.
                ScorePair free{0, !unsafe ? PassedPathSafe : !((unsafe >> front) & 1) ? PassedStepSafe : 0};
                if (defended == path)
                    free += PassedPathDefended;
                else if ((defended >> front) & 1)
                    free += PassedStepDefended;
                bonus += free * w;
            }
        }

        // Passers on neighbouring files support each other's advance.
        if (passed & AdjacentFilesMask[fileOf(s)]) bonus.eg += ConnectedPasserEg * (r - 1);

        score += bonus;
    }
    return score;
}

template ScorePair evaluatePassedPawns<White>(const AttackInfo&, const Position&, Bitboard);
template ScorePair evaluatePassedPawns<Black>(const AttackInfo&, const Position&, Bitboard);
