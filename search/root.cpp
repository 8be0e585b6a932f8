// The root of the search: iterative deepening with aspiration windows and
// MultiPV over the legal root moves, the "info" and "bestmove" output of the
// main thread, and the helper threads' silent copy of the same loop.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/see.h"
#include "search/node.h"
#include "search/ordering.h"
#include "search/reporter.h"
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

// A root move followed by the variation below it, ended by MoveNone.
struct PvLine {
    Move moves[PvBufferSize + 1];
};

// More lines than any position has legal moves (218 at most in a game, a
// few more in composed positions); a MultiPV count above the number of root
// moves shows them all.
constexpr int MaxRootLines = 256;

// The root moves and the lines of a MultiPV search. Line k is shown with
// lineScore[k] and pv[k]; the first lineCount entries of moves are the lines'
// moves once a line is finished. While a line is searched, pv[k] starts with
// bestMove[k] from the moment that is chosen, and bestScore[k] and
// bestDepth[k] tell what that move scored and in which iteration, so that a
// stop in the middle shows the move that will be played with its own score.
struct RootState {
    Move moves[MaxMoves];
    int scores[MaxMoves];
    int moveCount;
    int lineCount;
    int lineScore[MaxRootLines];
    Move bestMove[MaxRootLines];
    int bestScore[MaxRootLines];
    int bestDepth[MaxRootLines];
    PvLine pv[MaxRootLines];
};

// Everything the iterations of one thread carry from one to the next.
struct RootContext {
    SearchThread& thread;
    SearchStack* rootSs;
    Move* childPv;  // the variation below the root move being searched
    RootState& root;
    int instability;  // extra time earned by changes of the best move
};

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
    p.timeMs = std::max<int64_t>(1, elapsedMs());
    p.hashfull = hashfull();
    return p;
}

int pvLength(const Move* pv) {
    int n = 0;
    while (pv[n] != MoveNone) n++;
    return n;
}

// The final line of every variation of the iteration at depth, each with the
// nodes and the time as they are now; linesDone lines were finished, the
// rest were cut short by a stop. A finished line shows its score. The line
// the stop cut short, once a move of this iteration is its best, shows that
// move, the one it will answer with, and the score it got in this iteration
// (a bound when it failed high or low there): its old score would belong to
// another move. Every other line shows the previous iteration's variation
// and score, untouched since, so that a stop before any move of this
// iteration was scored prints the previous iteration's lines again. A line
// with no score yet (iteration 1, -ScoreInfinite, "mate 0") is not printed.
void reportLines(int depth, const RootState& root, int linesDone) {
    if (!Reporter.line) return;
    for (int k = 0; k < root.lineCount; k++) {
        const bool cutWithBest = k == linesDone && root.bestDepth[k] == depth;
        const int score = cutWithBest ? root.bestScore[k] : root.lineScore[k];
        if (score == -ScoreInfinite) continue;
        Reporter.line(progressAt(depth), k + 1, score, root.pv[k].moves, pvLength(root.pv[k].moves));
    }
}

// An aspiration failure of a single-line search: the bound and the move now first.
void reportBound(int depth, int score, bool lower, Move first) {
    if (Reporter.bound) Reporter.bound(progressAt(depth), score, lower, first);
}

// The best moves first for the next attempt, line or iteration: entries
// [from, moveCount) are inserted into the list before them. The lines
// already finished (before from) move with their moves but keep their slots'
// scores and variations.
void sortRootMoves(RootState& root, int from) {
    stableInsertionSort(root.scores, 0, from, root.moveCount, [&](int to, int at) {
        rotateEntry(root.moves, to, at);
        rotateEntry(root.scores, to, at);
    });
}

// The finished lines, best first, each with its score and variation.
void sortLines(RootState& root, int lines) {
    stableInsertionSort(root.scores, 0, 1, lines, [&](int to, int at) {
        rotateEntry(root.moves, to, at);
        rotateEntry(root.scores, to, at);
        rotateEntry(root.lineScore, to, at);
        rotateEntry(root.pv, to, at);
    });
}

// One pass over the root moves from the line's own (pvIdx) onwards with the
// window (alpha, beta) at depth. Each move's score is kept for the sort; a
// move that fails low scores -ScoreInfinite. Ends at a fail high or a stop.
// Returns the best score.
template <bool MainThread>
int searchRootMoves(RootContext& ctx, int depth, int pvIdx, int alpha, int beta) {
    SearchThread& thread = ctx.thread;
    RootState& root = ctx.root;
    Position& pos = thread.pos;
    const int windowAlpha = alpha;
    int bestScore = -ScoreInfinite;
    Control.selDepth.store(0, std::memory_order_relaxed);

    for (int i = pvIdx, moveNumber = 1; i < root.moveCount; i++, moveNumber++) {
        const Move move = root.moves[i];
        // Checks that do not hang the checking piece are extended, as in the tree.
        const int ext = checkExtends(pos, move, givesCheck(move, pos)) ? 1 : 0;
        const int r = isQuiet(move) ? rootReduction(move, moveNumber, depth, pos, thread.historyTable) : 0;

        playMove(pos, move);
        ctx.rootSs->currentMove = move;
        (ctx.rootSs + 1)->nullAllowed = true;
        if (moveNumber == 1) ctx.childPv[0] = MoveNone;
        const Score v = searchRootChild<MainThread>(thread, ctx.rootSs, alpha, beta, depth - 1 + ext, r,
                                                    moveNumber == 1, ctx.childPv);
        unmakeMove(pos);
        if (stopped()) break;

        if (v <= bestScore) {
            root.scores[i] = -ScoreInfinite;
            continue;
        }
        // Only a score inside the window comes with a complete variation.
        // A bound does not: the line keeps the variation it had when it
        // already starts with this move, or else holds the move alone, so
        // that a stop before the window is settled shows the move that will
        // be played. The pass that settles the window writes the line anew.
        Move* const line = root.pv[pvIdx].moves;
        if (windowAlpha < v && v < beta) {
            publishNodes(thread);
            appendPv(line, move, ctx.childPv);
        } else if (line[0] != move) {
            line[0] = move;
            line[1] = MoveNone;
        }
        if (MainThread && moveNumber > 1 && pvIdx == 0) ctx.instability += InstabilityPerChange;
        root.scores[i] = v;
        bestScore = v;
        root.bestMove[pvIdx] = move;
        root.bestScore[pvIdx] = v;
        root.bestDepth[pvIdx] = depth;
        alpha = v;
        if (v >= beta) break;
    }
    return bestScore;
}

// Aspiration search of line pvIdx at depth: from depth AspirationMinDepth on
// a narrow window around the line's last score, widened on the failing side
// (by a growing delta) until the score falls inside it. Returns false when a
// stop cut the line short; its score and variation are then left as they
// were.
template <bool MainThread>
bool aspirate(RootContext& ctx, int depth, int pvIdx) {
    RootState& root = ctx.root;
    int delta = AspirationDelta;
    int alpha = -ScoreInfinite;
    int beta = ScoreInfinite;
    if (depth >= AspirationMinDepth) {
        alpha = std::max(root.lineScore[pvIdx] - delta, -ScoreInfinite);
        beta = std::min(root.lineScore[pvIdx] + delta, ScoreInfinite);
    }
    for (;;) {
        int score = searchRootMoves<MainThread>(ctx, depth, pvIdx, alpha, beta);
        publishNodes(ctx.thread);
        sortRootMoves(root, pvIdx + 1);
        if (stopped()) return false;

        // A score inside the window is final, and so is one against a side
        // of the window that is already at the limit: searching again would
        // give the same result for ever.
        const bool inside = score == -ScoreInfinite || (alpha < score && score < beta);
        const bool atLimit = (score <= alpha && alpha == -ScoreInfinite) || (score >= beta && beta == ScoreInfinite);
        if (inside || atLimit) {
            if (!inside) score = std::clamp(score, -ScoreInfinite, int(ScoreInfinite));
            root.lineScore[pvIdx] = score;
            sortLines(root, pvIdx + 1);
            return true;
        }

        // Widen the failed side of the window and search again.
        const bool failedLow = score <= alpha;
        if (MainThread && root.lineCount == 1) reportBound(depth, score, !failedLow, root.moves[0]);
        if (failedLow)
            alpha = std::max(score - delta, -ScoreInfinite);
        else
            beta = std::min(score + delta, ScoreInfinite);
        delta = delta + delta / 2;
    }
}

// Whether the main thread must not start the iteration at depth: "stop",
// the clock, the node limit. Helpers follow "stop" only.
template <bool MainThread>
bool iterationMustNotStart(RootContext& ctx, int depth) {
    if (depth == 1) return false;
    if (stopped()) return true;
    if constexpr (MainThread) {
        const SearchLimits& limits = ctx.thread.limits;
        if (updateBudgetAndCheckStop(ctx.instability, ctx.thread)) return true;
        if (limits.nodeLimit >= 0 && Control.nodes.load(std::memory_order_relaxed) >= uint64_t(limits.nodeLimit))
            return true;
    }
    return false;
}

// The main thread's answer, once it may be given: the best move, and the
// reply its variation expects. A stop before the first root move of
// iteration 1 was searched to the end leaves no best move; as long as there
// is a legal move, the first one in search order answers instead of "(none)".
void answer(const RootState& root) {
    // An infinite or ponder search answers only when told to.
    waitForStopOrPonderhit();
    Move best = root.bestMove[0];
    if (best == MoveNone && root.moveCount > 0) best = root.moves[0];
    const Move* pv = root.pv[0].moves;
    const Move ponder = best != MoveNone && pv[0] == best && pv[1] != MoveNone ? pv[1] : MoveNone;
    // The search is over before its move goes out: a command that follows
    // the "bestmove" line finds it done (a clear or a new size is then made
    // at once, once the threads are joined, rather than deferred).
    ttGeneration.store(int16_t(ttGeneration.load(std::memory_order_relaxed) + 1), std::memory_order_relaxed);
    Control.done.store(true, std::memory_order_relaxed);
    if (Reporter.bestMove) Reporter.bestMove(best, ponder);
}

// Iterative deepening: every line aspirated at depth 1, 2, ... up to the
// depth limit, as long as the limits allow another iteration.
template <bool MainThread>
void iterate(RootContext& ctx) {
    RootState& root = ctx.root;
    Move previousBest = MoveNone;
    for (int depth = 1; depth <= ctx.thread.limits.depthLimit; depth++) {
        if (iterationMustNotStart<MainThread>(ctx, depth)) break;
        int linesDone = 0;
        while (linesDone < root.lineCount && aspirate<MainThread>(ctx, depth, linesDone)) linesDone++;
        if constexpr (MainThread) {
            reportLines(depth, root, linesDone);
            // A best move that holds for an iteration halves the extra time.
            if (root.bestMove[0] == previousBest) ctx.instability = ctx.instability * 50 / 100;
            previousBest = root.bestMove[0];
        }
    }
}

template <bool MainThread>
void rootSearch(SearchThread& thread) {
    Position& pos = thread.pos;

    // Fresh counters and ordering tables.
    thread.localNodes = 0;
    std::memset(thread.historyTable, 0, sizeof(thread.historyTable));
    std::memset(thread.counterMoves, 0, sizeof(thread.counterMoves));

    // The stack starts zeroed: ply 0, no moves, static evaluation 0.
    SearchStack stack[StackSize];
    std::memset(static_cast<void*>(stack), 0, sizeof(stack));
    SearchStack* const rootSs = stack + StackEntriesBeforeRoot;
    rootSs->ply = 0;
    Move childPv[PvBufferSize];
    childPv[0] = MoveNone;

    // The root's own table entry counts as used by this search.
    refreshRoot(pos);

    // The legal root moves in generation order, and the lines to search, on
    // the thread's stack, which a search thread keeps present.
    RootState root{};
    root.moveCount = generateLegalMoves(pos, root.moves);
    for (int i = 0; i < root.moveCount; i++) root.scores[i] = 0;
    // The option is kept at 1 or more when it is set; this also keeps the
    // line arrays safe from a record filled some other way.
    root.lineCount = std::min({std::max(int(thread.limits.multiPv), 1), root.moveCount, MaxRootLines});
    for (int k = 0; k < MaxRootLines; k++) {
        root.lineScore[k] = -ScoreInfinite;
        root.bestMove[k] = MoveNone;
        root.bestScore[k] = -ScoreInfinite;
        root.bestDepth[k] = 0;
        root.pv[k].moves[0] = MoveNone;
    }
    // No budget until the first iteration is done. Only the main thread,
    // which owns the clock, writes it: a helper that starts late would
    // otherwise wipe the budget already published, and the main thread would
    // search its whole next iteration without a clock.
    if constexpr (MainThread) Control.timeLimit.store(TimeLimitUnset, std::memory_order_relaxed);

    RootContext ctx{thread, rootSs, childPv, root, 0};
    iterate<MainThread>(ctx);

    if constexpr (MainThread) answer(root);
}

}  // namespace

SearchReporter Reporter{};

int rootReduction(Move move, int moveNumber, int depth, const Position& pos, const HistoryTable& history) {
    // The node's reduction of a quiet move in a PV node, expected exact and
    // not improving; the root has no killers and no counter moves, so a
    // move's ordering score is its history (castling its own band).
    const int f = isCastling(move) ? ScoreCastling : history[pos.sideToMove][movePiece(move)][moveTo(move)];
    return quietReduction<true>(false, false, moveNumber, depth, f, move, MoveNone, MoveNone);
}

void mainSearch(SearchThread& thread) { rootSearch<true>(thread); }

void helperSearch(SearchThread& thread) { rootSearch<false>(thread); }
