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
constexpr int OrderTopQuiet = ScoreKiller0;
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

// ProbCut: a capture that beats beta by a margin in a reduced null-window
// search almost certainly refutes the opponent's last move at full depth too.
// Only captures winning more than that move captured are tried. Returns true
// when the node is decided (result set; 0 after a stop).
template <bool MainThread>
static __attribute__((noinline)) bool probCut(SearchThread& thread, SearchStack* ss, int beta, int depth, bool cutNode,
                                              Move hashMove, const CheckInfo& ci, Score& lastValue, Score& result) {
    Position& pos = thread.pos;
    const int us = pos.sideToMove;
    const int threshold = CaptureValue[moveCaptured((ss - 1)->currentMove)];
    const int rbeta = std::min(beta + ProbCutMargin, ScoreInfinite);
    const int probeDepth = depth - depth / 4 - 2;

    MovePicker picker;
    initPicker(picker, hashMove, hashMove != MoveNone ? Stage::HashMove : Stage::Captures, Stage::Captures, ci,
               ss->killers, thread.historyTable);
    Move move;
    int orderScore;
    Stage stage;
    while ((move = nextMove(picker, pos, orderScore, stage)) != MoveNone) {
        if (moveCaptured(move) == Pawn) continue;
        if (see(move, pos, us, pos.occupied) <= threshold) continue;
        if (!isLegal(move, pos, ci)) continue;
        ss->currentMove = move;
        playMove(pos, move);
        Score v = -search<false, MainThread>(thread, ss + 1, -rbeta, -rbeta + 1, probeDepth, !cutNode);
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

template <bool PvNode, bool MainThread>
static Score search(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode) {
    // Every window lies within the score range; a null-window node gets one.
    assert(-ScoreInfinite <= alpha && alpha < beta && beta <= ScoreInfinite);
    assert(PvNode || beta == alpha + 1);

    // 1. At the horizon the quiescence search resolves the captures.
    if (depth <= 0) return qsearchEntry<PvNode, MainThread>(thread, ss, alpha, beta);

    Position& pos = thread.pos;
    // A PV node's variation is empty until a move raises alpha, so an early
    // return (or a node without moves) never leaves a stale line behind.
    if constexpr (PvNode) ss->pvBuffer[0] = MoveNone;

    // 2. Periodic check.
    if (thread.localNodes % CheckInterval == 0 && periodicCheckAborts<MainThread>(thread)) return 0;

    // 3. Node set-up: the killers two plies down are only inherited from
    //    siblings searched earlier.
    ss->ply = (ss - 1)->ply + 1;
    ss->bestMove = MoveNone;
    ss->currentMove = MoveNone;
    (ss + 2)->killers[0] = (ss + 2)->killers[1] = MoveNone;
    (ss + 1)->excludedMove = MoveNone;
    thread.localNodes++;

    // 4. Draws by rule and the ply limit.
    if (isDraw(pos) || ss->ply >= MaxPly) return 0;

    // 5. Nothing known yet.
    ss->staticEval = ScoreNone;
    Move hashMove = MoveNone;
    int ttScore = ScoreNone;
    int ttBound = BoundNone;
    int ttDepth = DepthNone;

    // 6. Table probe: a deep enough entry with a usable bound decides the node.
    //    A singular verification search skips it, since the entry describes the
    //    node with the excluded move included.
    if (ss->excludedMove == MoveNone) {
        TTProbe probe;
        Score cut = probeTT(pos, depth, alpha, beta, probe, ss->ply);
        if (cut != ScoreNone) return cut;
        if (probe.hit) {
            hashMove = probe.move;
            ttScore = probe.score;
            ttBound = probe.bound;
            ttDepth = probe.depth;
            ss->staticEval = probe.staticEval;
        }
    }

    // 7. Check information; a hash move from another position (a key
    //    collision or a torn slot) is dropped.
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    if (hashMove != MoveNone && !isPseudoLegal(hashMove, pos, ci)) hashMove = MoveNone;
    // The hash move goes first: its child's entries load while this node evaluates.
    if (hashMove != MoveNone) prefetchChild(pos, hashMove);
    const bool inCheck = ci.checkerCount > 0;
    const int us = pos.sideToMove;
    Score lastValue = ScoreNone;

    if constexpr (!PvNode) {
        // 8. Static evaluation. A shallower table bound that lies on the right
        //    side of it is a better estimate than the evaluation itself.
        if (!inCheck) {
            Score e = evaluate(pos);
            Score s = ss->staticEval;
            if (s != ScoreNone && ((e < s && ttBound == BoundLower) || (e > s && ttBound == BoundUpper)))
                ss->staticEval = s;
            else
                ss->staticEval = e;
        }

        // 9. A singular verification search only searches the other moves.
        if (ss->excludedMove == MoveNone) {
            // 10. Razoring: far below alpha at shallow depth, and with no pawn
            //     about to promote, only captures could save the node; if the
            //     quiescence search cannot reach a lowered alpha, give up.
            if (!inCheck && hashMove == MoveNone && std::abs(beta) < ScoreDecisive &&
                !(pos.pieceBB[us][Pawn] & seventhRank(us)) && depth <= RazorMaxDepth) {
                int margin = RazorBase + RazorPerDepthSquared * depth * depth;
                if (ss->staticEval + margin <= alpha) {
                    if (depth == 1 && ss->staticEval + RazorQsearchMargin <= alpha)
                        return qsearchNonPV<MainThread>(thread, ss, alpha, beta, 0);
                    // At these depths the verification is a quiescence search
                    // of a null window at the lowered alpha.
                    int razorAlpha = alpha - margin;
                    Score v = qsearchNonPV<MainThread>(thread, ss, razorAlpha, razorAlpha + 1, 0);
                    if (v <= razorAlpha) return v;
                    lastValue = v;
                }
            }

            // 11. Static null-move pruning: so far above beta near the leaves
            //     that no quiet reply of the opponent is expected to recover.
            //     Needs pieces, since pawn endings are full of zugzwang.
            if (!inCheck && pos.nonPawnMaterial[us] > 0 && depth <= StaticNullMaxDepth &&
                ss->staticEval < ScoreDecisive) {
                Score v = ss->staticEval - StaticNullPerDepth * depth;
                if (v >= beta) return v;
            }

            // 12. Null move: if passing the move still fails high in a reduced
            //     search, a real move will too (zugzwang aside, hence the piece
            //     condition and the verification of deep or decisive results).
            if (depth >= NullMinDepth && !inCheck && ss->nullAllowed && pos.nonPawnMaterial[us] > 0 &&
                ss->staticEval > beta) {
                int nullDepth = depth - 3 - depth / 4 - (ss->staticEval - beta) / NullEvalDivisor;
                makeNullMove(pos);
                (ss + 1)->nullAllowed = false;
                ss->currentMove = MoveNull;
                Score v = -searchOrQs<false, MainThread>(thread, ss + 1, -beta, -beta + 1, nullDepth, !cutNode);
                unmakeNullMove(pos);
                (ss + 1)->nullAllowed = true;
                if (stopped()) return 0;
                if (v >= beta) {
                    // A mate found by passing is not a mate of this position.
                    if (v >= ScoreMateThreshold) v = beta;
                    if (depth < NullVerifyDepth && std::abs(v) < ScoreDecisive) return v;
                    ss->nullAllowed = false;
                    Score w = search<false, MainThread>(thread, ss, beta - 1, beta, nullDepth, false);
                    ss->nullAllowed = true;
                    if (w >= beta) return v;
                }
            }

            // 13. ProbCut.
            if (depth >= ProbCutMinDepth && !inCheck && std::abs(beta) < ScoreMateThreshold) {
                Score result;
                if (probCut<MainThread>(thread, ss, beta, depth, cutNode, hashMove, ci, lastValue, result))
                    return result;
            }

            // 14. Internal iterative deepening: without a hash move, a reduced
            //     search of this node finds one, which orders the full search.
            if (hashMove == MoveNone && depth >= IidMinDepth && !inCheck) {
                search<false, MainThread>(thread, ss, alpha, beta, depth - depth / 4 - 2, cutNode);
                hashMove = ss->bestMove;
            }
        }
    } else {
        // PV nodes: no static evaluation and no forward pruning, only internal
        // iterative deepening.
        if (ss->excludedMove == MoveNone && hashMove == MoveNone && depth >= IidMinDepth && !inCheck) {
            search<true, MainThread>(thread, ss, alpha, beta, depth - depth / 4 - 2, cutNode);
            hashMove = ss->bestMove;
        }
    }

    // Move loop set-up.
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

        // 5. Late-move reduction: late quiet moves of a well-ordered list rarely
        //    matter; more for a bad history, less for killers, castling and
        //    counter moves.
        int r = 0;
        if (quiet && moveCount > 1 && depth > 2 && orderScore <= OrderTopQuiet) {
            r = lateMoveReduction(PvNode, cutNode, improving, moveCount, depth) + (orderScore < 0 ? 1 : 0);
            if (r > 0 && (orderScore > OrderMaxHistory || move == counter1 || move == counter2)) r--;
        }

        // 6. Pruning of late quiet moves at null-window nodes.
        if constexpr (!PvNode) {
            if (!inCheck && !dangerous && quiet && bestScore > -ScoreInfinite && move != counter1 && move != counter2 &&
                orderScore <= OrderMaxHistory) {
                // Move-count pruning: this far down the ordering nothing is expected.
                if (depth < MoveCountMaxDepth && moveCount >= moveCountLimit[improving][depth]) continue;
                // Futility: a quiet move gains little over the static evaluation
                // at the depth it would be searched with.
                int predictedDepth = depth - r - 1;
                if (predictedDepth <= FutilityMaxDepth) {
                    Score f = ss->staticEval + FutilityBase + FutilityPerDepth * predictedDepth;
                    if (f <= alpha) {
                        bestScore = std::max(bestScore, f);
                        continue;
                    }
                }
                // A quiet move onto a square where it is lost.
                if (predictedDepth <= SeePruneMaxDepth && seeFast(move, pos, us, pos.occupied) < 0) continue;
            }
        }

        // 7. Pseudo-legal moves that leave the king in check are not moves.
        if (!isLegal(move, pos, ci)) {
            moveCount--;
            continue;
        }

        // 8. Check extension for checks that do not hang the checking piece.
        int ext = 0;
        if (checks && seeFast(move, pos, us, pos.occupied) >= 0) ext = 1;

        // 9. Singular extension: if every other move falls well short of the
        //    hash move's table score, the hash move is forced and gets a ply more.
        if (depth >= SingularMinDepth && ext == 0 && move == hashMove && stage == Stage::HashMove &&
            ss->excludedMove == MoveNone && ttDepth >= depth - SingularTableDepthMargin &&
            (ttBound == BoundLower || ttBound == BoundExact) && std::abs(ttScore) < ScoreDecisive) {
            int singularBeta = ttScore - 2 * depth;
            ss->excludedMove = move;
            Score v = search<false, MainThread>(thread, ss, singularBeta - 1, singularBeta, depth / 2, cutNode);
            ss->excludedMove = MoveNone;
            if (v < singularBeta) ext = 1;
        }

        // 10. Play the move.
        const int newDepth = depth - 1 + ext;
        playMove(pos, move);
        ss->currentMove = move;

        // 11. The first move of a PV node gets the open window; later moves
        //     must first beat alpha in a (reduced) null-window search.
        bool reSearched = false;
        const Score v = searchChild<PvNode, MainThread>(thread, ss, alpha, beta, newDepth, r, cutNode, moveCount == 1,
                                                        childPv, reSearched);

        // 12. After a stop the value means nothing: unwind at once.
        unmakeMove(pos);
        if (stopped()) return 0;
        lastValue = v;

        // 13. Fail-soft: the best value so far, alpha raised, or a cutoff.
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

        // 14. Quiet moves that failed are the ones a later cutoff punishes.
        if (quiet && !inCheck && !reSearched && move != counter1 && move != counter2 && quietCount < MaxQuietsSearched)
            quietsSearched[quietCount++] = move;
    }

    // The deferred losing captures, at full depth without reductions or
    // extensions. They never teach the history, and unlike the staged moves
    // a capture only becomes the node's best move by raising alpha, and is
    // put in the variation before a cutoff ends the loop.
    for (int i = 0; !cutoff && i < badCount; i++) {
        move = badCaptures[i];
        if (move == hashMove || move == ss->excludedMove) continue;
        moveCount++;
        if (!isLegal(move, pos, ci)) {
            moveCount--;
            continue;
        }
        // The node's currentMove is left as the staged loop left it: the
        // deferred captures are searched without announcing themselves to
        // the children's counter-move and ProbCut logic.
        playMove(pos, move);
        bool reSearched = false;
        const Score v = searchChild<PvNode, MainThread>(thread, ss, alpha, beta, depth - 1, 0, cutNode, moveCount == 1,
                                                        childPv, reSearched);
        unmakeMove(pos);
        if (stopped()) return 0;
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

    // End of node: no legal move is mate or stalemate (or, in a singular
    // test, simply nothing besides the excluded move).
    if (moveCount == 0) {
        if (ss->excludedMove != MoveNone) return alpha;
        bestScore = inCheck ? ss->ply - ScoreInfinite : 0;
    }
    // The bound follows lastValue, the last score the node saw (its last
    // searched move, or else a razoring or ProbCut probe), not bestScore: a
    // cutoff stores a lower bound, and so does a node whose moves were all
    // pruned after a ProbCut probe reached beta. The benchmark signature
    // depends on this choice.
    if (ss->excludedMove == MoveNone) {
        int bound = lastValue >= beta ? BoundLower : (PvNode && tableMove != MoveNone ? BoundExact : BoundUpper);
        storeResult(depth, bestScore, tableMove, bound, pos);
    }
    return bestScore;
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
