// Threats: attacks on enemy units that no enemy pawn defends, sized by the
// most valuable such unit, and the chase of a lone enemy queen.
#include "board/bitops.h"
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

template <int Us>
ScorePair evaluateThreats(const AttackInfo& ai, const Position& pos) {
    constexpr int them = Us ^ 1;
    const Bitboard weak = pos.colorBB[them] & ~ai.attackedByType[them][Pawn] & ai.attackedBy[Us];
    if (!weak) return {};
    ScorePair score;

    // The most valuable weak unit sets the size of the threat.
    const int victim = (weak & pos.pieceBB[them][Queen])    ? 4
                       : (weak & pos.pieceBB[them][Rook])   ? 3
                       : (weak & pos.pieceBB[them][Knight]) ? 1
                       : (weak & pos.pieceBB[them][Bishop]) ? 2
                                                            : 0;

    const Bitboard minorAttacks =
        ai.attackedByType[Us][Pawn] | ai.attackedByType[Us][Knight] | ai.attackedByType[Us][Bishop];
    if (weak & minorAttacks) score += MinorThreat[victim];
    if (weak & (ai.attackedByType[Us][Rook] | ai.attackedByType[Us][Queen])) score += MajorThreat[victim];

    // Undefended units are simply lost if nothing else happens.
    score += Hanging * popCount(weak & ~ai.attackedBy[them]);

    if (ai.attackedByType[Us][King] & weak & pos.pieceBB[them][Pawn]) score += KingThreat;

    // Squares from which our rooks and bishops attack a lone enemy queen
    // along its own lines, safely: the queen can be chased.
    const Bitboard enemyQueens = pos.pieceBB[them][Queen];
    if (enemyQueens && !moreThanOne(enemyQueens)) {
        const Square q = lsb(enemyQueens);
        const Bitboard chase = ((PseudoAttacks[Rook][q] & ai.attackedByType[Us][Rook]) |
                                (PseudoAttacks[Bishop][q] & ai.attackedByType[Us][Bishop])) &
                               ai.pieceAttacks[q] & ~ai.attackedByType[them][Pawn] & ai.attackedBy[Us];
        score += QueenChase * popCount(chase);
    }
    return score;
}

template ScorePair evaluateThreats<White>(const AttackInfo&, const Position&);
template ScorePair evaluateThreats<Black>(const AttackInfo&, const Position&);
