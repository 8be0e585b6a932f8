// Check information, attack tests, the legality of pseudo-legal moves, the
// validation of moves that did not come from the generator, the gives-check
// test and draw detection.
#include "board/legality.h"

#include "board/makemove.h"
#include "board/tables.h"

namespace {

// Whether the pieces of color in the given sets attack q under occupancy occ.
bool attackedWith(Square q, int color, const Position& pos, Bitboard occ, Bitboard pawns) {
    if (PawnAttacks[color ^ 1][q] & pawns) return true;
    if (PseudoAttacks[Knight][q] & pos.pieceBB[color][Knight]) return true;
    if (PseudoAttacks[King][q] & pos.pieceBB[color][King]) return true;
    Bitboard sliders = (PseudoAttacks[Bishop][q] & bishopsAndQueens(pos, color)) |
                       (PseudoAttacks[Rook][q] & rooksAndQueens(pos, color));
    while (sliders)
        if (!(Between[popLsb(sliders)][q] & occ)) return true;
    return false;
}

}  // namespace

// An en-passant capture takes two pieces off one rank at once, which no pin
// test sees, so the king is tested on the board as it would be after the
// capture: from and the captured pawn gone, to occupied.
bool enPassantKeepsKingSafe(Move m, const Position& pos) {
    const int us = pos.sideToMove;
    const Square from = moveFrom(m), to = moveTo(m);
    const Square captured = to - pawnPush(us);
    const Bitboard occ = (pos.occupied ^ squareBB(from) ^ squareBB(captured)) | squareBB(to);
    return !attackedWith(pos.kingSquare[us], us ^ 1, pos, occ, pos.pieceBB[us ^ 1][Pawn] & ~squareBB(captured));
}

void computeCheckInfo(CheckInfo& ci, const Position& pos) {
    ci.checkerCount = 0;
    ci.kingDanger = 0;
    ci.blockers = 0;
    const int us = pos.sideToMove, them = us ^ 1;
    const Square k = pos.kingSquare[us];

    // A pawn or a knight: at most one of them can check at a time.
    const Bitboard contact =
        (PawnAttacks[us][k] & pos.pieceBB[them][Pawn]) | (PseudoAttacks[Knight][k] & pos.pieceBB[them][Knight]);
    if (contact) ci.checkers[ci.checkerCount++] = lsb(contact);

    Bitboard sliders = (PseudoAttacks[Queen][k] & pos.pieceBB[them][Queen]) |
                       (PseudoAttacks[Rook][k] & pos.pieceBB[them][Rook]) |
                       (PseudoAttacks[Bishop][k] & pos.pieceBB[them][Bishop]);
    while (sliders) {
        const Square s = popLsb(sliders);
        const Bitboard between = Between[s][k] & pos.occupied;
        if (!between) {
            // Only two checkers are possible in play; a set-up position may
            // hold more, which are counted but not listed.
            if (ci.checkerCount < 3) ci.checkers[ci.checkerCount] = s;
            ci.checkerCount++;
            ci.kingDanger |= RayThrough[s][k];
        } else if (!moreThanOne(between)) {
            ci.blockers |= between;
        }
    }
}

bool isSquareAttacked(Square q, int color, const Position& pos) {
    return attackedWith(q, color, pos, pos.occupied, pos.pieceBB[color][Pawn]);
}

// Accepts exactly the moves the generator would produce in this position (the
// evasions when in check) that also pass the tests the generator defers to the
// legality test for castling, en passant and promotions. Every field is range
// checked before it indexes anything.
bool isPseudoLegal(Move m, Position& pos, const CheckInfo& ci) {
    const int us = pos.sideToMove, them = us ^ 1;
    const int piece = m >> 24;  // signed: a negative top byte is no piece
    const int captured = moveCaptured(m), promotion = movePromotion(m);
    const Square from = moveFrom(m), to = moveTo(m);
    if (piece < Pawn || piece > King || captured > NoPiece) return false;
    if (piece != Pawn && promotion != NoPiece) return false;
    if (!(pos.colorBB[us] & squareBB(from)) || pos.board[from] != piece) return false;
    if (pos.colorBB[us] & squareBB(to)) return false;

    const bool inCheck = ci.checkerCount > 0;
    if (piece == Pawn && to == pos.epSquare) {
        if (captured != Pawn || promotion != NoPiece) return false;
        if (!(PawnAttacks[us][from] & squareBB(to))) return false;
        if (!(pos.pieceBB[them][Pawn] & squareBB(to - pawnPush(us)))) return false;
        return isLegal(m, pos, ci);
    }
    if (pos.board[to] != captured) return false;

    if (piece == King && Distance[from][to] == 2) {
        // Castling: the right's king and rook at home, nothing between them,
        // the square the king crosses safe; never out of check.
        const int right = castleRightIndex(us, from, to);
        const int32_t* info = CastleInfo[right];
        if (inCheck || to != info[1]) return false;
        if (!(pos.pieceBB[us][King] & squareBB(info[0])) || !(pos.pieceBB[us][Rook] & squareBB(info[2]))) return false;
        if (!(pos.castleRights & (1 << right))) return false;
        if (!castlingPathClear(pos, right)) return false;
        return isLegal(m, pos, ci);
    }

    // In check only evasions: the king off the checking lines, or with a
    // single checker its capture or an interposition.
    if (inCheck) {
        if (piece == King) {
            if (ci.kingDanger & squareBB(to)) return false;
        } else {
            if (ci.checkerCount != 1) return false;
            const Square c = ci.checkers[0];
            if (to != c && !(Between[pos.kingSquare[us]][c] & squareBB(to))) return false;
        }
    }

    if (piece == Pawn) {
        if (PawnAttacks[us][from] & squareBB(to)) {
            if (captured == NoPiece) return false;  // a diagonal step must capture
        } else if (PawnPushes[us][from] & squareBB(to)) {
            if (captured != NoPiece || (Between[from][to] & pos.occupied)) return false;
        } else {
            return false;
        }
        // A pawn promotes exactly when it reaches the last rank.
        const bool lastRank = relativeRank(us, to) == 7;
        if (promotion == NoPiece) return !lastRank;
        if (!lastRank || promotion == Pawn || promotion >= King) return false;
        return isLegal(m, pos, ci);
    }
    return (attacksFrom(piece, from, pos.occupied) & squareBB(to)) != 0;
}

bool givesCheckByPlaying(Move m, Position& pos) {
    const int us = pos.sideToMove;
    const Square k = pos.kingSquare[us ^ 1];
    makeMove(pos, m);
    const bool check = isSquareAttacked(k, us, pos);
    unmakeMove(pos);
    return check;
}

// The mover uncovers a check when nothing else stands between it and the
// king and the first piece behind it, away from the king, is a slider of
// color that moves along that line. Squares along a line are numbered in one
// direction, so the first one behind is the lowest or the highest.
bool discoveredCheckBy(Square k, Square from, int color, const Position& pos) {
    if (Between[from][k] & pos.occupied) return false;
    const Bitboard behind = Beyond[k][from] & pos.occupied;
    if (!behind) return false;
    const Square s = from > k ? lsb(behind) : msb(behind);
    const Bitboard sliders =
        (PseudoAttacks[Bishop][k] & squareBB(from)) ? bishopsAndQueens(pos, color) : rooksAndQueens(pos, color);
    return (sliders & squareBB(s)) != 0;
}
