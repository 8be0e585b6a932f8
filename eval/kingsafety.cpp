// King safety in the middle game: the pawn shelter in front of the king (and
// of the squares it can still castle to), and the danger from enemy pieces
// aimed at its region, contact attacks and safe checks.
#include <algorithm>

#include "board/tables.h"
#include "eval/eval.h"
#include "eval/params.h"
#include "eval/terms.h"

int32_t KingDanger[KingDangerSize];

void initKingDanger() {
    int previous = 0;
    for (int i = 0; i < KingDangerSize; i++) {
        const int quadratic = int(double(i * i) * KingDangerSlope);
        // The first entry's step bound is measured from zero.
        const int stepBound = (i == 0 ? 0 : previous) + KingDangerStep;
        KingDanger[i] = std::min({quadratic, stepBound, KingDangerMax});
        previous = KingDanger[i];
    }
}

int kingShelter(const Position& pos, int color, Square kingSq) {
    const int them = color ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const Bitboard enemyPawns = pos.pieceBB[them][Pawn];
    const int kingRank = relativeRank(color, kingSq);
    // The king's rank and everything in front of it.
    const Bitboard region =
        RelativeRankMask[color][kingRank] | ForwardRanksMask[color][kingRank];
    const int centre = std::clamp(fileOf(kingSq), 1, 6);

    int score = ShelterBase;
    for (int file = centre - 1; file <= centre + 1; file++) {
        const Bitboard shield = ownPawns & region & FileMask[file];
        int r = 0;
        int defended = 0;
        if (shield) {
            // The pawn nearest the king (lowest rank from the own side).
            const Square s = color == White ? lsb(shield) : msb(shield);
            r = relativeRank(color, s);
            defended = (PawnAttacks[them][s] & ownPawns) ? 1 : 0;
        }
        const Bitboard storm = enemyPawns & region & FileMask[file];
        int t = 0;
        int supported = 0;
        if (storm) {
            const Square s = color == White ? lsb(storm) : msb(storm);
            t = relativeRank(them, s);
            supported = (PawnAttacks[color][s] & enemyPawns) ? 1 : 0;
        }
        score -= ShelterPenalty[defended][r] + StormPenalty[supported][t];
    }
    return score;
}

namespace {

// The shelter of the king where it stands, or of a castled king if it still
// may castle there, whichever is best; memoised in the position.
int shelterValue(Position& pos, int color) {
    const Square kingSq = pos.kingSquare[color];
    const uint64_t key =
        pos.pawnKey ^ ZobristCastle[pos.castleRights] ^ ZobristPiece[color][King][kingSq];
    if (pos.shelterKey[color] == key) return pos.shelterScore[color];

    const int kingside = color == White ? WhiteKingside : BlackKingside;
    const int queenside = color == White ? WhiteQueenside : BlackQueenside;
    const int backRank = color == White ? 0 : 7;
    int score = kingShelter(pos, color, kingSq);
    if (pos.castleRights & kingside)
        score = std::max(score, kingShelter(pos, color, makeSquare(6, backRank)));
    if (pos.castleRights & queenside)
        score = std::max(score, kingShelter(pos, color, makeSquare(2, backRank)));
    pos.shelterKey[color] = key;
    pos.shelterScore[color] = score;
    return score;
}

}  // namespace

void evaluateKingSafety(const AttackInfo& ai, Position& pos, int color, int& mg,
                        const KingAttackTally& enemyTally) {
    const int them = color ^ 1;
    const Square kingSq = pos.kingSquare[color];
    const int shelter = shelterValue(pos, color);
    mg += shelter;

    if (enemyTally.kingAttackersCount == 0) return;

    int danger = enemyTally.kingAttackWeight * enemyTally.kingAttackersCount / 3 +
                 AdjacentAttackWeight * enemyTally.kingAdjacentAttacks -
                 shelter / ShelterDangerDivisor;

    // Contact attacks: squares next to the king that only the king defends,
    // hit by a queen or rook that is itself backed up.
    const Bitboard steps = PseudoAttacks[King][kingSq];
    const Bitboard weak = steps & ~pos.colorBB[them] & ~ai.attackedTwice[color];
    const Bitboard lines = FileMask[fileOf(kingSq)] | RelativeRankMask[White][rankOf(kingSq)];
    danger += QueenContactWeight *
              popCount(weak & ai.attackedByType[them][Queen] & ai.attackedTwice[them]);
    danger += RookContactWeight *
              popCount(weak & ai.attackedByType[them][Rook] & lines & ai.attackedTwice[them]);

    // Safe checks: checking squares we do not cover that the enemy can reach.
    const Bitboard safe = ~ai.attackedBy[color] & ~pos.colorBB[them];
    const Bitboard rookChecks = attacksFrom(Rook, kingSq, pos.occupied) & safe;
    const Bitboard bishopChecks = attacksFrom(Bishop, kingSq, pos.occupied) & safe;
    const Bitboard knightChecks = PseudoAttacks[Knight][kingSq] & safe;
    danger += QueenCheckWeight *
                  popCount((rookChecks | bishopChecks) & ai.attackedByType[them][Queen]) +
              RookCheckWeight * popCount(rookChecks & ai.attackedByType[them][Rook]) +
              BishopCheckWeight * popCount(bishopChecks & ai.attackedByType[them][Bishop]) +
              KnightCheckWeight * popCount(knightChecks & ai.attackedByType[them][Knight]);

    danger = danger * KingSafeFactor[popCount(ai.kingSafeSquares[color])] / 256;
    danger = std::clamp(danger, 0, KingDangerSize - 1);
    mg -= KingDanger[danger];
}
