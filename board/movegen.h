// Staged pseudo-legal move generation. Every generator appends moves with an
// ordering score into two parallel arrays owned by the caller and returns the
// new count.
#pragma once

#include "board/legality.h"
#include "board/position.h"

// Quiet-move history of one search thread: [colour][moving piece type][to square].
using HistoryTable = int32_t[2][6][64];

// Stages of the move picker.
constexpr int StageHashMove = 1;
constexpr int StageCaptures = 2;      // promotion pushes, then captures
constexpr int StageQuiets = 3;
constexpr int StageQsHashMove = 4;
constexpr int StageQsCaptures = 5;
constexpr int StageQuietChecks = 6;

// Room for every move list of one position: the pseudo-legal moves of a side
// of at most 16 pieces (15 queens and a king: at most 15 * 27 + 8 + 2), plus
// the hash move that the picker puts in front.
constexpr int MaxMoves = 512;

// Ordering scores of the quiet bands.
constexpr int ScoreKiller0 = 2003;
constexpr int ScoreKiller1 = 2002;
constexpr int ScoreCastling = 2001;

// Ordering context: the two killers of the current ply (may be null = none)
// and the thread's history table.
struct OrderingContext {
    const Move* killers;
    const HistoryTable* history;
};

// Generates one stage (see the stage constants) and insertion-sorts the moves
// it appended by score, highest first, stable. In check every stage except 1
// and 4 yields all evasions. Stages 1 and 4 append the candidate move and leave
// its score slot as it was. Out of check an unknown stage appends nothing.
int generateStage(Move* moves, int* scores, const Position& pos, int stage, int count,
                  const CheckInfo& ci, const OrderingContext& ctx, Move candidate);

// generateStage without the sort: the stage's moves in generation order.
int appendStage(Move* moves, int* scores, const Position& pos, int stage, int count,
                const CheckInfo& ci, const OrderingContext& ctx, Move candidate);

// Stable insertion sort of moves[first, last) by score, highest first.
void sortByScore(Move* moves, int* scores, int first, int last);

// The individual generators, unsorted.
int genPromotionPushes(Move* moves, int* scores, const Position& pos, int count, Bitboard target);
int genCaptures(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx);
int genQuiets(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx);
int genQuietChecks(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx);
int genEvasions(Move* moves, int* scores, const Position& pos, int count, const CheckInfo& ci,
                const OrderingContext& ctx);

// Every pseudo-legal move in generation order (stage 2 then stage 3 generators,
// or the evasions in check), unsorted, scored without history or killers; ci
// must be the position's check information. Returns the count.
int generatePseudoLegalMoves(const Position& pos, const CheckInfo& ci, Move* moves, int* scores);

// Every legal move of the position in generation order (stage 2 then stage 3
// generators, or the evasions in check), unsorted. moves must hold MaxMoves
// entries. Returns the count.
int generateLegalMoves(const Position& pos, Move* moves);
