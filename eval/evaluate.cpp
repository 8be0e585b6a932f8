// The evaluation driver: cache probe, phase, special endgames, the attack
// record, every term in a fixed order, the whole-board terms (imbalance,
// bishop pair, space, tempo and material), pure pawn endings, the endgame
// scale and pull toward zero, the blend of the two phases and the cache store.
//
// One templated driver serves both the search and the "trace" command: when
// tracing, it skips the cache lookups and records what each term added; in the
// search instantiation the recording compiles away.
#include <algorithm>
#include <cassert>
#include <cstdio>
#include <string>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/masks.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/params.h"
#include "eval/terms.h"

namespace {

// What the colours have gathered so far. The score reads only White's sum
// less Black's, so the search keeps just that difference; the trace keeps
// each colour's own sum, to show what every term added for each side.
template <bool PerColour>
struct Accumulators;

template <>
struct Accumulators<false> {
    ScorePair diff;
    void add(int color, ScorePair v) {
        if (color == White)
            diff += v;
        else
            diff -= v;
    }
    ScorePair difference() const { return diff; }
    void clearEndgame() { diff.eg = 0; }
};

template <>
struct Accumulators<true> {
    ScorePair side[2];
    void add(int color, ScorePair v) { side[color] += v; }
    ScorePair difference() const { return side[White] - side[Black]; }
    void clearEndgame() { side[White].eg = side[Black].eg = 0; }
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
    "Material and tempo",  "Imbalance",   "Bishop pair", "Pawns", "Passed pawns", "Pieces",
    "Piece-square",        "King safety", "Threats",     "Space", "Pawn ending",  "Blockade",
    "Unstoppable passers",
};

// What the trace collects on its way through the driver.
struct EvalTrace {
    ScorePair term[TermCount][2] = {};
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

void recordTerm(EvalTrace* trace, TraceTerm term, const Accumulators<true>& before, const Accumulators<true>& after) {
    for (int c = White; c <= Black; c++) trace->term[term][c] += after.side[c] - before.side[c];
}

// A position set up with a crowd of queens (a FEN may give a side fifteen)
// can add up to more than any score the search can hold. The evaluation
// stays below the mate scores, so that it can never pass for a mate, and
// fits the cache's 16-bit field; no position reachable in a game comes near.
constexpr int EvalLimit = ScoreMateThreshold - 1;
inline Score boundedEval(int v) { return Score(std::clamp(v, -EvalLimit, EvalLimit)); }

void storeEval(uint64_t key, Score v) {
    const CacheTable& cache = EvalHashTable;
    if (!cache.words) return;
    const uint64_t index = cacheIndex(cache, key);
    cacheStore(cache, index, 0, key);
    cacheStore(cache, index, 1, uint64_t(uint16_t(int16_t(v))));
}

Bitboard pawnAttacksOf(int color, Bitboard pawns) {
    // With file-major squares, +9 / −7 are White's two capture diagonals and
    // +7 / −9 Black's; pawns on the far rank (never legal) would wrap a file.
    if (color == White) {
        pawns &= ~Rank8Mask;
        return (pawns << 9) | (pawns >> 7);
    }
    pawns &= ~Rank1Mask;
    return (pawns << 7) | (pawns >> 9);
}

// Pawn structure through the pawn cache: on a hit the stored White-minus-Black
// scores go to White's accumulators; on a miss both colours are evaluated and
// the entry is written. The trace always computes afresh.
template <bool Tracing>
void probePawns(const Position& pos, Accumulators<Tracing>& acc, Bitboard passed[2]) {
    const CacheTable& cache = PawnHashTable;
    const uint64_t index = cacheIndex(cache, pos.pawnKey);
    const uint32_t keyHigh = uint32_t(pos.pawnKey >> 32);
    if (!Tracing && cache.words) {
        const uint64_t packed = cacheLoad(cache, index, 1);
        if (uint32_t(packed) == keyHigh) {
            acc.add(White, {int16_t(uint16_t(packed >> 32)), int16_t(uint16_t(packed >> 48))});
            // Kept to the pawns of each side, so a torn or colliding entry can
            // only misjudge pawns, never name a square without one.
            const Bitboard all = cacheLoad(cache, index, 0);
            passed[White] = all & pos.pieceBB[White][Pawn];
            passed[Black] = all & pos.pieceBB[Black][Pawn];
            return;
        }
    }
    acc.add(White, evaluatePawns<White>(pos, passed[White]));
    acc.add(Black, evaluatePawns<Black>(pos, passed[Black]));
    if (!cache.words) return;
    const ScorePair diff = acc.difference();
    const uint16_t mgPawns = uint16_t(int16_t(diff.mg));
    const uint16_t egPawns = uint16_t(int16_t(diff.eg));
    cacheStore(cache, index, 1, uint64_t(keyHigh) | (uint64_t(mgPawns) << 32) | (uint64_t(egPawns) << 48));
    cacheStore(cache, index, 0, passed[White] | passed[Black]);
}

// Piece-count imbalance: the side with more pieces gains in proportion to the
// pawns its opponent still has.
template <bool Tracing>
void evaluateImbalance(const Position& pos, Accumulators<Tracing>& acc) {
    int pieces[2];
    for (int c = White; c <= Black; c++)
        pieces[c] =
            pos.pieceCount[c][Knight] + pos.pieceCount[c][Bishop] + pos.pieceCount[c][Rook] + pos.pieceCount[c][Queen];
    const int d = pieces[White] - pieces[Black];
    if (d > 0)
        acc.add(White, Imbalance * (d * pos.pieceCount[Black][Pawn]));
    else if (d < 0)
        acc.add(Black, Imbalance * (-d * pos.pieceCount[White][Pawn]));
}

// In a pawn ending the extra pawn is worth more, a locked chain that the
// stronger king cannot get through is a draw, and a passer the enemy king
// cannot catch (or that its own king escorts) is nearly a queen.
template <bool Tracing>
void evaluatePawnEnding(const AttackInfo& ai, const Position& pos, Accumulators<Tracing>& acc, const Bitboard passed[2],
                        EvalTrace* trace) {
    Accumulators<Tracing> before = acc;
    acc.add(White, {0, (pos.pieceCount[White][Pawn] - pos.pieceCount[Black][Pawn]) * PawnEndingPawnValue});
    if constexpr (Tracing) recordTerm(trace, TermPawnEnding, before, acc);

    const int lead = acc.difference().eg;
    if (lead != 0) {
        const int strong = lead > 0 ? White : Black;
        if (isBlockedPawnEnding(ai, strong, pos)) {
            before = acc;
            acc.clearEndgame();
            if constexpr (Tracing) {
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
            const Square queening = promotionSquare(c, s);
            if (Distance[queening][defender] - Distance[queening][s] >= 2 ||
                (PseudoAttacks[King][escort] & ForwardFile[c][s]))
                acc.add(c, {0, UnstoppablePasserPerRank * relativeRank(c, s)});
        }
    }
    if constexpr (Tracing) recordTerm(trace, TermUnstoppable, before, acc);
}

// Steps 4 to 16 of evaluatePosition: the attack record, then every term,
// added up in acc.
template <bool Tracing>
[[gnu::always_inline]] inline void addTerms(const Position& pos, int phase, int nonPawnTotal,
                                            Accumulators<Tracing>& acc, EvalTrace* trace) {
    // 4. The attack record every term reads.
    AttackInfo ai;
    buildAttackInfo(pos, ai);

    Accumulators<Tracing> before = acc;

    // 5. Pawn structure through the pawn cache.
    Bitboard passed[2] = {0, 0};
    probePawns<Tracing>(pos, acc, passed);
    if constexpr (Tracing) recordTerm(trace, TermPawns, before, acc);

    // 6. Passed pawns.
    before = acc;
    // (Without passers the term adds nothing, so the call is skipped.)
    if (passed[White]) acc.add(White, evaluatePassedPawns<White>(ai, pos, passed[White]));
    if (passed[Black]) acc.add(Black, evaluatePassedPawns<Black>(ai, pos, passed[Black]));
    if constexpr (Tracing) recordTerm(trace, TermPassedPawns, before, acc);

    // 7. Rams, which hem in the bishops.
    const int pawnRams = countPawnRams(pos);

    // 8. Pieces, gathering the tallies of attacks on the enemy king.
    KingAttackTally tally[2];
    before = acc;
    acc.add(White, evaluatePieces<White>(pos, ai, tally[White], pawnRams));
    acc.add(Black, evaluatePieces<Black>(pos, ai, tally[Black], pawnRams));
    if constexpr (Tracing) recordTerm(trace, TermPieces, before, acc);

    // 9. Piece-square sums, kept up to date by the position.
    before = acc;
    acc.add(White, {pos.pstA[White], pos.pstB[White]});
    acc.add(Black, {pos.pstA[Black], pos.pstB[Black]});
    if constexpr (Tracing) recordTerm(trace, TermPieceSquare, before, acc);

    // 10. Piece-count imbalance.
    before = acc;
    evaluateImbalance(pos, acc);
    if constexpr (Tracing) recordTerm(trace, TermImbalance, before, acc);

    // 11. Bishop pair: two bishops cover both colours of squares.
    before = acc;
    for (int c = White; c <= Black; c++)
        if (pos.pieceCount[c][Bishop] > 1) acc.add(c, BishopPair);
    if constexpr (Tracing) recordTerm(trace, TermBishopPair, before, acc);

    // 12. King safety, a middle-game matter only.
    if (phase > 0) {
        before = acc;
        acc.add(White, {evaluateKingSafety<White>(ai, pos, tally[Black]), 0});
        acc.add(Black, {evaluateKingSafety<Black>(ai, pos, tally[White]), 0});
        if constexpr (Tracing) recordTerm(trace, TermKingSafety, before, acc);
    }

    // 13. Threats.
    before = acc;
    acc.add(White, evaluateThreats<White>(ai, pos));
    acc.add(Black, evaluateThreats<Black>(ai, pos));
    if constexpr (Tracing) recordTerm(trace, TermThreats, before, acc);

    // 14. Space, only with all the pieces that need it still on.
    if (phase == PhaseMax) {
        before = acc;
        acc.add(White, {evaluateSpace<White>(ai, pos), 0});
        acc.add(Black, {evaluateSpace<Black>(ai, pos), 0});
        if constexpr (Tracing) recordTerm(trace, TermSpace, before, acc);
    }

    // 15. Tempo and material.
    before = acc;
    const int material = pos.nonPawnMaterial[White] - pos.nonPawnMaterial[Black];
    acc.add(White, bothPhases(material) + (pos.sideToMove == White ? Tempo : -Tempo));
    if constexpr (Tracing) recordTerm(trace, TermMaterial, before, acc);

    // 16. Pure pawn endings.
    if (nonPawnTotal == 0) evaluatePawnEnding<Tracing>(ai, pos, acc, passed, trace);
}

// The evaluation of a position the cache did not hold (evaluate probes the
// cache before calling it, so that a hit costs no frame for the whole
// evaluation), stored in the cache under `key`.
template <bool Tracing>
[[gnu::noinline]] Score evaluatePosition(const Position& pos, uint64_t key, EvalTrace* trace) {
    // 1. The cache was probed by the caller (the trace always computes afresh).

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

    // 4.-16. The attack record and the terms.
    Accumulators<Tracing> acc;
    addTerms<Tracing>(pos, phase, nonPawnTotal, acc, trace);
    const bool whiteToMove = pos.sideToMove == White;

    // 17. Differences. With every piece on the blend takes the middle game
    // alone, so the end-game steps cannot change the score.
    const ScorePair diff = acc.difference();
    const int mgDiff = diff.mg;
    if (!Tracing && phase == PhaseMax) {
        const Score v = boundedEval(whiteToMove ? mgDiff : -mgDiff);
        storeEval(key, v);
        return v;
    }
    int egDiff = diff.eg;
    if constexpr (Tracing) {
        trace->mgDiff = mgDiff;
        trace->egDiff = egDiff;
        trace->scale = scaleFactor;
    }

    // 18. Endgame scale for the side ahead.
    if (egDiff != 0) {
        const int strong = egDiff < 0 ? Black : White;
        const int scale = std::min(endgameScaleFactor(strong, pos), scaleFactor);
        egDiff = egDiff * scale / ScaleFactorNormal;
        if constexpr (Tracing) trace->scale = scale;
    }

    // 19. Pull toward zero as pawns come off, never below half the score.
    const int totalPawns = pos.pieceCount[White][Pawn] + pos.pieceCount[Black][Pawn];
    const int pull = (DrawPullPawns - totalPawns) * DrawPullNumerator / DrawPullDenominator;
    const int egFinal = egDiff > 0 ? std::max(egDiff - pull, egDiff / 2) : std::min(egDiff + pull, egDiff / 2);

    // 20. Blend of the two phases, then the side to move's view.
    int v = (mgDiff * phase + egFinal * (PhaseMax - phase)) / PhaseMax;
    if constexpr (Tracing) {
        trace->egScaled = egDiff;
        trace->drawPull = pull;
        trace->egFinal = egFinal;
        trace->blended = v;
    }
    if (!whiteToMove) v = -v;
    v = boundedEval(v);

    // 21. Cache store.
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
        auto row = [&](const char* name, const ScorePair side[2]) {
            const ScorePair total = side[White] - side[Black];
            std::snprintf(line, sizeof line, "%-20s | %6d %6d | %6d %6d | %6d %6d\n", name, side[White].mg,
                          side[White].eg, side[Black].mg, side[Black].eg, total.mg, total.eg);
            add(line);
        };
        ScorePair sum[2];
        for (int term = 0; term < TermCount; term++) {
            row(TraceTermNames[term], t.term[term]);
            for (int c = White; c <= Black; c++) sum[c] += t.term[term][c];
        }
        add("---------------------+---------------+---------------+--------------\n");
        row("Sum", sum);
        std::snprintf(line, sizeof line, "Non-pawn material: %d, phase: %d of %d\n", t.nonPawnTotal, t.phase, PhaseMax);
        add(line);
        std::snprintf(line, sizeof line, "Scale factor: %d of %d (special-endgame slot %d)%s\n", t.scale,
                      ScaleFactorNormal, t.scaleSlot, t.blockade ? ", pawn ending judged a blockade" : "");
        add(line);
        std::snprintf(line, sizeof line, "End game: %d, scaled %d, pull toward zero %d, final %d\n", t.egDiff,
                      t.egScaled, t.drawPull, t.egFinal);
        add(line);
        std::snprintf(line, sizeof line, "Blend (White's view): (%d * %d + %d * %d) / %d = %d\n", t.mgDiff, t.phase,
                      t.egFinal, PhaseMax - t.phase, PhaseMax, t.blended);
        add(line);
    }
    std::snprintf(line, sizeof line, "Final evaluation: %d (%d cp, side to move)", v, v * 100 / ScoreUnitsPerPawn);
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
// a battery attacks as one line. Knights have no blockers.
template <int Color, int Type>
void addPieceAttacks(const Position& pos, AttackInfo& ai, Bitboard& attacked, Bitboard& twice) {
    constexpr int c = Color;
    Bitboard occupancy = pos.occupied;
    if constexpr (Type == Bishop) occupancy &= ~pos.pieceBB[c][Queen];
    if constexpr (Type == Rook) occupancy &= ~(pos.pieceBB[c][Queen] | pos.pieceBB[c][Rook]);
    Bitboard byType = 0;
    for (Bitboard pieces = pos.pieceBB[c][Type]; pieces; pieces &= pieces - 1) {
        const uint64_t s = lsbIndex(pieces);
        const Bitboard attacks = Type == Knight ? PseudoAttacks[Knight][s] : attacksFrom(Type, Square(s), occupancy);
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
    // The one king, found without a loop.
    const Square king = pos.kingSquare[c];
    const Bitboard kingAttacks = PseudoAttacks[King][king];
    ai.attackedByType[c][King] = kingAttacks;
    twice |= attacked & kingAttacks;
    attacked |= kingAttacks;
    ai.attackedBy[c] = attacked;
    ai.attackedTwice[c] = twice;
}

}  // namespace

void buildAttackInfo(const Position& pos, AttackInfo& ai) {
    addColourAttacks<White>(pos, ai);
    addColourAttacks<Black>(pos, ai);
    for (int c = White; c <= Black; c++)
        ai.kingSafeSquares[c] = PseudoAttacks[King][pos.kingSquare[c]] & ~ai.attackedBy[c ^ 1] & ~pos.colorBB[c];
    // A pinned unit is the only unit between its king and an enemy bishop,
    // rook or queen on a line of that slider's kind.
    ai.pinned = (sliderBlockers(pos.kingSquare[White], Black, pos) & pos.colorBB[White]) |
                (sliderBlockers(pos.kingSquare[Black], White, pos) & pos.colorBB[Black]);
}

int countPawnRams(const Position& pos) {
    return popCount(((pos.pieceBB[White][Pawn] & ~Rank8Mask) << 1) & pos.pieceBB[Black][Pawn]);
}

template <int Us>
int evaluateSpace(const AttackInfo& ai, const Position& pos) {
    constexpr int them = Us ^ 1;
    const Bitboard ownPawns = pos.pieceBB[Us][Pawn];
    const int minors = pos.pieceCount[White][Knight] + pos.pieceCount[White][Bishop] + pos.pieceCount[Black][Knight] +
                       pos.pieceCount[Black][Bishop];
    // Safe squares in the own zone; those behind an own pawn count twice, as
    // pieces can gather there unseen.
    const Bitboard safe =
        SpaceZone[Us] & ~ai.attackedByType[them][Pawn] & ~ownPawns & (~ai.attackedBy[them] | ai.attackedBy[Us]);
    // Up to three squares behind each pawn on its file; a shift that wraps to
    // another file lands outside the zone's ranks.
    const Bitboard behind = Us == White ? (ownPawns >> 1) | (ownPawns >> 2) | (ownPawns >> 3)
                                        : (ownPawns << 1) | (ownPawns << 2) | (ownPawns << 3);
    // Squares the colour controls alone in the enemy's zone (which is, for
    // files c..f, the mirror of the own zone).
    const Bitboard forward = SpaceZone[them] & ai.attackedBy[Us] & ~ai.attackedBy[them] & ~ownPawns;
    const int squares = popCount(safe) + popCount(safe & behind) + popCount(forward) / 2;
    return minors * minors * squares * SpaceWeight / 256 + SpaceEmptySquare * popCount(SpaceZone[Us] & ~pos.occupied);
}

template int evaluateSpace<White>(const AttackInfo&, const Position&);
template int evaluateSpace<Black>(const AttackInfo&, const Position&);

void initEvaluation() {
    initKingDanger();
    for (int type = Pawn; type <= King; type++) {
        for (Square s = 0; s < 64; s++) {
            PieceSquareMg[type][s] = PieceSquareChartMg[type][s];
            PieceSquareEg[type][s] = PieceSquareChartEg[type][s];
        }
    }
}

Score evaluate(const Position& pos) {
    const uint64_t key = ttIndexKey(pos);
    const CacheTable& cache = EvalHashTable;
    if (cache.words) {
        const uint64_t index = cacheIndex(cache, key);
        if (cacheLoad(cache, index, 0) == key) return Score(int16_t(uint16_t(cacheLoad(cache, index, 1))));
    }
    const Score v = evaluatePosition<false>(pos, key, nullptr);
    // A static value is never taken for a mate score, and fits the cache's
    // 16-bit field.
    assert(v > -ScoreMateThreshold && v < ScoreMateThreshold);
    return v;
}

std::string traceEvaluation(const Position& pos) {
    EvalTrace trace;
    const Score v = evaluatePosition<true>(pos, ttIndexKey(pos), &trace);
    return formatTrace(trace, v);
}
