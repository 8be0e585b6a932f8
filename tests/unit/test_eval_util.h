// Helpers for the evaluation tests: start-up tables, positions from FEN, and
// one-term runs that report what a term added for one colour.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "board/position.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/terms.h"
#include "test_common.h"
#include "test_init.h"

// Failure messages show a pair as {mg, eg}.
inline void PrintTo(const ScorePair& s, std::ostream* os) { *os << "{" << s.mg << ", " << s.eg << "}"; }

namespace evaltest {

// Board tables, the king-danger table, the KPK table and both caches (at
// their start-up sizes), once per test binary.
inline void initEvalTables() {
    static bool done = false;
    if (done) return;
    initTestTables();
    initEvaluation();
    buildKpkBitbase();
    resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    done = true;
}

// Positions are large (their undo history), so they live on the heap.
inline std::unique_ptr<Position> position(const std::string& fen) {
    initEvalTables();
    auto pos = std::make_unique<Position>();
    setFromFen(fen, *pos);
    return pos;
}

// What one term added to one colour's accumulators.
using Delta = ScorePair;

inline Delta pawnTerm(const Position& pos, int color, Bitboard* passed = nullptr) {
    Bitboard set = 0;
    const Delta d = withColour(color, [&](auto us) { return evaluatePawns<us>(pos, set); });
    if (passed) *passed = set;
    return d;
}

inline Delta passedTerm(const Position& pos, int color) {
    Bitboard passed = 0;
    pawnTerm(pos, color, &passed);
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluatePassedPawns<us>(ai, pos, passed); });
}

// Piece terms (the piece-square sums are not among them).
inline Delta pieceTerm(const Position& pos, int color, KingAttackTally* tallyOut = nullptr) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    KingAttackTally tally;
    const Delta d = withColour(color, [&](auto us) { return evaluatePieces<us>(pos, ai, tally, countPawnRams(pos)); });
    if (tallyOut) *tallyOut = tally;
    return d;
}

inline Delta threatTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateThreats<us>(ai, pos); });
}

inline int spaceTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateSpace<us>(ai, pos); });
}

// King safety of `color` with a tally given by the test.
inline int kingTermWith(const Position& pos, int color, KingAttackTally tally) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateKingSafety<us>(ai, pos, tally); });
}

// King safety of `color` with the tally the enemy's piece terms gather.
inline int kingTerm(const Position& pos, int color) {
    KingAttackTally tally;
    pieceTerm(pos, color ^ 1, &tally);
    return kingTermWith(pos, color, tally);
}

}  // namespace evaltest
