// The root of the search: iterative deepening with aspiration windows and
// MultiPV over the legal root moves, the "info" and "bestmove" output of the
// main thread, and the helper threads' silent copy of the same loop.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/see.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/report.h"
#include "search/root.h"
#include "search/search.h"
#include "search/tables.h"
#include "search/timeman.h"
#include "search/tt.h"

namespace {

// Aspiration: the first window half-width, used from this depth on.
constexpr int AspirationDelta = 12;
constexpr int AspirationMinDepth = 5;
// A change of the best root move buys this much instability (extra time),
// which halves with every iteration that keeps its best move.
constexpr int InstabilityPerChange = 200;
constexpr int MaxMultiPv = 100;
// The clock limit before the first budget is published.
constexpr int64_t TimeLimitUnset = 9999999;

struct RootState {
    Move moves[MaxMoves];
    int scores[MaxMoves];
    int moveCount;
    int lineCount;
    int lineScore[MaxMultiPv];
    Move bestMove[MaxMultiPv];
    std::vector<Move> pvLine[MaxMultiPv];
};

inline bool isCastling(Move m) {
    return movePiece(m) == King && std::abs(fileOf(moveFrom(m)) - fileOf(moveTo(m))) == 2;
}

// The root publishes the thread's count so that the info lines are current,
// and starts the count afresh like the periodic check does, so that every
// node is counted exactly once.
inline void publishNodes(SearchThread& thread) {
    Control.nodes.fetch_add(thread.localNodes, std::memory_order_relaxed);
    thread.localNodes = 0;
}

SearchProgress progressAt(int depth) {
    SearchProgress p;
    p.depth = depth;
    p.selDepth = std::max(depth, int(Control.selDepth.load(std::memory_order_relaxed)));
    p.nodes = Control.nodes.load(std::memory_order_relaxed);
    p.timeMs = std::max<int64_t>(1, nowMs() - Control.startTime.load(std::memory_order_relaxed));
    p.hashfull = hashfull();
    return p;
}

// The final line of one principal variation.
void reportLine(int depth, int k, const RootState& root) {
    if (!Reporter.line) return;
    const std::vector<Move>& pv = root.pvLine[k];
    Reporter.line(progressAt(depth), k + 1, root.lineScore[k], pv.data(), int(pv.size()));
}

// An aspiration failure of a single-line search: the bound and the move now first.
void reportBound(int depth, int score, bool lower, Move first) {
    if (Reporter.bound) Reporter.bound(progressAt(depth), score, lower, first);
}

// Insertion sort, highest score first; an entry moves up past strictly lower
// scores only, so equal scores keep their order. Entries from..count-1 are
// inserted into the list before them.
void sortRootMoves(RootState& root, int from, int count) {
    for (int i = std::max(from, 1); i < count; i++) {
        Move m = root.moves[i];
        int s = root.scores[i];
        int j = i;
        while (j > 0 && root.scores[j - 1] < s) {
            root.moves[j] = root.moves[j - 1];
            root.scores[j] = root.scores[j - 1];
            j--;
        }
        root.moves[j] = m;
        root.scores[j] = s;
    }
}

// The same over the first lines, with their variations and line scores.
void sortLines(RootState& root, int lines) {
    for (int i = 1; i < lines; i++) {
        Move m = root.moves[i];
        int s = root.scores[i];
        int ls = root.lineScore[i];
        std::vector<Move> pv = std::move(root.pvLine[i]);
        int j = i;
        while (j > 0 && root.scores[j - 1] < s) {
            root.moves[j] = root.moves[j - 1];
            root.scores[j] = root.scores[j - 1];
            root.lineScore[j] = root.lineScore[j - 1];
            root.pvLine[j] = std::move(root.pvLine[j - 1]);
            j--;
        }
        root.moves[j] = m;
        root.scores[j] = s;
        root.lineScore[j] = ls;
        root.pvLine[j] = std::move(pv);
    }
}

template <bool MainThread>
void rootSearch(SearchThread& thread) {
    Position& pos = thread.pos;

    // 1. Fresh counters and ordering tables.
    thread.localNodes = 0;
    std::memset(thread.historyTable, 0, sizeof(thread.historyTable));
    std::memset(thread.counterMoves, 0, sizeof(thread.counterMoves));

    // 2. The stack starts zeroed: ply 0, no moves, static evaluation 0.
    SearchStack stack[StackSize];
    std::memset(static_cast<void*>(stack), 0, sizeof(stack));
    SearchStack* const rootSs = stack + StackEntriesBeforeRoot;
    rootSs->ply = 0;
    Move rootPv[PvBufferSize];
    rootPv[0] = MoveNone;

    // 3. The root's own table entry counts as used by this search.
    refreshRoot(pos);

    // 4. The legal root moves in generation order.
    RootState root;
    root.moveCount = generateLegalMoves(pos, root.moves);
    for (int i = 0; i < root.moveCount; i++) root.scores[i] = 0;

    // 5. Lines to search; no budget until the first iteration is done.
    const int multiPv = std::clamp(int(thread.limits.multiPv), 1, MaxMultiPv);
    root.lineCount = std::min(multiPv, root.moveCount);
    for (int k = 0; k < MaxMultiPv; k++) {
        root.lineScore[k] = -ScoreInfinite;
        root.bestMove[k] = MoveNone;
        root.pvLine[k].clear();
    }
    Control.timeLimit.store(TimeLimitUnset, std::memory_order_relaxed);

    int aspAlpha = -ScoreInfinite;
    int aspBeta = ScoreInfinite;
    int delta = AspirationDelta;
    int instability = 0;
    Move prevBest = MoveNone;
    const int us = pos.sideToMove;

    for (int depth = 1; depth <= thread.limits.depthLimit; depth++) {
        // 1. Between iterations: "stop", the clock, the node limit.
        if (depth > 1) {
            if (stopped()) break;
            if constexpr (MainThread) {
                if (shouldStop(instability, thread)) break;
                if (thread.limits.nodeLimit >= 0 &&
                    Control.nodes.load(std::memory_order_relaxed) >= uint64_t(thread.limits.nodeLimit))
                    break;
            }
        }

        // 2. One aspiration search per line.
        for (int pvIdx = 0; pvIdx < root.lineCount; pvIdx++) {
            if (depth >= AspirationMinDepth) {
                delta = AspirationDelta;
                aspAlpha = std::max(root.lineScore[pvIdx] - AspirationDelta, -ScoreInfinite);
                aspBeta = std::min(root.lineScore[pvIdx] + AspirationDelta, ScoreInfinite);
            }
            int bestScore;
            for (;;) {
                bestScore = -ScoreInfinite;
                int alpha = aspAlpha;
                Control.selDepth.store(0, std::memory_order_relaxed);
                int moveNumber = 0;

                for (int i = pvIdx; i < root.moveCount; i++) {
                    const Move move = root.moves[i];
                    moveNumber++;
                    const int ext = (givesCheck(move, pos) && seeFast(move, pos, us, pos.occupied) >= 0) ? 1 : 0;
                    const int r =
                        isQuiet(move) ? rootReduction(move, moveNumber, depth, pos, thread.historyTable) : 0;

                    playMove(pos, move);
                    rootSs->currentMove = move;
                    const int newDepth = depth - 1 + ext;
                    (rootSs + 1)->nullAllowed = true;
                    Score v;
                    if (moveNumber == 1) {
                        rootPv[0] = MoveNone;
                        (rootSs + 1)->pvBuffer = rootPv;
                        v = -searchPV<MainThread>(thread, rootSs + 1, -aspBeta, -alpha, newDepth, false);
                    } else {
                        bool done = false;
                        if (r > 0) {
                            v = -searchNonPV<MainThread>(thread, rootSs + 1, -alpha - 1, -alpha,
                                                         std::max(newDepth - r, 1), true);
                            done = v <= alpha;
                        }
                        if (!done) {
                            v = -searchNonPV<MainThread>(thread, rootSs + 1, -alpha - 1, -alpha, newDepth, true);
                            if (alpha < v && v < aspBeta) {
                                (rootSs + 1)->pvBuffer = rootPv;
                                v = -searchPV<MainThread>(thread, rootSs + 1, -aspBeta, -alpha, newDepth, false);
                            }
                        }
                    }
                    unmakeMove(pos);
                    if (stopped()) break;

                    if (v > bestScore) {
                        if (aspAlpha < v && v < aspBeta) {
                            publishNodes(thread);
                            std::vector<Move>& line = root.pvLine[pvIdx];
                            line.clear();
                            line.push_back(move);
                            for (const Move* m = rootPv; *m != MoveNone; m++) line.push_back(*m);
                        }
                        if (MainThread && moveNumber > 1 && pvIdx == 0) instability += InstabilityPerChange;
                        root.scores[i] = v;
                        bestScore = v;
                        root.bestMove[pvIdx] = move;
                        alpha = v;
                        if (v >= aspBeta) break;
                    } else {
                        root.scores[i] = -ScoreInfinite;
                    }
                }

                // 3. Best moves first for the next attempt, line or iteration.
                publishNodes(thread);
                sortRootMoves(root, pvIdx + 1, root.moveCount);

                // 4.-5. A stop prints what is known; a score inside the window is final.
                if (stopped()) goto output;
                if (bestScore == -ScoreInfinite || (aspAlpha < bestScore && bestScore < aspBeta)) break;

                // A side of the window already at the limit cannot widen
                // any further: searching again would give the same result
                // for ever, so the line is final for this depth.
                if ((bestScore <= aspAlpha && aspAlpha == -ScoreInfinite) ||
                    (bestScore >= aspBeta && aspBeta == ScoreInfinite)) {
                    bestScore = std::clamp(bestScore, -ScoreInfinite, int(ScoreInfinite));
                    break;
                }

                // 6. Widen the failed side of the window and search again.
                if (bestScore <= aspAlpha) {
                    if (MainThread && root.lineCount == 1) reportBound(depth, bestScore, false, root.moves[0]);
                    aspAlpha = std::max(bestScore - delta, -ScoreInfinite);
                } else {
                    if (MainThread && root.lineCount == 1) reportBound(depth, bestScore, true, root.moves[0]);
                    aspBeta = std::min(bestScore + delta, ScoreInfinite);
                }
                delta = delta + delta / 2;
            }
            root.lineScore[pvIdx] = bestScore;
            sortLines(root, pvIdx + 1);
        }

    output:
        // 3.-4. One final line per variation, also after a stop; but a line
        // that has no result at all yet (stopped before its first move was
        // searched to the end in iteration 1) has nothing to say: its score
        // would read as "mate 0" with an empty variation.
        if constexpr (MainThread) {
            for (int k = 0; k < root.lineCount; k++)
                if (!root.pvLine[k].empty()) reportLine(depth, k, root);
            if (root.bestMove[0] == prevBest) instability = instability * 50 / 100;
            prevBest = root.bestMove[0];
        }
    }

    if constexpr (MainThread) {
        // An infinite or ponder search answers only when told to.
        waitForStopOrPonderhit();
        // A stop before the first root move of iteration 1 was searched to
        // the end leaves no best move; as long as there is a legal move, the
        // first one in search order answers instead of "(none)".
        Move best = root.bestMove[0];
        if (best == MoveNone && root.moveCount > 0) best = root.moves[0];
        const std::vector<Move>& pv = root.pvLine[0];
        const Move ponder = best != MoveNone && pv.size() >= 2 && pv[0] == best ? pv[1] : MoveNone;
        if (Reporter.bestMove) Reporter.bestMove(best, ponder);
        ttGeneration.store(int16_t(ttGeneration.load(std::memory_order_relaxed) + 1), std::memory_order_relaxed);
        Control.done.store(true, std::memory_order_relaxed);
    }
}

}  // namespace

SearchReporter Reporter{};

int rootReduction(Move move, int moveNumber, int depth, const Position& pos, const HistoryTable& history) {
    if (moveNumber == 1 || depth <= 2) return 0;
    const int f = isCastling(move) ? ScoreCastling : history[pos.sideToMove][movePiece(move)][moveTo(move)];
    if (f > ScoreKiller0) return 0;
    int g = lateMoveReduction(true, false, false, moveNumber, depth) + (f < 0 ? 1 : 0);
    if (g > 0 && f > HistoryMax) return g - 1;
    return g;
}


void mainSearch(SearchThread& thread) { rootSearch<true>(thread); }

void helperSearch(SearchThread& thread) { rootSearch<false>(thread); }
