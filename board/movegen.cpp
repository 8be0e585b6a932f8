// Move lists for everyone but the search's picker: the generators of
// board/generator.h writing into a plain list.
#include "board/movegen.h"

#include <cassert>

#include "board/generator.h"

namespace {

// The plain move list.
struct ListSink {
    Move* moves;
    int count;
    const Position& pos;
    void quiet(Move m, int, Square) { moves[count++] = m; }
    void castling(Move m) { moves[count++] = m; }
    void capture(Move m, int, Square, int) { moves[count++] = m; }
    void promotion(Move m, int, int) { moves[count++] = m; }
};

}  // namespace

int generateMoves(GenKind kind, const Position& pos, const CheckInfo& ci, Move* moves, int count) {
    ListSink out{moves, count, pos};
    generation::generate(out, kind, ci);
    assert(out.count <= MaxMoves);
    return out.count;
}

int generatePseudoLegalMoves(const Position& pos, const CheckInfo& ci, Move* moves) {
    return generateMoves(GenKind::All, pos, ci, moves, 0);
}

int generateLegalMoves(const Position& pos, Move* moves) {
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    const int n = generatePseudoLegalMoves(pos, ci, moves);
    int legal = 0;
    for (int i = 0; i < n; i++)
        if (isLegal(moves[i], pos, ci)) moves[legal++] = moves[i];
    return legal;
}
