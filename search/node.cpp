// The alpha-beta node search below the root: a fail-soft principal-variation
// search with table cutoffs, forward pruning, late-move reductions and
// extensions. One body serves both node kinds and both thread kinds.
#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/see.h"
#include "board/tables.h"
#include "eval/eval.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/tables.h"
#include "search/tt.h"

namespace {

// Razoring: how far the static evaluation must lie below alpha.
constexpr int RazorMaxDepth = 3;
constexpr int RazorBase = 534;
constexpr int RazorPerDepthSquared = 20;
constexpr int RazorQsearchMargin = 594;
// Static null-move pruning: the margin the static evaluation must keep over beta.
constexpr int StaticNullMaxDepth = 3;
constexpr int StaticNullPerDepth = 70;
// Null move.
constexpr int NullMinDepth = 2;
constexpr int NullVerifyDepth = 12;
constexpr int NullEvalDivisor = 200;
// ProbCut.
constexpr int ProbCutMinDepth = 5;
constexpr int ProbCutMargin = 200;
// Internal iterative deepening.
constexpr int IidMinDepth = 8;
// Late-move pruning.
constexpr int MoveCountMaxDepth = 16;
constexpr int FutilityMaxDepth = 6;
constexpr int FutilityBase = 90;
constexpr int FutilityPerDepth = 70;
constexpr int SeePruneMaxDepth = 3;
// Singular extension.
constexpr int SingularMinDepth = 8;
constexpr int SingularTableDepthMargin = 3;
// Ordering-score bands (see search/ordering.h): killers and castling sit
// above every history value, tactical moves above the killers.
constexpr int OrderMaxHistory = HistoryMax;
// Quiet moves remembered for the history malus of a cutoff (no real position
// has more quiet moves).
constexpr int MaxQuietsSearched = 256;
// Losing captures deferred to the end of the move list.
constexpr int MaxBadCaptures = 256;
// "No table depth" for a node without a table hit.
constexpr int DepthNone = -1000;
// Only PV nodes keep a variation buffer for their children.
template <bool PvNode>
constexpr int PvNodeBufferSize = PvNode ? PvBufferSize : 1;

// The seventh rank of each side, from its own view.
inline Bitboard seventhRank(int color) { return RelativeRankMask[color][6]; }

}  // namespace

template <bool PvNode, bool MainThread>
static Score search(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode);

// Depth 0 hands the node to the quiescence search of the same kind.
template <bool PvNode, bool MainThread>
static Score qsearchEntry(SearchThread& thread, SearchStack* ss, int alpha, int beta) {
    return PvNode ? qsearchPV<MainThread>(thread, ss, alpha, beta, 0)
                  : qsearchNonPV<MainThread>(thread, ss, alpha, beta, 0);
}

// A child searched at a depth that may have reached the horizon goes to the
// quiescence search directly, without first entering the node search.
template <bool PvNode, bool MainThread>
static inline Score searchOrQs(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode) {
    if (depth <= 0) return qsearchEntry<PvNode, MainThread>(thread, ss, alpha, beta);
    return search<PvNode, MainThread>(thread, ss, alpha, beta, depth, cutNode);
}

// The search of one child of ss, its move already played: the sequence that
// every move loop (the node's, its deferred captures', the root's) uses.
//  - The first move of a PV node (firstMove) gets the open window at once.
//  - Any other move must first beat alpha in a null-window search: reduced by
//    `reduction` plies (never below depth 1) when that is above 0, then again
//    at full depth when the reduced search beats alpha (reSearched is set).
//    A reduced search expects the child to fail high (cutNode true); the
//    full-depth one alternates this node's expectation (!cutNode).
//  - In a PV node, a null-window score inside (alpha, beta) is searched once
//    more with the open window, which also writes the child's variation to
//    childPv.
// Returns the score from this node's side.
template <bool PvNode, bool MainThread>
static inline Score searchChild(SearchThread& thread, SearchStack* ss, int alpha, int beta, int newDepth, int reduction,
                                bool cutNode, bool firstMove, Move* childPv, bool& reSearched) {
    if (PvNode && firstMove) {
        (ss + 1)->pvBuffer = childPv;
        return -searchOrQs<PvNode, MainThread>(thread, ss + 1, -beta, -alpha, newDepth, false);
    }
    Score v;
    if (reduction > 0) {
        v = -search<false, MainThread>(thread, ss + 1, -alpha - 1, -alpha, std::max(newDepth - reduction, 1), true);
        if (v > alpha) {
            reSearched = true;
            v = -searchOrQs<false, MainThread>(thread, ss + 1, -alpha - 1, -alpha, newDepth, !cutNode);
        }
    } else {
        v = -searchOrQs<false, MainThread>(thread, ss + 1, -alpha - 1, -alpha, newDepth, !cutNode);
    }
    if (PvNode && v > alpha && v < beta) {
        (ss + 1)->pvBuffer = childPv;
        v = -searchOrQs<PvNode, MainThread>(thread, ss + 1, -beta, -alpha, newDepth, false);
    }
    return v;
}

// The phases of the node search, each inlined into it. They keep external
// linkage, in a namespace of their own: with internal linkage the compiler
// inlines differently inside them, and the search runs more instructions per
// node.
namespace phase {

// The depth of the reduced searches that probe a node before its move loop:
// ProbCut's captures and internal iterative deepening.
inline int probeDepth(int depth) { return depth - depth / 4 - 2; }

// What the table knew of the node besides a cutoff; "none" throughout
// without a hit.
struct TableHint {
    Move move;
    int score;
    int bound;
    int depth;
};

// The table probe: a deep enough entry with a usable bound decides the node,
// and its score is returned; otherwise ScoreNone, with what a hit knew in
// hint and the score of a too shallow entry that would have cut
// (TTProbe::shallowCutScore) in ss->staticEval, for staticEvaluation. A singular verification search
// skips the probe, since the entry describes the node with the excluded move
// included.
[[gnu::always_inline]] inline Score probeNode(const Position& pos, SearchStack* ss, int alpha, int beta, int depth,
                                              TableHint& hint) {
    ss->staticEval = ScoreNone;
    hint = {MoveNone, ScoreNone, BoundNone, DepthNone};
    if (ss->excludedMove != MoveNone) return ScoreNone;
    TTProbe probe;
    Score cut = probeTT(pos, depth, alpha, beta, probe, ss->ply);
    if (cut != ScoreNone) return cut;
    if (probe.hit) {
        hint = {probe.move, probe.score, probe.bound, probe.depth};
        ss->staticEval = probe.shallowCutScore;
    }
    return ScoreNone;
}

// The static evaluation of a null-window node out of check. A shallower
// table bound that lies on the right side of it (shallowCut, from the probe)
// is a better estimate than the evaluation itself.
[[gnu::always_inline]] inline Score staticEvaluation(const Position& pos, Score shallowCut, int ttBound) {
    Score e = evaluate(pos);
    if (shallowCut == ScoreNone) return e;
    return (e < shallowCut && ttBound == BoundLower) || (e > shallowCut && ttBound == BoundUpper) ? shallowCut : e;
}

// Razoring: far below alpha at shallow depth, and with no pawn about to
// promote, only captures could save the node; if the quiescence search cannot
// reach a lowered alpha, give up. Returns true when the node is decided
// (result set); a verification that reaches the lowered alpha is the node's
// last value.
template <bool MainThread>
[[gnu::always_inline]] inline bool razor(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth,
                                         Move hashMove, Score& lastValue, Score& result) {
    const Position& pos = thread.pos;
    const int us = pos.sideToMove;
    if (hashMove != MoveNone || std::abs(beta) >= ScoreDecisive || (pos.pieceBB[us][Pawn] & seventhRank(us)) ||
        depth > RazorMaxDepth)
        return false;
    int margin = RazorBase + RazorPerDepthSquared * depth * depth;
    if (ss->staticEval + margin > alpha) return false;
    if (depth == 1 && ss->staticEval + RazorQsearchMargin <= alpha) {
        result = qsearchNonPV<MainThread>(thread, ss, alpha, beta, 0);
        return true;
    }
    // At these depths the verification is a quiescence search of a null
    // window at the lowered alpha.
    int razorAlpha = alpha - margin;
    Score v = qsearchNonPV<MainThread>(thread, ss, razorAlpha, razorAlpha + 1, 0);
    if (v <= razorAlpha) {
        result = v;
        return true;
    }
    lastValue = v;
    return false;
}

// Static null-move pruning: so far above beta near the leaves that no quiet
// reply of the opponent is expected to recover. Needs pieces, since pawn
// endings are full of zugzwang. Returns true when the node is decided.
[[gnu::always_inline]] inline bool staticNullMove(const Position& pos, const SearchStack* ss, int beta, int depth,
                                                  Score& result) {
    if (pos.nonPawnMaterial[pos.sideToMove] <= 0 || depth > StaticNullMaxDepth || ss->staticEval >= ScoreDecisive)
        return false;
    Score v = ss->staticEval - StaticNullPerDepth * depth;
    if (v < beta) return false;
    result = v;
    return true;
}

// Null move: if passing the move still fails high in a reduced search, a real
// move will too (zugzwang aside, hence the piece condition and the
// verification of deep or decisive results). Returns true when the node is
// decided (result set; 0 after a stop).
template <bool MainThread>
[[gnu::always_inline]] inline bool nullMove(SearchThread& thread, SearchStack* ss, int beta, int depth, bool cutNode,
                                            Score& result) {
    Position& pos = thread.pos;
    if (depth < NullMinDepth || !ss->nullAllowed || pos.nonPawnMaterial[pos.sideToMove] <= 0 || ss->staticEval <= beta)
        return false;
    int nullDepth = depth - 3 - depth / 4 - (ss->staticEval - beta) / NullEvalDivisor;
    makeNullMove(pos);
    (ss + 1)->nullAllowed = false;
    ss->currentMove = MoveNull;
    Score v = -searchOrQs<false, MainThread>(thread, ss + 1, -beta, -beta + 1, nullDepth, !cutNode);
    unmakeNullMove(pos);
    (ss + 1)->nullAllowed = true;
    if (stopped()) {
        result = 0;
        return true;
    }
    if (v < beta) return false;
    // A mate found by passing is not a mate of this position.
    if (v >= ScoreMateThreshold) v = beta;
    result = v;
    if (depth < NullVerifyDepth && std::abs(v) < ScoreDecisive) return true;
    ss->nullAllowed = false;
    Score w = search<false, MainThread>(thread, ss, beta - 1, beta, nullDepth, false);
    ss->nullAllowed = true;
    return w >= beta;
}

// ProbCut: a capture that beats beta by a margin in a reduced null-window
// search almost certainly refutes the opponent's last move at full depth too.
// Only captures winning more than that move captured are tried. Returns true
// when the node is decided (result set; 0 after a stop).
template <bool MainThread>
static __attribute__((noinline)) bool probCut(SearchThread& thread, SearchStack* ss, int beta, int depth, bool cutNode,
                                              Move hashMove, const CheckInfo& ci, Score& lastValue, Score& result) {
    Position& pos = thread.pos;
    const int us = pos.sideToMove;
    // The bar is what the opponent's last move captured. A null move decodes
    // as a pawn capture, so after a pass the bar is a pawn, not nothing: with
    // the tempo the pass gave away, winning a pawn is to be expected, and only
    // a capture that wins more says the pass was a mistake.
    const int threshold = CaptureValue[moveCaptured((ss - 1)->currentMove)];
    const int rbeta = std::min(beta + ProbCutMargin, ScoreInfinite);
    const int reducedDepth = probeDepth(depth);

    MovePicker picker;
    initPicker(picker, hashMove, hashMove != MoveNone ? Stage::HashMove : Stage::Captures, Stage::Captures, ci,
               ss->killers, thread.historyTable);
    Move move;
    int orderScore;
    Stage stage;
    while ((move = nextMove(picker, pos, orderScore, stage)) != MoveNone) {
        // A pawn capture wins at most a pawn, which is the margin itself: it
        // beats the raised beta only where the node already stood at beta,
        // so its reduced search would seldom pay.
        if (moveCaptured(move) == Pawn) continue;
        if (see(move, pos, us, pos.occupied) <= threshold) continue;
        if (!isLegal(move, pos, ci)) continue;
        ss->currentMove = move;
        playMove(pos, move, picker.fetchAhead);
        Score v = -search<false, MainThread>(thread, ss + 1, -rbeta, -rbeta + 1, reducedDepth, !cutNode);
        unmakeMove(pos);
        if (stopped()) {
            result = 0;
            return true;
        }
        lastValue = v;
        if (v >= rbeta) {
            result = v;
            return true;
        }
    }
    return false;
}

// The forward pruning of a null-window node before its moves, out of check
// and outside a singular verification search: razoring, static null move,
// null move and ProbCut, in this order. Returns true when one of them decides
// the node (result set).
template <bool MainThread>
[[gnu::always_inline]] inline bool pruneNode(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth,
                                             bool cutNode, Move hashMove, const CheckInfo& ci, Score& lastValue,
                                             Score& result) {
    if (razor<MainThread>(thread, ss, alpha, beta, depth, hashMove, lastValue, result)) return true;
    if (staticNullMove(thread.pos, ss, beta, depth, result)) return true;
    if (nullMove<MainThread>(thread, ss, beta, depth, cutNode, result)) return true;
    return depth >= ProbCutMinDepth && std::abs(beta) < ScoreMateThreshold &&
           probCut<MainThread>(thread, ss, beta, depth, cutNode, hashMove, ci, lastValue, result);
}

// Internal iterative deepening: without a hash move, a reduced search of this
// node finds one, which orders the full search.
template <bool PvNode, bool MainThread>
[[gnu::always_inline]] inline void internalIterativeDeepening(SearchThread& thread, SearchStack* ss, int alpha,
                                                              int beta, int depth, bool cutNode, Move& hashMove) {
    if (hashMove != MoveNone || depth < IidMinDepth) return;
    search<PvNode, MainThread>(thread, ss, alpha, beta, probeDepth(depth), cutNode);
    hashMove = ss->bestMove;
}

// The pruning of a late quiet move, not dangerous, that is no counter move
// and has no outstanding history, at a null-window node out of check once a
// score is known. Move-count pruning comes first, and needs no reduction:
// this far down the ordering nothing is expected. The count never falls
// back, so every later quiet move of this kind goes the same way, and
// fetching ahead for them is wasted. Returns true when the move is pruned.
[[gnu::always_inline]] inline bool pruneByMoveCount(MovePicker& picker, int depth, bool improving, int moveCount) {
    if (depth < MoveCountMaxDepth && moveCount >= moveCountLimit[improving][depth]) {
        stopFetchingAhead(picker);
        return true;
    }
    return false;
}
// The rest of that pruning, once the move's reduction r is known: futility,
// and quiet moves onto squares where they are lost.
[[gnu::always_inline]] inline bool pruneQuiet(const Position& pos, const SearchStack* ss, MovePicker& picker, Move move,
                                              int alpha, int depth, int r, Score& bestScore) {
    // Futility: a quiet move gains little over the static evaluation at the
    // depth it would be searched with.
    int predictedDepth = depth - r - 1;
    if (predictedDepth <= FutilityMaxDepth) {
        Score f = ss->staticEval + FutilityBase + FutilityPerDepth * predictedDepth;
        if (f <= alpha) {
            bestScore = std::max(bestScore, f);
            // The reduction does not fall for later moves of this kind, nor
            // does f rise: they are futile too.
            stopFetchingAhead(picker);
            return true;
        }
    }
    // A quiet move onto a square where it is lost.
    return predictedDepth <= SeePruneMaxDepth && seeFast(move, pos, pos.sideToMove, pos.occupied) < 0;
}
// The extension of a legal move: a ply for a check that does not hang the
// checking piece, or else a ply for a singular hash move: if every other move
// falls well short of the hash move's table score, the hash move is forced.
template <bool MainThread>
[[gnu::always_inline]] inline int moveExtension(SearchThread& thread, SearchStack* ss, Move move, bool checks,
                                                int depth, bool cutNode, Stage stage, Move hashMove,
                                                const TableHint& tt) {
    const Position& pos = thread.pos;
    if (checkExtends(pos, move, checks)) return 1;
    if (depth >= SingularMinDepth && move == hashMove && stage == Stage::HashMove && ss->excludedMove == MoveNone &&
        tt.depth >= depth - SingularTableDepthMargin && (tt.bound == BoundLower || tt.bound == BoundExact) &&
        std::abs(tt.score) < ScoreDecisive) {
        int singularBeta = tt.score - 2 * depth;
        ss->excludedMove = move;
        Score v = search<false, MainThread>(thread, ss, singularBeta - 1, singularBeta, depth / 2, cutNode);
        ss->excludedMove = MoveNone;
        if (v < singularBeta) return 1;
    }
    return 0;
}

// The deferred losing captures, at full depth without reductions or
// extensions. They never teach the history, and unlike the staged moves
// a capture only becomes the node's best move by raising alpha, and is
// put in the variation before a cutoff ends the loop. Returns false after a
// stop.
template <bool PvNode, bool MainThread>
[[gnu::always_inline]] inline bool searchDeferredCaptures(SearchThread& thread, SearchStack* ss, int alpha, int beta,
                                                          int depth, bool cutNode, const CheckInfo& ci, Move hashMove,
                                                          const Move* badCaptures, int badCount, Move* childPv,
                                                          int& moveCount, Score& bestScore, Move& tableMove,
                                                          Score& lastValue) {
    Position& pos = thread.pos;
    for (int i = 0; i < badCount; i++) {
        const Move move = badCaptures[i];
        if (move == hashMove || move == ss->excludedMove) continue;
        moveCount++;
        if (!isLegal(move, pos, ci)) {
            moveCount--;
            continue;
        }
        // The node's currentMove is not set to the capture: it still holds
        // the last move the staged loop played or, when it played none, the
        // last one written before the loop (MoveNull by the null move, a
        // ProbCut capture, or a move of a search of this same stack entry:
        // razoring, the null-move verification, internal iterative
        // deepening), else MoveNone. The child takes that move for its
        // previous one: its counter moves, and with them its reductions and
        // pruning, and its ProbCut threshold follow it, and a quiet cutoff in
        // the child records its counter move under it. Every node count of
        // the search, the benchmark's included, depends on this.
        playMove(pos, move);
        bool reSearched = false;
        const Score v = searchChild<PvNode, MainThread>(thread, ss, alpha, beta, depth - 1, 0, cutNode, moveCount == 1,
                                                        childPv, reSearched);
        unmakeMove(pos);
        if (stopped()) return false;
        lastValue = v;
        if (v > bestScore) {
            bestScore = v;
            if (v > alpha) {
                ss->bestMove = move;
                tableMove = move;
                alpha = v;
                if constexpr (PvNode) appendPv(ss->pvBuffer, move, childPv);
                if (v >= beta) break;
            }
        }
    }
    return true;
}

// End of node: no legal move is mate or stalemate (or, in a singular test,
// simply nothing besides the excluded move). The bound follows lastValue, the
// last score the node saw (its last searched move, or else a razoring or
// ProbCut probe), not bestScore: a cutoff stores a lower bound, and so does a
// node whose moves were all pruned after a ProbCut probe reached beta, while
// a node whose last searched move failed low stores an upper bound even when
// an earlier move scored higher.
template <bool PvNode>
[[gnu::always_inline]] inline Score nodeResult(const Position& pos, const SearchStack* ss, int alpha, int beta,
                                               int depth, bool inCheck, int moveCount, Score bestScore, Move tableMove,
                                               Score lastValue) {
    if (moveCount == 0) {
        if (ss->excludedMove != MoveNone) return alpha;
        bestScore = inCheck ? matedScore(ss->ply) : 0;
    }
    if (ss->excludedMove == MoveNone) {
        const int bound = storedBound(PvNode, lastValue, beta, tableMove);
        storeResult(depth, bestScore, tableMove, bound, pos);
    }
    return bestScore;
}

// The move loop: the staged moves in the picker's order, then the losing
// captures it deferred, then the node's result. The running best score, move
// count, table move and last value stay plain locals handed on by reference:
// gathered in a record they were kept in memory, a cost on every move.
template <bool PvNode, bool MainThread>
[[gnu::always_inline]] inline Score searchMoves(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth,
                                                bool cutNode, const CheckInfo& ci, const TableHint& tt, Move hashMove,
                                                Score lastValue) {
    Position& pos = thread.pos;
    const bool inCheck = ci.checkerCount > 0;
    const int us = pos.sideToMove;
    const bool improving =
        ss->staticEval != ScoreNone && (ss - 2)->staticEval != ScoreNone && ss->staticEval >= (ss - 2)->staticEval;
    const Move* counters = counterPair(thread, pos, (ss - 1)->currentMove);
    const Move counter1 = counters[0];
    const Move counter2 = counters[1];
    (ss + 1)->nullAllowed = true;
    Score bestScore = -ScoreInfinite;
    int moveCount = 0;
    Move tableMove = MoveNone;
    Move quietsSearched[MaxQuietsSearched];
    int quietCount = 0;
    Move badCaptures[MaxBadCaptures];
    int badCount = 0;
    Move childPv[PvNodeBufferSize<PvNode>];
    bool cutoff = false;

    MovePicker picker;
    initPicker(picker, hashMove, hashMove != MoveNone ? Stage::HashMove : Stage::Captures,
               inCheck ? Stage::Captures : Stage::Quiets, ci, ss->killers, thread.historyTable);

    Move move;
    int orderScore;
    Stage stage;
    while ((move = nextMove(picker, pos, orderScore, stage)) != MoveNone) {
        // 1. The excluded move of a singular test is left out.
        if (move == ss->excludedMove) continue;

        // 2. Captures that lose material wait until every quiet move is searched.
        const bool quiet = isQuiet(move);
        if (!inCheck && move != hashMove && isCapture(move) && badCount < MaxBadCaptures &&
            seeFast(move, pos, us, pos.occupied) < 0) {
            badCaptures[badCount++] = move;
            continue;
        }

        // 3. Checks and pawn advances the enemy pawns cannot stop are never pruned.
        const bool checks = givesCheck(move, pos);
        const bool dangerous =
            checks || (movePiece(move) == Pawn && !(PawnAttacks[us][moveTo(move)] & pos.pieceBB[us ^ 1][Pawn]));

        // 4. Counted even if pruned below, so later moves count as later.
        moveCount++;

        // 5. Late quiet moves of null-window nodes that the move count prunes.
        const bool prunable = !PvNode && !inCheck && !dangerous && quiet && bestScore > -ScoreInfinite &&
                              move != counter1 && move != counter2 && orderScore <= OrderMaxHistory;
        if (prunable && pruneByMoveCount(picker, depth, improving, moveCount)) continue;

        // 6. Late-move reduction, then the other pruning of late quiet moves.
        const int r =
            quiet ? quietReduction<PvNode>(cutNode, improving, moveCount, depth, orderScore, move, counter1, counter2)
                  : 0;
        if (prunable && pruneQuiet(pos, ss, picker, move, alpha, depth, r, bestScore)) continue;

        // 7. Pseudo-legal moves that leave the king in check are not moves.
        if (!isLegal(move, pos, ci)) {
            moveCount--;
            continue;
        }

        // 8. Extensions, then play the move.
        const int newDepth =
            depth - 1 + moveExtension<MainThread>(thread, ss, move, checks, depth, cutNode, stage, hashMove, tt);
        playMove(pos, move, picker.fetchAhead);
        ss->currentMove = move;

        // 9. The first move of a PV node gets the open window; later moves
        //    must first beat alpha in a (reduced) null-window search.
        bool reSearched = false;
        const Score v = searchChild<PvNode, MainThread>(thread, ss, alpha, beta, newDepth, r, cutNode, moveCount == 1,
                                                        childPv, reSearched);

        // 10. After a stop the value means nothing: unwind at once.
        unmakeMove(pos);
        if (stopped()) return 0;
        lastValue = v;

        // 11. Fail-soft: the best value so far, alpha raised, or a cutoff.
        if (v > bestScore) {
            bestScore = v;
            ss->bestMove = move;
            if (v > alpha) {
                tableMove = move;
                if (v >= beta) {
                    if (quiet && !inCheck) updateQuietStats(thread, ss, move, depth, quietsSearched, quietCount);
                    cutoff = true;
                    break;
                }
                alpha = v;
                if constexpr (PvNode) appendPv(ss->pvBuffer, move, childPv);
            }
        }

        // 12. Quiet moves that failed are the ones a later cutoff punishes.
        if (quiet && !inCheck && !reSearched && move != counter1 && move != counter2 && quietCount < MaxQuietsSearched)
            quietsSearched[quietCount++] = move;
    }

    if (!cutoff &&
        !searchDeferredCaptures<PvNode, MainThread>(thread, ss, alpha, beta, depth, cutNode, ci, hashMove, badCaptures,
                                                    badCount, childPv, moveCount, bestScore, tableMove, lastValue))
        return 0;
    return nodeResult<PvNode>(pos, ss, alpha, beta, depth, inCheck, moveCount, bestScore, tableMove, lastValue);
}

}  // namespace phase

// The node search: set-up, table probe, static evaluation and forward
// pruning (null-window nodes only), internal iterative deepening, then the
// move loop.
template <bool PvNode, bool MainThread>
static Score search(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode) {
    // Every window lies within the score range; a null-window node gets one.
    assert(-ScoreInfinite <= alpha && alpha < beta && beta <= ScoreInfinite);
    assert(PvNode || beta == alpha + 1);

    // At the horizon the quiescence search resolves the captures.
    if (depth <= 0) return qsearchEntry<PvNode, MainThread>(thread, ss, alpha, beta);

    Position& pos = thread.pos;
    // A PV node's variation is empty until a move raises alpha, so an early
    // return (or a node without moves) never leaves a stale line behind.
    if constexpr (PvNode) ss->pvBuffer[0] = MoveNone;

    if (!enterNode<MainThread, false>(thread, ss)) return 0;

    phase::TableHint tt;
    const Score cut = phase::probeNode(pos, ss, alpha, beta, depth, tt);
    if (cut != ScoreNone) return cut;

    // Check information; a hash move from another position (a key collision
    // or a torn slot) is dropped.
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    Move hashMove = tt.move;
    if (hashMove != MoveNone && !isPseudoLegal(hashMove, pos, ci)) hashMove = MoveNone;
    // The hash move goes first: its child's entries load while this node evaluates.
    if (hashMove != MoveNone) prefetchChild(pos, hashMove);
    Score lastValue = ScoreNone;

    // Out of check a null-window node evaluates and tries to prune the node
    // at once (not in a singular verification search, which only searches the
    // other moves); PV nodes go straight on to internal iterative deepening.
    if (ci.checkerCount == 0) {
        if constexpr (!PvNode) ss->staticEval = phase::staticEvaluation(pos, ss->staticEval, tt.bound);
        if (ss->excludedMove == MoveNone) {
            if constexpr (!PvNode) {
                Score result;
                if (phase::pruneNode<MainThread>(thread, ss, alpha, beta, depth, cutNode, hashMove, ci, lastValue,
                                                 result))
                    return result;
            }
            phase::internalIterativeDeepening<PvNode, MainThread>(thread, ss, alpha, beta, depth, cutNode, hashMove);
        }
    }

    return phase::searchMoves<PvNode, MainThread>(thread, ss, alpha, beta, depth, cutNode, ci, tt, hashMove, lastValue);
}

template <bool MainThread>
Score searchPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode) {
    return search<true, MainThread>(thread, ss, alpha, beta, depth, cutNode);
}

template <bool MainThread>
Score searchNonPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode) {
    return search<false, MainThread>(thread, ss, alpha, beta, depth, cutNode);
}

template Score searchPV<true>(SearchThread&, SearchStack*, int, int, int, bool);
template Score searchPV<false>(SearchThread&, SearchStack*, int, int, int, bool);
template Score searchNonPV<true>(SearchThread&, SearchStack*, int, int, int, bool);
template Score searchNonPV<false>(SearchThread&, SearchStack*, int, int, int, bool);

template <bool MainThread>
Score searchRootChild(SearchThread& thread, SearchStack* rootSs, int alpha, int beta, int newDepth, int reduction,
                      bool firstMove, Move* childPv) {
    bool reSearched = false;
    return searchChild<true, MainThread>(thread, rootSs, alpha, beta, newDepth, reduction, false, firstMove, childPv,
                                         reSearched);
}

template Score searchRootChild<true>(SearchThread&, SearchStack*, int, int, int, int, bool, Move*);
template Score searchRootChild<false>(SearchThread&, SearchStack*, int, int, int, int, bool, Move*);
