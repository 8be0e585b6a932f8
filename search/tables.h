// Late-move-reduction and move-count tables of the node search, built once at
// start-up by initSearchTables (search/search.h) and read-only afterwards.
#pragma once

#include <cstdint>

// Reduction kinds: cutNode + 2 * improving.
constexpr int ReductionKinds = 4;
constexpr int ReductionMoves = 64;   // move numbers 0..63 (later moves read 63)
constexpr int ReductionDepths = 64;  // depths 0..63 (deeper nodes read 63)

// [0] for null-window nodes, [1] for principal-variation nodes;
// [kind][min(moveNumber, 63)][min(depth, 63)] in plies.
extern int32_t reductionTable[2][ReductionKinds][ReductionMoves][ReductionDepths];

// Late moves beyond this count are pruned at shallow depth:
// [improving][depth], depth 1..15; row 0 when not improving.
extern int32_t moveCountLimit[2][16];

// The reduction at a node: the principal-variation table when pvNode.
inline int lateMoveReduction(bool pvNode, bool cutNode, bool improving, int moveNumber, int depth) {
    int kind = int(cutNode) + 2 * int(improving);
    int m = moveNumber < 63 ? moveNumber : 63;
    int d = depth < 63 ? depth : 63;
    return reductionTable[pvNode ? 1 : 0][kind][m][d];
}
