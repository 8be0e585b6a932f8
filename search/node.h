// The recursive searches below the root: the alpha-beta node search and the
// quiescence search, each in a principal-variation (open window) and a
// null-window variant, and each compiled for the main thread and for helper
// threads, which differ only in the periodic check.
#pragma once

#include "board/legality.h"
#include "board/makemove.h"
#include "board/see.h"
#include "search/ordering.h"
#include "search/prefetch.h"
#include "search/stack.h"
#include "search/state.h"
#include "search/tables.h"
#include "search/tt.h"

// Periodic check every 1024 nodes of a thread.
constexpr uint64_t CheckInterval = 1024;

template <bool MainThread>
Score searchPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode);
template <bool MainThread>
Score searchNonPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int depth, bool cutNode);
template <bool MainThread>
Score qsearchPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int qdepth);
template <bool MainThread>
Score qsearchNonPV(SearchThread& thread, SearchStack* ss, int alpha, int beta, int qdepth);

// The late-move reduction of a quiet move: late quiet moves of a well-ordered
// list rarely matter; more for a bad history, less for killers, castling and
// counter moves. The root asks it too, with no killers and no counter moves.
template <bool PvNode>
[[gnu::always_inline]] inline int quietReduction(bool cutNode, bool improving, int moveCount, int depth, int orderScore,
                                                 Move move, Move counter1, Move counter2) {
    if (moveCount <= 1 || depth <= 2 || orderScore > ScoreKiller0) return 0;
    int r = lateMoveReduction(PvNode, cutNode, improving, moveCount, depth) + (orderScore < 0 ? 1 : 0);
    if (r > 0 && (orderScore > HistoryMax || move == counter1 || move == counter2)) r--;
    return r;
}

// The check extension, at the root as in every node: a ply for a checking
// move (checks) that does not hang the checking piece.
[[gnu::always_inline]] inline bool checkExtends(const Position& pos, Move move, bool checks) {
    return checks && seeFast(move, pos, pos.sideToMove, pos.occupied) >= 0;
}

// The search of one root move, already played from rootSs: the child
// sequence of every PV node (see node.cpp), with the root's reduction. The
// root is a PV node expected to be exact, so the full-depth null-window
// search expects its child to fail high. childPv receives the variation.
template <bool MainThread>
Score searchRootChild(SearchThread& thread, SearchStack* rootSs, int alpha, int beta, int newDepth, int reduction,
                      bool firstMove, Move* childPv);

// Publishes the thread's node count, takes notice of "ponderhit" and decides
// whether the search must stop. The main thread also owns the clock and node
// limits and raises Control.stop itself; helpers only follow the shared flags.
template <bool MainThread>
inline bool periodicCheckAborts(SearchThread& thread) {
    Control.nodes.fetch_add(thread.localNodes, std::memory_order_relaxed);
    thread.localNodes = 0;
    if (Control.ponderhit.load(std::memory_order_relaxed)) thread.limits.untimed = false;

    if constexpr (MainThread) {
        if (Control.stop.load(std::memory_order_relaxed)) return true;
        const SearchLimits& limits = thread.limits;
        if (limits.untimed) {
            if (limits.moveTime != 0 && elapsedMs() >= limits.moveTime) {
                Control.stop.store(true, std::memory_order_relaxed);
                return true;
            }
        } else if (elapsedMs() > Control.timeLimit.load(std::memory_order_relaxed)) {
            Control.stop.store(true, std::memory_order_relaxed);
            return true;
        }
        if (limits.nodeLimit >= 0 && Control.nodes.load(std::memory_order_relaxed) >= uint64_t(limits.nodeLimit)) {
            Control.stop.store(true, std::memory_order_relaxed);
            return true;
        }
        return Control.done.load(std::memory_order_relaxed);
    } else {
        return Control.stop.load(std::memory_order_relaxed) || Control.done.load(std::memory_order_relaxed);
    }
}

inline bool stopped() { return Control.stop.load(std::memory_order_relaxed); }

// Plays a move of the search, and starts fetching what the child reads
// first while it sets itself up (see prefetch.h), unless the picker fetched
// it already (fetched) with the key the child has: makeMove says whether the
// key came out as the picker's fetch foretold it.
inline void playMove(Position& pos, Move m, bool fetched = false) {
    if (makeMove(pos, m) && fetched) return;
    prefetchNodeEntries(ttIndexKey(pos), pos.pawnKey);
}

// Stores a node's result in the table, unless "stop" or the end of the main
// search came first: such a result may have been cut short.
inline void storeResult(int depth, int score, Move move, int bound, const Position& pos) {
    if (Control.stop.load(std::memory_order_relaxed) || Control.done.load(std::memory_order_relaxed)) return;
    storeTT(depth, score, move, bound, pos);
}

// Opens a node of either search: the periodic check, then the node's own
// stack entry (its killers two plies down are only inherited from siblings
// searched earlier) and its count. The quiescence search also records the
// selective depth. Returns false when the node ends at once with the score 0:
// after a stop, in a draw by rule, or at the ply limit.
template <bool MainThread, bool Quiescence>
inline bool enterNode(SearchThread& thread, SearchStack* ss) {
    if (thread.localNodes % CheckInterval == 0 && periodicCheckAborts<MainThread>(thread)) return false;
    thread.localNodes++;
    ss->ply = (ss - 1)->ply + 1;
    ss->currentMove = MoveNone;
    ss->bestMove = MoveNone;
    (ss + 2)->killers[0] = (ss + 2)->killers[1] = MoveNone;
    (ss + 1)->excludedMove = MoveNone;
    if constexpr (Quiescence) {
        if (ss->ply > Control.selDepth.load(std::memory_order_relaxed))
            Control.selDepth.store(ss->ply, std::memory_order_relaxed);
    }
    return !isDraw(thread.pos) && ss->ply < MaxPly;
}

// The score of a side checkmated at this ply: the nearer the root, the lower.
inline Score matedScore(int ply) { return ply - ScoreInfinite; }

// The bound a node's result is stored with: a lower bound once a score
// reached beta, else exact when a PV node raised alpha, else an upper bound.
inline int storedBound(bool pvNode, Score value, int beta, Move tableMove) {
    return value >= beta ? BoundLower : (pvNode && tableMove != MoveNone ? BoundExact : BoundUpper);
}
