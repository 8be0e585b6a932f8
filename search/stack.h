// The per-ply record of a search thread's recursion.
#pragma once

#include "board/types.h"

struct SearchStack {
    int32_t ply;         // distance from the root
    Move currentMove;    // move being searched from this node; MoveNull in a null-move search
    Move excludedMove;   // move left out by a singular-extension test, else MoveNone
    Move killers[2];     // quiet moves that cut off at this ply, newest first
    bool nullAllowed;    // a null move may be tried at this node
    int32_t staticEval;  // static evaluation of the node, or ScoreNone
    Move bestMove;       // best move found here (read back by internal iterative deepening)
    Move* pvBuffer;      // where a PV node writes its variation, ended by MoveNone
};

// Entries of the stack array before the root entry, so that ss - 1 and ss - 2
// can always be read.
constexpr int StackEntriesBeforeRoot = 2;
// Nodes exist up to ply MaxPly; each writes up to two entries below itself.
constexpr int StackSize = StackEntriesBeforeRoot + 1 + MaxPly + 5;
// A principal variation from any node, with its terminator.
constexpr int PvBufferSize = MaxPly + 2;

// Writes move followed by the child's variation to pv, ended by MoveNone; the
// child's variation ends with MoveNone too.
inline void appendPv(Move* pv, Move move, const Move* childPv) {
    *pv++ = move;
    while (*childPv != MoveNone) *pv++ = *childPv++;
    *pv = MoveNone;
}
