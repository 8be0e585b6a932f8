// Piece terms: mobility, pieces harassed by pawns, outposts, bishops and their
// pawns, rooks on files and ranks, trapped rooks, advanced queens, and the
// tally of attacks on the enemy king's zone.
#include <algorithm>
#include <array>
#include <cassert>

#include "board/masks.h"
#include "board/tables.h"
#include "eval/params.h"
#include "eval/terms.h"

namespace {

// Ranks 5..8 for White, 1..4 for Black: the enemy's half of the board.
constexpr Bitboard EnemyHalf[2] = {rankSpan(4, 7), rankSpan(0, 3)};

Bitboard rankBB(int rank) { return RelativeRankMask[White][rank]; }

// The unscreened zone by attacking colour and enemy king square: the king's
// file and its neighbours (the b..g files for a king on the edge), in the
// attacker's enemy half of the board.
constexpr auto KingZoneFrame = [] {
    std::array<std::array<Bitboard, 64>, 2> frame{};
    for (int color = White; color <= Black; color++)
        for (Square k = 0; k < 64; k++) {
            const int file = std::clamp(k / 8, 1, 6);
            frame[color][k] = fileSpan(file - 1, file + 1) & EnemyHalf[color];
        }
    return frame;
}();

// By colour and own king square, the squares where a rook is on the outer
// side of a king that has not castled past it: the king's own rank, or any
// rank while the king is on its back rank, on the files beyond the king
// (towards the a-file from a king on the a..d files, else from the king's
// own file towards the h-file).
constexpr auto RookShutInZone = [] {
    std::array<std::array<Bitboard, 64>, 2> zone{};
    for (int color = White; color <= Black; color++)
        for (Square k = 0; k < 64; k++) {
            const int kingFile = k >> 3, kingRank = k & 7;
            const bool backRank = kingRank == (color == White ? 0 : 7);
            for (Square s = 0; s < 64; s++) {
                const int file = s >> 3, rank = s & 7;
                const bool outer = kingFile <= 3 ? file < kingFile : file >= kingFile;
                if ((rank == kingRank || backRank) && outer) zone[color][k] |= Bitboard(1) << s;
            }
        }
    return zone;
}();

}  // namespace

Bitboard kingAttackZone(const Position& pos, int color) {
    const int them = color ^ 1;
    const Bitboard zone = KingZoneFrame[color][pos.kingSquare[them]];
    // Squares in front of the enemy's own shield pawns are screened by them.
    // The zone spans four ranks of a file, so one to three steps forward reach
    // every zone square in front of a shield pawn, and with file-major squares
    // such short steps never leave the pawn's file.
    const Bitboard shield = zone & pos.pieceBB[them][Pawn];
    const Bitboard screened =
        them == White ? (shield << 1) | (shield << 2) | (shield << 3) : (shield >> 1) | (shield >> 2) | (shield >> 3);
    return zone & ~screened;
}

namespace {

// What every piece of one colour reads, gathered once per colour.
struct PieceContext {
    const Position& pos;
    const AttackInfo& ai;
    Bitboard ownPawns;
    Bitboard enemyPawns;
    Bitboard enemyPawnAttacks;
    Bitboard ownPawnAttacks;
    Square ownKing;
    Square enemyKing;
    Bitboard enemyKingSteps;
    Bitboard zone;
    // Squares a piece can use: not covered by enemy pawns, not blocked by own
    // pawns, and not held by a second enemy attacker unless we hold them twice
    // as well.
    Bitboard mobilityArea;
    int rookPawnBonus;
    int bishopRamPenalty;
    int pawnsOnSquareColour[2];  // own pawns on light [0] and dark [1] squares
};

// Knights and bishops: outposts, passive and nearly caught pieces, and for
// bishops the own pawns on the bishop's colour, added to `score`.
template <int Us, int Type>
[[gnu::always_inline]] inline void minorTerms(const PieceContext& ctx, Square s, Bitboard safe, ScorePair& score) {
    constexpr int them = Us ^ 1;
    // Outpost: no enemy pawn can ever drive the piece away.
    if (!(ctx.enemyPawns & PawnAttackSpan[Us][s])) {
        int bonus = OutpostBonus[Type - Knight][relativeSquare(Us, s)];
        if (bonus != 0 && ((ctx.ownPawnAttacks >> s) & 1)) bonus += bonus / 2;
        score += bothPhases(bonus);
    }
    if constexpr (Type == Bishop) {
        // Own pawns on the bishop's colour block its diagonals, the more so
        // when the centre is locked by rams.
        const int k = ctx.pawnsOnSquareColour[(DarkSquareMask >> s) & 1];
        score -= BishopPawnPenalty * k + bothPhases(ctx.bishopRamPenalty);
    }
    if (!(safe & EnemyHalf[Us])) score -= MinorPassive;
    if (!(safe & ~ctx.ai.attackedBy[them]) && !(safe & ctx.ai.attackedTwice[Us])) score -= MinorCaught;
}

// Rooks: pawns coming off, open files, the enemy's pawns and king on its rank,
// and a rook shut in by its own king, added to `score`.
template <int Us>
[[gnu::always_inline]] inline void rookTerms(const PieceContext& ctx, Square s, int safeSquares, ScorePair& score) {
    // The count is not capped; only counts below the mobility cap matter here.
    static_assert(TrappedRookMaxSquares < MobilityCap);
    score.mg += ctx.rookPawnBonus;
    const Bitboard file = FileMask[fileOf(s)];
    if (!(ctx.ownPawns & file)) {
        score += RookFile;
        if (!(ctx.enemyPawns & file)) score += RookFile;
    }
    if (relativeRank(Us, s) >= 4) {
        score += RookOnPawns * popCount(ctx.enemyPawns & rankBB(rankOf(s)));
        if (relativeRank(Us, s) == 6 && relativeRank(Us, ctx.enemyKing) == 7) score += RookSeventh;
    }
    // A rook with little room, behind an own pawn, on the outer side of a
    // king that has not castled past it, is shut in.
    if (safeSquares <= TrappedRookMaxSquares && (ctx.ownPawns & file) && ((RookShutInZone[Us][ctx.ownKing] >> s) & 1))
        score.mg += TrappedRookPerSquare * safeSquares - TrappedRookBase;
}

// Queens: the enemy's pawns and king on its rank in the enemy's half, added
// to `score`.
template <int Us>
[[gnu::always_inline]] inline void queenTerms(const PieceContext& ctx, Square s, ScorePair& score) {
    if (relativeRank(Us, s) >= 4) {
        score += QueenOnPawns * popCount(ctx.enemyPawns & rankBB(rankOf(s)));
        if (relativeRank(Us, s) == 6 && relativeRank(Us, ctx.enemyKing) == 7) score += QueenSeventh;
    }
}

// The mobility table indexed by the plain count of safe squares, up to the 27
// a queen can reach: counts above the cap read the capped value, so the piece
// loop needs no clamp.
constexpr int MaxMobility = 27;
constexpr auto MobilityByCount = [] {
    std::array<std::array<ScorePair, MaxMobility + 1>, 4> table{};
    for (int type = 0; type < 4; type++)
        for (int n = 0; n <= MaxMobility; n++) table[type][n] = Mobility[type][std::min(n, MobilityCap)];
    return table;
}();

// The rooks' bonus by the pawns on the board and the bishops' penalty by the
// rams, padded for every count a position can hold: a side has at most
// sixteen men, one of them its king, so there are at most 30 pawns and 15
// rams (each ram is a White pawn). Counts past the charts' ends read their
// last entries, so the lookups need no clamp.
constexpr int MaxPawnsOnBoard = 30;
constexpr int MaxPawnRams = 15;
constexpr auto RookPawnByCount = [] {
    std::array<int, MaxPawnsOnBoard + 1> table{};
    for (int n = 0; n <= MaxPawnsOnBoard; n++) table[n] = RookPawnCount[std::min(n, 16)];
    return table;
}();
constexpr auto BishopRamByCount = [] {
    std::array<int, MaxPawnRams + 1> table{};
    for (int n = 0; n <= MaxPawnRams; n++) table[n] = BishopRamPenalty[std::min(n, 8)];
    return table;
}();

// One piece: mobility, the king-zone tally and pawn harassment, then the terms
// of its kind. `attacks` is already cut to the pin line of a pinned piece.
// Written out in both loops of evaluatePieceType, not called.
template <int Us, int Type>
[[gnu::always_inline]] inline void evaluatePiece(const PieceContext& ctx, Square s, Bitboard attacks, ScorePair& score,
                                                 KingAttackTally& tally) {
    const Bitboard safe = attacks & ctx.mobilityArea;
    const int n = popCount(safe);
    score += MobilityByCount[Type - Knight][n];

    if (attacks & ctx.zone) {
        tally.kingAttackersCount += 1;
        tally.kingAttackWeight += KingAttackWeight[Type];
        tally.kingAdjacentAttacks += popCount(attacks & ctx.enemyKingSteps);
    }

    if ((ctx.enemyPawnAttacks >> s) & 1) score -= PawnHarass[Type];

    if constexpr (Type == Knight || Type == Bishop)
        minorTerms<Us, Type>(ctx, s, safe, score);
    else if constexpr (Type == Rook)
        rookTerms<Us>(ctx, s, n, score);
    else
        queenTerms<Us>(ctx, s, score);
}

// Every piece of one type. Colour and type are fixed at compile time so that
// each piece kind of each side gets its own straight-line code. Pinned pieces
// are rare: without any (AnyPinned false) the loop carries no pin test, and
// with some they go through a second loop of their own.
template <int Us, int Type, bool AnyPinned>
void evaluatePieceType(const PieceContext& ctx, ScorePair& score, KingAttackTally& tally) {
    const Bitboard all = ctx.pos.pieceBB[Us][Type];
    const Bitboard pinned = AnyPinned ? all & ctx.ai.pinned : 0;
    for (Bitboard pieces = all & ~pinned; pieces; pieces &= pieces - 1) {
        const uint64_t s = lsbIndex(pieces);
        evaluatePiece<Us, Type>(ctx, Square(s), ctx.ai.pieceAttacks[s], score, tally);
    }
    if constexpr (AnyPinned) {
        for (Bitboard pieces = pinned; pieces;) {
            const Square s = popLsb(pieces);
            evaluatePiece<Us, Type>(ctx, s, ctx.ai.pieceAttacks[s] & RayThrough[s][ctx.ownKing], score, tally);
        }
    }
}

template <int Us, bool AnyPinned>
void evaluatePieceTypes(const PieceContext& ctx, ScorePair& score, KingAttackTally& tally) {
    evaluatePieceType<Us, Knight, AnyPinned>(ctx, score, tally);
    evaluatePieceType<Us, Bishop, AnyPinned>(ctx, score, tally);
    evaluatePieceType<Us, Rook, AnyPinned>(ctx, score, tally);
    evaluatePieceType<Us, Queen, AnyPinned>(ctx, score, tally);
}

}  // namespace

template <int Us>
ScorePair evaluatePieces(const Position& pos, const AttackInfo& ai, KingAttackTally& tally, int pawnRams) {
    constexpr int them = Us ^ 1;
    const Bitboard ownPawns = pos.pieceBB[Us][Pawn];
    const Bitboard enemyPawnAttacks = ai.attackedByType[them][Pawn];
    const int totalPawns = pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn];
    assert(totalPawns <= MaxPawnsOnBoard && pawnRams <= MaxPawnRams);
    PieceContext ctx{
        .pos = pos,
        .ai = ai,
        .ownPawns = ownPawns,
        .enemyPawns = pos.pieceBB[them][Pawn],
        .enemyPawnAttacks = enemyPawnAttacks,
        .ownPawnAttacks = ai.attackedByType[Us][Pawn],
        .ownKing = pos.kingSquare[Us],
        .enemyKing = pos.kingSquare[them],
        .enemyKingSteps = PseudoAttacks[King][pos.kingSquare[them]],
        .zone = kingAttackZone(pos, Us),
        .mobilityArea = ~enemyPawnAttacks & ~ownPawns & (~ai.attackedTwice[them] | ai.attackedTwice[Us]),
        .rookPawnBonus = RookPawnByCount[totalPawns],
        .bishopRamPenalty = BishopRamByCount[pawnRams],
        .pawnsOnSquareColour = {0, 0},
    };
    // Own pawns per square colour, counted once for all bishops.
    if (pos.pieceBB[Us][Bishop]) {
        const int dark = popCount(ownPawns & DarkSquareMask);
        ctx.pawnsOnSquareColour[1] = dark;
        ctx.pawnsOnSquareColour[0] = pos.pieceCount[Us][Pawn] - dark;
    }

    // Sums kept in locals, which the compiler can hold in registers; the
    // tally starts afresh rather than from what the caller's record held.
    ScorePair score;
    KingAttackTally sum;
    sum.kingAttackersCount += popCount(ctx.zone & ctx.ownPawnAttacks);

    if (ai.pinned & pos.colorBB[Us]) [[unlikely]]
        evaluatePieceTypes<Us, true>(ctx, score, sum);
    else
        evaluatePieceTypes<Us, false>(ctx, score, sum);

    tally = sum;
    return score;
}

template ScorePair evaluatePieces<White>(const Position&, const AttackInfo&, KingAttackTally&, int);
template ScorePair evaluatePieces<Black>(const Position&, const AttackInfo&, KingAttackTally&, int);
