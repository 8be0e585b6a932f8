// Static exchange evaluation: the material balance of the captures on one
// square, each side recapturing with its least valuable piece and free to
// stop when going on would lose. Used attackers leave the occupancy, so the
// sliders behind them (x-rays) join in by themselves.
#include "board/see.h"

#include <algorithm>
#include <cassert>

#include "board/tables.h"

namespace {

// Values of one exchange (CaptureValue holds the piece values): taking the
// king ends the exchange, and a pawn that recaptures on the last rank
// becomes a queen.
constexpr int SeeKingCaptured = 32000;
constexpr int SeePromotionGain = 2321;  // queen minus pawn

inline bool onLastRank(Square q) {
    const int rank = rankOf(q);
    return rank == 0 || rank == 7;
}

// The least valuable piece of side that attacks q through occ, or NoSquare.
Square leastValuableAttacker(const Position& pos, Bitboard occ, int side, Square q) {
    Bitboard found = PawnAttacks[side ^ 1][q] & pos.pieceBB[side][Pawn] & occ;
    if (found) return lsb(found);
    found = PseudoAttacksBySquare[q][Knight] & pos.pieceBB[side][Knight] & occ;
    if (found) return lsb(found);
    // Sliders by type, the least valuable first; most squares have none on
    // their lines at all.
    const Bitboard* p = pos.pieceBB[side];
    if (((PseudoAttacksBySquare[q][Bishop] & bishopsAndQueens(pos, side)) |
         (PseudoAttacksBySquare[q][Rook] & rooksAndQueens(pos, side))) &
        occ) {
        for (int type = Bishop; type <= Queen; type++) {
            Bitboard candidates = PseudoAttacksBySquare[q][type] & p[type] & occ;
            while (candidates) {
                const Square a = popLsb(candidates);
                if (!(Between[a][q] & occ)) return a;
            }
        }
    }
    found = PseudoAttacksBySquare[q][King] & pos.pieceBB[side][King] & occ;
    if (found) return lsb(found);
    return NoSquare;
}

}  // namespace

int seeRecapture(const Position& pos, Bitboard occ, int side, Square q, int type) {
    const Square a = leastValuableAttacker(pos, occ, side, q);
    if (a == NoSquare) return 0;
    occ &= ~squareBB(a);
    int gain = CaptureValue[type];
    if (gain >= SeeKingCaptured) return gain;
    int now = pos.board[a];
    if (now == Pawn && onLastRank(q)) {
        now = Queen;
        gain += SeePromotionGain;
    }
    return std::max(0, gain - seeRecapture(pos, occ, side ^ 1, q, now));
}

int see(Move m, const Position& pos, int side, Bitboard occ) {
    const Square from = moveFrom(m), to = moveTo(m);
    // A real move of a piece of the side that starts the exchange.
    assert(m != MoveNone && m != MoveNull && from != to);
    assert(pos.board[from] != NoPiece && ((pos.colorBB[side] >> from) & 1));
    occ &= ~squareBB(from);
    int gain = CaptureValue[pos.board[to]];
    if (gain >= SeeKingCaptured) return gain;
    int now = pos.board[from];
    if (now == Pawn) {
        if (onLastRank(to)) {
            now = movePromotion(m);
            if (now > NoPiece) now = NoPiece;  // not a promotion code: no piece value
            gain += CaptureValue[now] - CaptureValue[Pawn];
        } else if (movePiece(m) == Pawn && to == pos.epSquare) {
            // The pawn taken en passant is not on the target square.
            gain += CaptureValue[Pawn];
            occ &= ~squareBB(to - pawnPush(side));
        }
    }
    return gain - seeRecapture(pos, occ, side ^ 1, to, now);
}
