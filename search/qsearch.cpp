// Quiescence search: captures (and quiet checks at its first ply) until the
// position is quiet, standing pat on the static evaluation.
#include <cassert>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/see.h"
#include "board/tables.h"
#include "eval/eval.h"
#include "search/node.h"
#include "search/picker.h"
#include "search/tt.h"

namespace {

// A capture this far above the stand-pat that still cannot reach beta is hopeless.
constexpr int QsFutilityMargin = 286;
// Below this base the futility estimate means nothing (the side is lost anyway).
constexpr int QsFutilityFloor = -ScoreDecisive;
// Futility by captured value only while the side keeps more than a rook of pieces.
constexpr int QsFutilityMaterial = NonPawnValue[Rook];
// Table depths of quiescence entries: the first ply (and evasions) search
// quiet checks or all moves, deeper plies captures only.
constexpr int QsDepthChecks = 0;
constexpr int QsDepthCaptures = -2;

// Whether the side to move holds a castling right whose path is clear and whose
// rook square is safe. In check, such a side keeps every evasion: the king can
// still castle to safety once the check is met, so an evasion that loses
// material by the exchange count (a piece interposed rather than a king move
// that gives the right up) may well be the best, and none is passed over.
bool castlingPathOpen(const Position& pos) {
    const int us = pos.sideToMove;
    for (int right = 2 * us; right < 2 * us + 2; right++)
        if ((pos.castleRights & (1 << right)) && castlingPathClear(pos, right)) return true;
    return false;
}

// Whether a null-window node passes over a move. Checks are never pruned by
// futility: the stand-pat bound does not hold for the side in check. A move
// passed over by futility raises bestScore to what it could at most gain.
[[gnu::always_inline]] inline bool prunesMove(Position& pos, const SearchStack* ss, MovePicker& picker, Move move,
                                              int beta, bool inCheck, bool keepAllEvasions, Score& bestScore) {
    const int us = pos.sideToMove;
    const bool promotion = isPromotion(move);
    if (!inCheck) {
        // Futility: even winning the captured piece for free would not lift
        // the stand-pat score to beta. Both of its tests need the base below
        // beta (the captured value is never negative), so only then is it
        // worth asking whether the move checks.
        const int futilityBase = ss->staticEval + QsFutilityMargin;
        if (!promotion && futilityBase > QsFutilityFloor && futilityBase < beta && !givesCheck(move, pos)) {
            const int futilityValue = futilityBase + CaptureValue[moveCaptured(move)];
            if (pos.nonPawnMaterial[us] > QsFutilityMaterial && futilityValue < beta) {
                if (futilityValue > bestScore) bestScore = futilityValue;
                // Captures come about in the order of what they take, so the
                // ones still to come are nearly all futile as well.
                stopFetchingAhead(picker);
                return true;
            }
            if (see(move, pos, us, pos.occupied) <= 0) {
                if (futilityBase > bestScore) bestScore = futilityBase;
                return true;
            }
            // The exchange wins material: the exchange test below, which
            // would look at it again, cannot pass it over.
            return false;
        }
        // A capture that loses material in the exchange cannot help a side
        // that could stand pat instead.
        return !promotion && seeFast(move, pos, us, pos.occupied) < 0;
    }
    // Once one evasion has been searched, evasions that lose material are
    // not worth a look.
    return bestScore > -ScoreInfinite && !keepAllEvasions && !promotion && seeFast(move, pos, us, pos.occupied) < 0;
}

}  // namespace

template <bool PvNode, bool MainThread>
static Score qsearch(SearchThread& thread, SearchStack* ss, int alpha, int beta, int qdepth) {
    assert(-ScoreInfinite <= alpha && alpha < beta && beta <= ScoreInfinite);
    assert(PvNode || beta == alpha + 1);
    Position& pos = thread.pos;
    Move childPv[PvBufferSize];

    // 1. A PV node starts with an empty variation and gives its child a buffer.
    if constexpr (PvNode) {
        ss->pvBuffer[0] = MoveNone;
        (ss + 1)->pvBuffer = childPv;
        childPv[0] = MoveNone;
    }

    // 2. The periodic check, the node's entry, drawn positions and the ply limit.
    if (!enterNode<MainThread, true>(thread, ss)) return 0;

    // 3. Check information and the depth this node stores.
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    const bool inCheck = ci.checkerCount > 0;
    const int ttDepth = (inCheck || qdepth == 0) ? QsDepthChecks : QsDepthCaptures;

    // 4. Table probe.
    TTProbe probe;
    Score ttCut = probeTT(pos, ttDepth, alpha, beta, probe, ss->ply);
    if (ttCut != ScoreNone) return ttCut;
    Move hashMove = MoveNone;
    if (probe.hit) {
        hashMove = probe.move;
        if (hashMove != MoveNone && !isPseudoLegal(hashMove, pos, ci)) hashMove = MoveNone;
        // The hash move goes first: its child's entries load while this node evaluates.
        if (hashMove != MoveNone) prefetchChild(pos, hashMove);
        if (probe.shallowCutScore != ScoreNone) ss->staticEval = probe.shallowCutScore;
    }

    // 5. Stand pat: out of check the side to move may decline every capture,
    //    so the static evaluation is a lower bound of the node.
    Score bestScore = -ScoreInfinite;
    if (!inCheck) {
        ss->staticEval = evaluate(pos);
        bestScore = ss->staticEval;
        if (bestScore >= beta) return bestScore;
        if (ss->staticEval > alpha) alpha = ss->staticEval;
    }

    // 6. Stages: hash move, captures (evasions in check), quiet checks at the first ply.
    MovePicker picker;
    initPicker(picker, hashMove, hashMove != MoveNone ? Stage::QsHashMove : Stage::QsCaptures,
               (qdepth == 0 && !inCheck) ? Stage::QuietChecks : Stage::QsCaptures, ci, ss->killers,
               thread.historyTable);

    const bool keepAllEvasions = !PvNode && inCheck && castlingPathOpen(pos);
    Move tableMove = MoveNone;
    Move move;
    int orderScore;
    Stage stage;
    while ((move = nextMove(picker, pos, orderScore, stage)) != MoveNone) {
        // Pruning of null-window nodes (never in a PV node, which searches
        // every legal capture).
        if constexpr (!PvNode) {
            if (prunesMove(pos, ss, picker, move, beta, inCheck, keepAllEvasions, bestScore)) continue;
        }

        if (!isLegal(move, pos, ci)) continue;

        ss->currentMove = move;
        playMove(pos, move, picker.fetchAhead);
        Score v = PvNode ? -qsearch<true, MainThread>(thread, ss + 1, -beta, -alpha, qdepth - 1)
                         : -qsearch<false, MainThread>(thread, ss + 1, -beta, -alpha, qdepth - 1);
        unmakeMove(pos);
        if (stopped()) return 0;

        if (v > bestScore) {
            bestScore = v;
            ss->bestMove = move;
            if (v > alpha) {
                if (v >= beta) {
                    // The table keeps the last move that raised alpha, not the cutoff move.
                    storeResult(ttDepth, v, tableMove, BoundLower, pos);
                    return v;
                }
                alpha = v;
                tableMove = move;
                if constexpr (PvNode) appendPv(ss->pvBuffer, move, childPv);
            }
        }
    }

    // Checkmated: no evasion was searched.
    if (inCheck && bestScore == -ScoreInfinite) return matedScore(ss->ply);

    storeResult(ttDepth, bestScore, tableMove, storedBound(PvNode, bestScore, beta, tableMove), pos);
    return bestScore;
}

template <bool MainThread>
Score qsearchPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int qdepth) {
    return qsearch<true, MainThread>(thread, ss, alpha, beta, qdepth);
}

template <bool MainThread>
Score qsearchNonPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int qdepth) {
    return qsearch<false, MainThread>(thread, ss, alpha, beta, qdepth);
}

template Score qsearchPV<true>(SearchThread&, SearchStack*, int, int, int);
template Score qsearchPV<false>(SearchThread&, SearchStack*, int, int, int);
template Score qsearchNonPV<true>(SearchThread&, SearchStack*, int, int, int);
template Score qsearchNonPV<false>(SearchThread&, SearchStack*, int, int, int);
