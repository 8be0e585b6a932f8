// Making and unmaking moves in place. Every incremental field is updated by
// the piece primitives; what cannot be undone cheaply (keys, castling rights,
// en-passant square, half-move clock, material) is saved in an undo record,
// whose keys also serve repetition detection.
#include "board/makemove.h"

#include <cassert>
#include <cstring>

#include "board/pieceops.h"
#include "board/tables.h"

namespace {

// A piece going from one square to another: removePiece then putPiece, in
// one step (its material and count do not change).
inline void shiftPiece(Position& pos, int type, int color, Square from, Square to) {
    shiftOnBoard(pos, type, color, from, to);
    const uint64_t k = ZobristPiece[color][type][from] ^ ZobristPiece[color][type][to];
    pos.key ^= k;
    if (type == Pawn) pos.pawnKey ^= k;
}

// Castling right index of a king move of two files: king side 0, queen side 1.
inline int castleRightIndex(int color, Square from, Square to) { return color * 2 + (to <= from ? 1 : 0); }

// Pushes an undo record with the state before the move. A full history only
// happens when the holder never compacts it; the oldest record is then given
// up, which can cost at most a repetition reaching back over 900 plies.
inline UndoRecord& pushUndo(Position& pos, Move m) {
    if (pos.historyLength >= HistoryCapacity) {
        std::memmove(pos.history, pos.history + 1, (HistoryCapacity - 1) * sizeof(UndoRecord));
        pos.historyLength = HistoryCapacity - 1;
        pos.historyDropped += 1;
    }
    UndoRecord& r = pos.history[pos.historyLength++];
    r.key = pos.key;
    r.pawnKey = pos.pawnKey;
    r.castleRights = pos.castleRights;
    r.epSquare = pos.epSquare;
    r.rule50 = pos.rule50;
    r.nonPawnMaterial[White] = pos.nonPawnMaterial[White];
    r.nonPawnMaterial[Black] = pos.nonPawnMaterial[Black];
    r.move = m;
    r.castled = 0;
    return r;
}

inline void restoreUndo(Position& pos, const UndoRecord& r) {
    pos.key = r.key;
    pos.pawnKey = r.pawnKey;
    pos.castleRights = r.castleRights;
    pos.epSquare = r.epSquare;
    pos.rule50 = r.rule50;
    pos.nonPawnMaterial[White] = r.nonPawnMaterial[White];
    pos.nonPawnMaterial[Black] = r.nonPawnMaterial[Black];
}

}  // namespace

void makeMove(Position& pos, Move m) {
    const int us = pos.sideToMove, them = us ^ 1;
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = movePiece(m), captured = moveCaptured(m), promotion = movePromotion(m);
    // A move of the side to move from a square that holds its piece; the
    // rest of pseudo-legality is the caller's business.
    assert(m != MoveNone && m != MoveNull);
    assert(pos.board[from] == piece && ((pos.colorBB[us] >> from) & 1));

    UndoRecord& r = pushUndo(pos, m);
    pos.rule50 += 1;

    // An en-passant capture takes the pawn that passed the target square.
    if (piece == Pawn && to == pos.epSquare) {
        r.captureSquare = to - pawnPush(us);
        removePiece(pos, captured, them, r.captureSquare);
    } else if (captured != NoPiece) {
        r.captureSquare = to;
        removePiece(pos, captured, them, to);
    }

    // A pawn carries no non-pawn material, so removing it is all a promotion
    // needs before the new piece appears.
    if (promotion != NoPiece) {
        removePiece(pos, Pawn, us, from);
        putPiece(pos, promotion, us, to);
    } else {
        shiftPiece(pos, piece, us, from, to);
    }

    if (piece == King && (to - from == 16 || from - to == 16)) {
        r.castled = 1;
        const int32_t* info = CastleInfo[castleRightIndex(us, from, to)];
        shiftPiece(pos, Rook, us, info[2], info[3]);
    }

    pos.sideToMove = uint8_t(them);
    pos.key ^= ZobristSide;

    pos.castleRights &= ~CastleMask[from] & ~CastleMask[to];
    pos.epSquare = NoSquare;

    // Record the passed square only when an enemy pawn stands beside the
    // pawn that moved, so that the key of a position without a possible
    // en-passant capture does not depend on the last move.
    if (piece == Pawn && (to - from == 2 || from - to == 2)) {
        Square mid = (from + to) / 2;
        int f = fileOf(mid);
        Bitboard enemyPawns = pos.pieceBB[them][Pawn];
        if ((f > 0 && ((enemyPawns >> (to - 8)) & 1)) || (f < 7 && ((enemyPawns >> (to + 8)) & 1))) pos.epSquare = mid;
    }

    if (captured != NoPiece || piece == Pawn) pos.rule50 = 0;
    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    assert(positionIsConsistent(pos));
}

void unmakeMove(Position& pos) {
    assert(pos.historyLength > 0 && pos.history[pos.historyLength - 1].move != MoveNull);
    const int us = pos.sideToMove ^ 1, them = pos.sideToMove;
    const UndoRecord& r = pos.history[--pos.historyLength];
    const Move m = r.move;
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = movePiece(m), captured = moveCaptured(m), promotion = movePromotion(m);

    if (promotion != NoPiece) {
        liftFromBoard(pos, promotion, us, to);
        placeOnBoard(pos, Pawn, us, from);
    } else {
        if (r.castled) {
            const int32_t* info = CastleInfo[castleRightIndex(us, from, to)];
            shiftOnBoard(pos, Rook, us, info[3], info[2]);
        }
        shiftOnBoard(pos, piece, us, to, from);
    }
    if (captured != NoPiece) placeOnBoard(pos, captured, them, r.captureSquare);

    pos.sideToMove = uint8_t(us);
    restoreUndo(pos, r);
    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    assert(positionIsConsistent(pos));
}

void makeNullMove(Position& pos) {
    pushUndo(pos, MoveNull);
    pos.key ^= ZobristSide;
    pos.sideToMove ^= 1;
    pos.rule50 = 0;
    pos.epSquare = NoSquare;
    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    assert(positionIsConsistent(pos));
}

void unmakeNullMove(Position& pos) {
    assert(pos.historyLength > 0 && pos.history[pos.historyLength - 1].move == MoveNull);
    pos.sideToMove ^= 1;
    restoreUndo(pos, pos.history[--pos.historyLength]);
    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    assert(positionIsConsistent(pos));
}
