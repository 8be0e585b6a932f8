// Helpers for the evaluation tests: start-up tables, positions from FEN, and
// one-term runs that report what a term added for one colour.
#pragma once

#include <memory>
#include <string>

#include "board/position.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/terms.h"
#include "test_init.h"

namespace evaltest {

// Board tables, the king-danger table, the KPK table and both caches (at
// their start-up sizes), once per test binary.
inline void initEvalTables() {
    static bool done = false;
    if (done) return;
    initTestTables();
    initKingDanger();
    buildKpkBitbase();
    resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    done = true;
}

// Positions are large (their undo history), so they live on the heap.
inline std::unique_ptr<Position> position(const std::string& fen) {
    initEvalTables();
    auto pos = std::make_unique<Position>();
    pos->shelterKey[White] = pos->shelterKey[Black] = 0;
    pos->shelterScore[White] = pos->shelterScore[Black] = 0;
    setFromFen(fen, *pos);
    return pos;
}

// What one term added to one colour's accumulators.
struct Delta {
    int mg = 0;
    int eg = 0;
};

inline Delta pawnTerm(const Position& pos, int color, Bitboard* passed = nullptr) {
    Delta d;
    Bitboard set = 0;
    evaluatePawns(pos, color, d.mg, d.eg, set);
    if (passed) *passed = set;
    return d;
}

inline Delta passedTerm(const Position& pos, int color) {
    Bitboard passed = 0;
    int mg = 0, eg = 0;
    evaluatePawns(pos, color, mg, eg, passed);
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    Delta d;
    evaluatePassedPawns(ai, pos, color, d.mg, d.eg, passed);
    return d;
}

// Piece terms without the piece-square sums (which the term adds at its end).
inline Delta pieceTerm(const Position& pos, int color, KingAttackTally* tallyOut = nullptr) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    KingAttackTally tally{0, 0, 0};
    Delta d;
    evaluatePieces(pos, ai, color, d.mg, d.eg, tally, countPawnRams(pos));
    d.mg -= pos.pstA[color];
    d.eg -= pos.pstB[color];
    if (tallyOut) *tallyOut = tally;
    return d;
}

inline Delta threatTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    Delta d;
    evaluateThreats(ai, pos, color, d.mg, d.eg);
    return d;
}

inline int spaceTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    int mg = 0;
    evaluateSpace(ai, pos, color, mg);
    return mg;
}

// King safety of `color` with the tally the enemy's piece terms gather.
inline int kingTerm(Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    KingAttackTally tally{0, 0, 0};
    int mg = 0, eg = 0;
    evaluatePieces(pos, ai, color ^ 1, mg, eg, tally, countPawnRams(pos));
    int king = 0;
    evaluateKingSafety(ai, pos, color, king, tally);
    return king;
}

// King safety of `color` with a tally given by the test.
inline int kingTermWith(Position& pos, int color, KingAttackTally tally) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    int king = 0;
    evaluateKingSafety(ai, pos, color, king, tally);
    return king;
}

inline Square sq(const char* text) { return (text[0] - 'a') * 8 + (text[1] - '1'); }

}  // namespace evaltest
