// Leaf counts of the legal move tree. The moves come from the search's own
// generators and legality test, so a perft count checks exactly what the
// search plays.
#include "board/perft.h"

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"

uint64_t perft(Position& pos, int depth) {
    if (depth <= 0) return 1;
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    Move moves[MaxMoves];
    const int n = generatePseudoLegalMoves(pos, ci, moves);
    uint64_t nodes = 0;
    // One ply from the leaves the legal moves are counted, not played.
    if (depth == 1) {
        for (int i = 0; i < n; i++) nodes += isLegal(moves[i], pos, ci);
        return nodes;
    }
    for (int i = 0; i < n; i++) {
        if (!isLegal(moves[i], pos, ci)) continue;
        makeMove(pos, moves[i]);
        nodes += perft(pos, depth - 1);
        unmakeMove(pos);
    }
    return nodes;
}
