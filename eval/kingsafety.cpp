// King safety in the middle game: the pawn shelter in front of the king (and
// of the squares it can still castle to), and the danger from enemy pieces
// aimed at its region, contact attacks and safe checks.
#include <algorithm>

#include "board/tables.h"
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

namespace {

// The pawn shelter, with the colour fixed at compile time.
template <int Us>
int kingShelterOf(const Position& pos, Square kingSq) {
    constexpr int color = Us, them = Us ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const Bitboard enemyPawns = pos.pieceBB[them][Pawn];
    const int kingRank = relativeRank(color, kingSq);
    // The king's rank and everything in front of it.
    const Bitboard region = RelativeRankMask[color][kingRank] | ForwardRanksMask[color][kingRank];
    const int centre = std::clamp(fileOf(kingSq), 1, 6);

    int score = ShelterBase;
    for (int file = centre - 1; file <= centre + 1; file++) {
        const Bitboard shield = ownPawns & region & FileMask[file];
        int r = 0;
        int defended = 0;
        if (shield) {
            // The pawn nearest the king (lowest rank from the own side).
            const Square s = firstFromOwnSide(color, shield);
            r = relativeRank(color, s);
            defended = (PawnAttacks[them][s] & ownPawns) ? 1 : 0;
        }
        const Bitboard storm = enemyPawns & region & FileMask[file];
        int t = 0;
        int supported = 0;
        if (storm) {
            const Square s = firstFromOwnSide(color, storm);
            t = relativeRank(them, s);
            supported = (PawnAttacks[color][s] & enemyPawns) ? 1 : 0;
        }
        score -= ShelterPenalty[defended][r] + StormPenalty[supported][t];
    }
    return score;
}

// One memo per thread: each search thread evaluates its own positions. The
// search returns to the same pawns, rights and king squares again and again,
// in both colours; 4,096 slots (48 KiB) catch nearly nine repeats in ten,
// where 1,024 caught about five in six.
thread_local ShelterMemo Memo;

// The shelter of the king where it stands, or of a castled king if it still
// may castle there, whichever is best; memoised under a key of the pawns, the
// castling rights and the king's square, all that the shelter depends on.
template <int Us>
int shelterValue(const Position& pos) {
    constexpr int color = Us;
    const Square kingSq = pos.kingSquare[color];
    const uint64_t key = shelterMemoKey(pos, color);
    ShelterMemo& memo = Memo;
    const int slot = ShelterMemo::slot(key);
    if (memo.key[slot] == key) return memo.score[slot];

    constexpr int kingside = color == White ? WhiteKingside : BlackKingside;
    constexpr int queenside = color == White ? WhiteQueenside : BlackQueenside;
    constexpr int backRank = color == White ? 0 : 7;
    int score = kingShelterOf<Us>(pos, kingSq);
    if (pos.castleRights & kingside) score = std::max(score, kingShelterOf<Us>(pos, makeSquare(6, backRank)));
    if (pos.castleRights & queenside) score = std::max(score, kingShelterOf<Us>(pos, makeSquare(2, backRank)));
    memo.key[slot] = key;
    memo.score[slot] = score;
    return score;
}

}  // namespace

ShelterMemo& shelterMemo() { return Memo; }

int kingShelter(const Position& pos, int color, Square kingSq) {
    return withColour(color, [&](auto us) { return kingShelterOf<us>(pos, kingSq); });
}

template <int Us>
int evaluateKingSafety(const AttackInfo& ai, const Position& pos, const KingAttackTally& enemyTally) {
    constexpr int them = Us ^ 1;
    const Square kingSq = pos.kingSquare[Us];
    const int shelter = shelterValue<Us>(pos);

    if (enemyTally.kingAttackersCount == 0) return shelter;

    int danger = enemyTally.kingAttackWeight * enemyTally.kingAttackersCount / 3 +
                 AdjacentAttackWeight * enemyTally.kingAdjacentAttacks - shelter / ShelterDangerDivisor;

    // Contact attacks: squares next to the king that only the king defends,
    // hit by a queen or rook that is itself backed up (a rook only on the
    // king's file and rank: the steps that a rook on the king's square would
    // reach as well).
    const Bitboard steps = PseudoAttacks[King][kingSq];
    const Bitboard rookLines = PseudoAttacks[Rook][kingSq];
    const Bitboard weak = steps & ~pos.colorBB[them] & ~ai.attackedTwice[Us];
    danger += QueenContactWeight * popCount(weak & ai.attackedByType[them][Queen] & ai.attackedTwice[them]);
    danger += RookContactWeight * popCount(weak & ai.attackedByType[them][Rook] & rookLines & ai.attackedTwice[them]);

    // Safe checks: checking squares we do not cover that the enemy can reach.
    // A line's attack set is built only when some safe square on its
    // unobstructed pattern is reached by an enemy piece that checks along it;
    // otherwise every count below that reads it is zero anyway.
    const Bitboard safe = ~ai.attackedBy[Us] & ~pos.colorBB[them];
    const Bitboard queenReach = ai.attackedByType[them][Queen];
    const Bitboard rookChecks = (rookLines & safe & (queenReach | ai.attackedByType[them][Rook]))
                                    ? attacksFrom(Rook, kingSq, pos.occupied) & safe
                                    : 0;
    const Bitboard bishopChecks =
        (PseudoAttacks[Bishop][kingSq] & safe & (queenReach | ai.attackedByType[them][Bishop]))
            ? attacksFrom(Bishop, kingSq, pos.occupied) & safe
            : 0;
    const Bitboard knightChecks = PseudoAttacks[Knight][kingSq] & safe;
    danger += QueenCheckWeight * popCount((rookChecks | bishopChecks) & queenReach) +
              RookCheckWeight * popCount(rookChecks & ai.attackedByType[them][Rook]) +
              BishopCheckWeight * popCount(bishopChecks & ai.attackedByType[them][Bishop]) +
              KnightCheckWeight * popCount(knightChecks & ai.attackedByType[them][Knight]);

    danger = danger * KingSafeFactor[popCount(ai.kingSafeSquares[Us])] / 256;
    danger = std::clamp(danger, 0, KingDangerSize - 1);
    return shelter - KingDanger[danger];
}

template int evaluateKingSafety<White>(const AttackInfo&, const Position&, const KingAttackTally&);
template int evaluateKingSafety<Black>(const AttackInfo&, const Position&, const KingAttackTally&);
