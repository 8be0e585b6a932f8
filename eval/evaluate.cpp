// The evaluation driver: cache probe, phase, special endgames, the attack
// record, every term in a fixed order, the whole-board terms (imbalance,
// bishop pair, space, tempo and material), pure pawn endings, the endgame
// scale and pull toward zero, the blend of the two phases and the cache store.
//
// One templated driver serves both the search and the "trace" command: when
// tracing, it skips the cache lookups and records what each term added; in the
// search instantiation the recording compiles away.
#include <algorithm>
#include <cstdio>
#include <string>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/params.h"
#include "eval/terms.h"

namespace {

constexpr Bitboard Rank1 = 0x0101010101010101ULL;
constexpr Bitboard Rank8 = Rank1 << 7;

struct Accumulators {
    int mg[2];
    int eg[2];
};

enum TraceTerm {
    TermMaterial,
    TermImbalance,
    TermBishopPair,
    TermPawns,
    TermPassedPawns,
    TermPieces,
    TermPieceSquare,
    TermKingSafety,
    TermThreats,
    TermSpace,
    TermPawnEnding,
    TermBlockade,
    TermUnstoppable,
    TermCount
};

constexpr const char* TraceTermNames[TermCount] = {
    "Material and tempo", "Imbalance",   "Bishop pair", "Pawns",
    "Passed pawns",       "Pieces",      "Piece-square", "King safety",
    "Threats",            "Space",       "Pawn ending",  "Blockade",
    "Unstoppable passers",
};

// What the trace collects on its way through the driver.
struct EvalTrace {
    int mg[TermCount][2] = {};
    int eg[TermCount][2] = {};
    int nonPawnTotal = 0;
    int phase = 0;
    bool specialDecided = false;
    int scaleSlot = ScaleFactorNormal;  // after the special-endgame recogniser
    int scale = ScaleFactorNormal;      // the factor actually applied
    bool blockade = false;
    int mgDiff = 0;
    int egDiff = 0;
    int egScaled = 0;
    int drawPull = 0;
    int egFinal = 0;
    int blended = 0;  // White's view
};

void recordTerm(EvalTrace* trace, TraceTerm term, const Accumulators& before,
                const Accumulators& after) {
    for (int c = White; c <= Black; c++) {
        trace->mg[term][c] += after.mg[c] - before.mg[c];
        trace->eg[term][c] += after.eg[c] - before.eg[c];
    }
}

void storeEval(uint64_t key, Score v) {
    const CacheTable& cache = EvalHashTable;
    if (!cache.words) return;
    const uint64_t index = uint32_t(key) & cache.mask;
    cacheStore(cache, index, 0, key);
    cacheStore(cache, index, 1, uint64_t(uint16_t(int16_t(v))));
}

Bitboard pawnAttacksOf(int color, Bitboard pawns) {
    // With file-major squares, +9 / −7 are White's two capture diagonals and
    // +7 / −9 Black's; pawns on the far rank (never legal) would wrap a file.
    if (color == White) {
        pawns &= ~Rank8;
        return (pawns << 9) | (pawns >> 7);
    }
    pawns &= ~Rank1;
    return (pawns << 7) | (pawns >> 9);
}

// Pawn structure through the pawn cache: on a hit the stored White-minus-Black
// scores go to White's accumulators; on a miss both colours are evaluated and
// the entry is written. The trace always computes afresh.
template <bool Tracing>
void probePawns(const Position& pos, Accumulators& acc, Bitboard passed[2]) {
    const CacheTable& cache = PawnHashTable;
    const uint64_t index = uint32_t(pos.pawnKey) & cache.mask;
    const uint32_t keyHigh = uint32_t(pos.pawnKey >> 32);
    if (!Tracing && cache.words) {
        const uint64_t packed = cacheLoad(cache, index, 1);
        if (uint32_t(packed) == keyHigh) {
            acc.mg[White] += int16_t(uint16_t(packed >> 32));
            acc.eg[White] += int16_t(uint16_t(packed >> 48));
            // Kept to the pawns of each side, so a torn or colliding entry can
            // only misjudge pawns, never name a square without one.
            const Bitboard all = cacheLoad(cache, index, 0);
            passed[White] = all & pos.pieceBB[White][Pawn];
            passed[Black] = all & pos.pieceBB[Black][Pawn];
            return;
        }
    }
    evaluatePawns(pos, White, acc.mg[White], acc.eg[White], passed[White]);
    evaluatePawns(pos, Black, acc.mg[Black], acc.eg[Black], passed[Black]);
    if (!cache.words) return;
    const uint16_t mgPawns = uint16_t(int16_t(acc.mg[White] - acc.mg[Black]));
    const uint16_t egPawns = uint16_t(int16_t(acc.eg[White] - acc.eg[Black]));
    cacheStore(cache, index, 1,
               uint64_t(keyHigh) | (uint64_t(mgPawns) << 32) | (uint64_t(egPawns) << 48));
    cacheStore(cache, index, 0, passed[White] | passed[Black]);
}

// Piece-count imbalance: the side with more pieces gains in proportion to the
// pawns its opponent still has.
void evaluateImbalance(const Position& pos, Accumulators& acc) {
    int pieces[2];
    for (int c = White; c <= Black; c++)
        pieces[c] = pos.pieceCount[c][Knight] + pos.pieceCount[c][Bishop] +
                    pos.pieceCount[c][Rook] + pos.pieceCount[c][Queen];
    const int d = pieces[White] - pieces[Black];
    if (d > 0) {
        acc.mg[White] += d * pos.pieceCount[Black][Pawn] * ImbalanceMg;
        acc.eg[White] += d * pos.pieceCount[Black][Pawn] * ImbalanceEg;
    } else {
        acc.mg[Black] += -d * pos.pieceCount[White][Pawn] * ImbalanceMg;
        acc.eg[Black] += -d * pos.pieceCount[White][Pawn] * ImbalanceEg;
    }
}

// In a pawn ending the extra pawn is worth more, a locked chain that the
// stronger king cannot get through is a draw, and a passer the enemy king
// cannot catch (or that its own king escorts) is nearly a queen.
void evaluatePawnEnding(const AttackInfo& ai, const Position& pos, Accumulators& acc,
                        const Bitboard passed[2], EvalTrace* trace) {
    Accumulators before = acc;
    acc.eg[White] += (pos.pieceCount[White][Pawn] - pos.pieceCount[Black][Pawn]) *
                     PawnEndingPawnValue;
    if (trace) recordTerm(trace, TermPawnEnding, before, acc);

    const int lead = acc.eg[White] - acc.eg[Black];
    if (lead != 0) {
        const int strong = lead > 0 ? White : Black;
        if (isBlockedPawnEnding(pos.pieceBB[White][Pawn], pos.pieceBB[Black][Pawn], ai, strong,
                                pos)) {
            before = acc;
            acc.eg[White] = 0;
            acc.eg[Black] = 0;
            if (trace) {
                recordTerm(trace, TermBlockade, before, acc);
                trace->blockade = true;
            }
        }
    }

    before = acc;
    for (int c = White; c <= Black; c++) {
        const int them = c ^ 1;
        const Square escort = pos.kingSquare[c];
        const Square defender = pos.kingSquare[them];
        for (Bitboard pawns = passed[c]; pawns;) {
            const Square s = popLsb(pawns);
            const Square queening = makeSquare(fileOf(s), c == White ? 7 : 0);
            if (Distance[queening][defender] - Distance[queening][s] >= 2 ||
                (PseudoAttacks[King][escort] & ForwardFile[c][s]))
                acc.eg[c] += UnstoppablePasserPerRank * relativeRank(c, s);
        }
    }
    if (trace) recordTerm(trace, TermUnstoppable, before, acc);
}

template <bool Tracing>
Score evaluatePosition(Position& pos, EvalTrace* trace) {
    // 1. Cache probe (the trace always computes afresh).
    const uint64_t key = ttIndexKey(pos);
    if constexpr (!Tracing) {
        const CacheTable& cache = EvalHashTable;
        if (cache.words) {
            const uint64_t index = uint32_t(key) & cache.mask;
            if (cacheLoad(cache, index, 0) == key)
                return Score(int16_t(uint16_t(cacheLoad(cache, index, 1))));
        }
    }

    // 2. Phase: 256 with most pieces on, falling to 0 as they come off.
    const int nonPawnTotal = pos.nonPawnMaterial[White] + pos.nonPawnMaterial[Black];
    const int phase = gamePhase(pos);
    if constexpr (Tracing) {
        trace->nonPawnTotal = nonPawnTotal;
        trace->phase = phase;
    }

    // 3. Special endgames, tried before any attack set is built.
    int scaleFactor = ScaleFactorNormal;
    if (nonPawnTotal <= SpecialEndgameMaterial) {
        const Score verdict = evaluateSpecialEndgame(pos, scaleFactor);
        if (verdict != ScoreNone) {
            if constexpr (Tracing) trace->specialDecided = true;
            storeEval(key, verdict);
            return verdict;
        }
    }
    if constexpr (Tracing) trace->scaleSlot = scaleFactor;

    // 4. The attack record every term reads.
    AttackInfo ai;
    buildAttackInfo(pos, ai);

    Accumulators acc = {{0, 0}, {0, 0}};
    Accumulators before = acc;

    // 5. Pawn structure through the pawn cache.
    Bitboard passed[2] = {0, 0};
    probePawns<Tracing>(pos, acc, passed);
    if constexpr (Tracing) recordTerm(trace, TermPawns, before, acc);

    // 6. Passed pawns.
    before = acc;
    // (Without passers the term adds nothing, so the call is skipped.)
    for (int c = White; c <= Black; c++)
        if (passed[c]) evaluatePassedPawns(ai, pos, c, acc.mg[c], acc.eg[c], passed[c]);
    if constexpr (Tracing) recordTerm(trace, TermPassedPawns, before, acc);

    // 7. Rams, which hem in the bishops.
    const int pawnRams = countPawnRams(pos);

    // 8. Pieces, gathering the tallies of attacks on the enemy king.
    KingAttackTally tally[2] = {{0, 0, 0}, {0, 0, 0}};
    before = acc;
    evaluatePieces(pos, ai, White, acc.mg[White], acc.eg[White], tally[White], pawnRams);
    evaluatePieces(pos, ai, Black, acc.mg[Black], acc.eg[Black], tally[Black], pawnRams);
    if constexpr (Tracing) {
        recordTerm(trace, TermPieces, before, acc);
        for (int c = White; c <= Black; c++) {
            trace->mg[TermPieces][c] -= pos.pstA[c];
            trace->eg[TermPieces][c] -= pos.pstB[c];
            trace->mg[TermPieceSquare][c] = pos.pstA[c];
            trace->eg[TermPieceSquare][c] = pos.pstB[c];
        }
    }

    // 9. Piece-count imbalance.
    before = acc;
    evaluateImbalance(pos, acc);
    if constexpr (Tracing) recordTerm(trace, TermImbalance, before, acc);

    // 10. Bishop pair: two bishops cover both colours of squares.
    before = acc;
    for (int c = White; c <= Black; c++) {
        if (pos.pieceCount[c][Bishop] > 1) {
            acc.mg[c] += BishopPairMg;
            acc.eg[c] += BishopPairEg;
        }
    }
    if constexpr (Tracing) recordTerm(trace, TermBishopPair, before, acc);

    // 11. King safety, a middle-game matter only.
    if (phase > 0) {
        before = acc;
        evaluateKingSafety(ai, pos, White, acc.mg[White], tally[Black]);
        evaluateKingSafety(ai, pos, Black, acc.mg[Black], tally[White]);
        if constexpr (Tracing) recordTerm(trace, TermKingSafety, before, acc);
    }

    // 12. Threats.
    before = acc;
    evaluateThreats(ai, pos, White, acc.mg[White], acc.eg[White]);
    evaluateThreats(ai, pos, Black, acc.mg[Black], acc.eg[Black]);
    if constexpr (Tracing) recordTerm(trace, TermThreats, before, acc);

    // 13. Space, only with all the pieces that need it still on.
    if (phase == PhaseMax) {
        before = acc;
        evaluateSpace(ai, pos, White, acc.mg[White]);
        evaluateSpace(ai, pos, Black, acc.mg[Black]);
        if constexpr (Tracing) recordTerm(trace, TermSpace, before, acc);
    }

    // 14. Tempo and material.
    before = acc;
    const int material = pos.nonPawnMaterial[White] - pos.nonPawnMaterial[Black];
    const bool whiteToMove = pos.sideToMove == White;
    acc.mg[White] += material + (whiteToMove ? TempoMg : -TempoMg);
    acc.eg[White] += material + (whiteToMove ? TempoEg : -TempoEg);
    if constexpr (Tracing) recordTerm(trace, TermMaterial, before, acc);

    // 15. Pure pawn endings.
    if (nonPawnTotal == 0) evaluatePawnEnding(ai, pos, acc, passed, Tracing ? trace : nullptr);

    // 16. Differences.
    const int mgDiff = acc.mg[White] - acc.mg[Black];
    int egDiff = acc.eg[White] - acc.eg[Black];
    if constexpr (Tracing) {
        trace->mgDiff = mgDiff;
        trace->egDiff = egDiff;
        trace->scale = scaleFactor;
    }

    // 17. Endgame scale for the side ahead.
    if (egDiff != 0) {
        const int strong = egDiff < 0 ? Black : White;
        const int scale = std::min(endgameScaleFactor(strong, pos, pos.nonPawnMaterial[White],
                                                      pos.nonPawnMaterial[Black]),
                                   scaleFactor);
        egDiff = egDiff * scale / ScaleFactorNormal;
        if constexpr (Tracing) trace->scale = scale;
    }

    // 18. Pull toward zero as pawns come off, never below half the score.
    const int totalPawns = pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn];
    const int pull = (DrawPullPawns - totalPawns) * DrawPullNumerator / DrawPullDenominator;
    const int egFinal =
        egDiff > 0 ? std::max(egDiff - pull, egDiff / 2) : std::min(egDiff + pull, egDiff / 2);

    // 19. Blend of the two phases, then the side to move's view.
    int v = (mgDiff * phase + egFinal * (PhaseMax - phase)) / PhaseMax;
    if constexpr (Tracing) {
        trace->egScaled = egDiff;
        trace->drawPull = pull;
        trace->egFinal = egFinal;
        trace->blended = v;
    }
    if (!whiteToMove) v = -v;

    // 20. Cache store.
    storeEval(key, v);
    return v;
}

std::string formatTrace(const EvalTrace& t, Score v) {
    std::string out;
    char line[160];
    auto add = [&](const char* text) { out += text; };

    if (t.specialDecided) {
        std::snprintf(line, sizeof line,
                      "Special endgame: the material configuration decides the score\n"
                      "Non-pawn material: %d, phase: %d of %d\n",
                      t.nonPawnTotal, t.phase, PhaseMax);
        add(line);
    } else {
        add("Term                 |     White     |     Black     |     Total\n");
        add("                     |    MG     EG  |    MG     EG  |    MG     EG\n");
        add("---------------------+---------------+---------------+--------------\n");
        auto row = [&](const char* name, const int mg[2], const int eg[2]) {
            std::snprintf(line, sizeof line, "%-20s | %6d %6d | %6d %6d | %6d %6d\n", name,
                          mg[White], eg[White], mg[Black], eg[Black], mg[White] - mg[Black],
                          eg[White] - eg[Black]);
            add(line);
        };
        int totalMg[2] = {0, 0};
        int totalEg[2] = {0, 0};
        for (int term = 0; term < TermCount; term++) {
            row(TraceTermNames[term], t.mg[term], t.eg[term]);
            for (int c = White; c <= Black; c++) {
                totalMg[c] += t.mg[term][c];
                totalEg[c] += t.eg[term][c];
            }
        }
        add("---------------------+---------------+---------------+--------------\n");
        row("Sum", totalMg, totalEg);
        std::snprintf(line, sizeof line, "Non-pawn material: %d, phase: %d of %d\n",
                      t.nonPawnTotal, t.phase, PhaseMax);
        add(line);
        std::snprintf(line, sizeof line,
                      "Scale factor: %d of %d (special-endgame slot %d)%s\n", t.scale,
                      ScaleFactorNormal, t.scaleSlot,
                      t.blockade ? ", pawn ending judged a blockade" : "");
        add(line);
        std::snprintf(line, sizeof line,
                      "End game: %d, scaled %d, pull toward zero %d, final %d\n", t.egDiff,
                      t.egScaled, t.drawPull, t.egFinal);
        add(line);
        std::snprintf(line, sizeof line, "Blend (White's view): (%d * %d + %d * %d) / %d = %d\n",
                      t.mgDiff, t.phase, t.egFinal, PhaseMax - t.phase, PhaseMax, t.blended);
        add(line);
    }
    std::snprintf(line, sizeof line, "Final evaluation: %d (%d cp, side to move)", v,
                  v * 100 / 257);
    add(line);
    return out;
}

}  // namespace

int gamePhase(const Position& pos) {
    const int total = pos.nonPawnMaterial[White] + pos.nonPawnMaterial[Black];
    if (total >= PhaseMidgameMaterial) return PhaseMax;
    return std::max(0, (total - PhaseEndgameMaterial) * PhaseMax / PhaseRange);
}

namespace {

// Attacks of every piece of one type of one colour, added to the colour's
// sets. Bishops look through own queens, rooks through own queens and rooks:
// a battery attacks as one line. Knights and kings have no blockers.
template <int Color, int Type>
void addPieceAttacks(const Position& pos, AttackInfo& ai, Bitboard& attacked, Bitboard& twice) {
    constexpr int c = Color;
    Bitboard occupancy = pos.occupied;
    if constexpr (Type == Bishop) occupancy &= ~pos.pieceBB[c][Queen];
    if constexpr (Type == Rook) occupancy &= ~(pos.pieceBB[c][Queen] | pos.pieceBB[c][Rook]);
    Bitboard byType = 0;
    for (Bitboard pieces = pos.pieceBB[c][Type]; pieces;) {
        const Square s = popLsb(pieces);
        const Bitboard attacks = (Type == Knight || Type == King)
                                     ? PseudoAttacks[Type][s]
                                     : attacksFrom(Type, s, occupancy);
        ai.pieceAttacks[s] = attacks;
        byType |= attacks;
        twice |= attacked & attacks;
        attacked |= attacks;
    }
    ai.attackedByType[c][Type] = byType;
}

// The attack sets of one colour.
template <int Color>
void addColourAttacks(const Position& pos, AttackInfo& ai) {
    constexpr int c = Color;
    const Bitboard pawnAttacks = pawnAttacksOf(c, pos.pieceBB[c][Pawn]);
    ai.attackedByType[c][Pawn] = pawnAttacks;
    // All pawns together count as one attacker. The sets are gathered in
    // locals: stores into the record could otherwise alias the position's
    // bitboards and force them to be read again for every piece.
    Bitboard attacked = pawnAttacks;
    Bitboard twice = 0;
    addPieceAttacks<Color, Knight>(pos, ai, attacked, twice);
    addPieceAttacks<Color, Bishop>(pos, ai, attacked, twice);
    addPieceAttacks<Color, Rook>(pos, ai, attacked, twice);
    addPieceAttacks<Color, Queen>(pos, ai, attacked, twice);
    addPieceAttacks<Color, King>(pos, ai, attacked, twice);
    ai.attackedBy[c] = attacked;
    ai.attackedTwice[c] = twice;
}

}  // namespace

void buildAttackInfo(const Position& pos, AttackInfo& ai) {
    addColourAttacks<White>(pos, ai);
    addColourAttacks<Black>(pos, ai);
    for (int c = White; c <= Black; c++)
        ai.kingSafeSquares[c] =
            PseudoAttacks[King][pos.kingSquare[c]] & ~ai.attackedBy[c ^ 1] & ~pos.colorBB[c];
    ai.pinned = (sliderBlockers(pos.kingSquare[White], Black, pos) & pos.colorBB[White]) |
                (sliderBlockers(pos.kingSquare[Black], White, pos) & pos.colorBB[Black]);
}

int countPawnRams(const Position& pos) {
    return popCount(((pos.pieceBB[White][Pawn] & ~Rank8) << 1) & pos.pieceBB[Black][Pawn]);
}

void evaluateSpace(const AttackInfo& ai, const Position& pos, int color, int& mg) {
    const int them = color ^ 1;
    const Bitboard ownPawns = pos.pieceBB[color][Pawn];
    const int minors = pos.pieceCount[White][Knight] + pos.pieceCount[White][Bishop] +
                       pos.pieceCount[Black][Knight] + pos.pieceCount[Black][Bishop];
    // Safe squares in the own zone; those behind an own pawn count twice, as
    // pieces can gather there unseen.
    const Bitboard safe = SpaceZone[color] & ~ai.attackedByType[them][Pawn] & ~ownPawns &
                          (~ai.attackedBy[them] | ai.attackedBy[color]);
    // Up to three squares behind each pawn on its file; a shift that wraps to
    // another file lands outside the zone's ranks.
    const Bitboard behind = color == White
                                ? (ownPawns >> 1) | (ownPawns >> 2) | (ownPawns >> 3)
                                : (ownPawns << 1) | (ownPawns << 2) | (ownPawns << 3);
    // Squares the colour controls alone in the enemy's zone (which is, for
    // files c..f, the mirror of the own zone).
    const Bitboard forward = SpaceZone[them] & ai.attackedBy[color] & ~ai.attackedBy[them] &
                             ~ownPawns;
    const int squares = popCount(safe) + popCount(safe & behind) + popCount(forward) / 2;
    mg += minors * minors * squares * SpaceWeight / 256;
    mg += SpaceEmptySquare * popCount(SpaceZone[color] & ~pos.occupied);
}

Score evaluate(Position& pos) { return evaluatePosition<false>(pos, nullptr); }

std::string traceEvaluation(Position& pos) {
    EvalTrace trace;
    const Score v = evaluatePosition<true>(pos, &trace);
    return formatTrace(trace, v);
}
