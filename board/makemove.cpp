// Making and unmaking moves in place. Making updates every incremental field
// piece by piece; what costs more to recompute than to copy (keys, castling
// rights, en-passant square, half-move clock, material and the piece-square
// sums) is saved in an undo record, so that unmaking only moves the pieces
// back. The records' keys also serve repetition detection.
#include "board/makemove.h"

#include <cassert>
#include <cstddef>
#include <cstring>

#include "board/pieceops.h"
#include "board/tables.h"

namespace {

// A piece going from one square to another: removePiece then putPiece, in
// one step (its material and count do not change), less the keys but the
// pawn key: returns what the move of the piece changes in them.
inline uint64_t shiftPiece(Position& pos, int type, int color, Square from, Square to) {
    shiftOnBoard(pos, type, color, from, to);
    const uint64_t k = ZobristPiece[color][type][from] ^ ZobristPiece[color][type][to];
    if (type == Pawn) pos.pawnKey ^= k;
    return k;
}

// Castling right index of a king move of two files: king side 0, queen side 1.

// An undo record saves the position's fields from key to pstB, which both
// records lay out alike, so that they are copied in one block each way.
#define SAVED_FIELD_MATCHES(field) \
    (offsetof(UndoRecord, field) - offsetof(UndoRecord, key) == offsetof(Position, field) - offsetof(Position, key))
static_assert(SAVED_FIELD_MATCHES(pawnKey) && SAVED_FIELD_MATCHES(cacheKey) && SAVED_FIELD_MATCHES(castleRights) &&
                  SAVED_FIELD_MATCHES(epSquare) && SAVED_FIELD_MATCHES(rule50) &&
                  SAVED_FIELD_MATCHES(nonPawnMaterial) && SAVED_FIELD_MATCHES(pstA) && SAVED_FIELD_MATCHES(pstB),
              "the saved fields must be laid out alike in Position and UndoRecord");
#undef SAVED_FIELD_MATCHES
constexpr size_t SavedStateBytes = offsetof(Position, pstB) + sizeof(Position::pstB) - offsetof(Position, key);

// Pushes an undo record with the state before the move. A full history only
// happens when the holder never compacts it; the oldest record is then given
// up, which can cost at most a repetition reaching back over 900 plies.
inline void pushUndo(Position& pos, Move m) {
    if (pos.historyLength >= HistoryCapacity) {
        std::memmove(pos.history, pos.history + 1, (HistoryCapacity - 1) * sizeof(UndoRecord));
        pos.historyLength = HistoryCapacity - 1;
        pos.historyDropped += 1;
    }
    UndoRecord& r = pos.history[pos.historyLength++];
    std::memcpy(&r.key, &pos.key, SavedStateBytes);
    r.move = m;
}

inline void restoreUndo(Position& pos, const UndoRecord& r) { std::memcpy(&pos.key, &r.key, SavedStateBytes); }

}  // namespace

bool makeMove(Position& pos, Move m) {
    const int us = pos.sideToMove, them = us ^ 1;
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = movePiece(m), captured = moveCaptured(m), promotion = movePromotion(m);
    // A move of the side to move from a square that holds its piece; the
    // rest of pseudo-legality is the caller's business.
    assert(m != MoveNone && m != MoveNull);
    assert(pos.board[from] == piece && ((pos.colorBB[us] >> from) & 1));

    pushUndo(pos, m);
    pos.rule50 += 1;
    // Whether the cache key comes out as cacheKeyAfter foretells it: not
    // after an en-passant capture, a change of rights (castling included)
    // or a passed square recorded.
    bool keyAsPredicted = true;
    // What the move changes in the key, gathered and applied at the end. The
    // cache key changes by the same, and by the rights and the passed square
    // it folds in (cacheOnly).
    uint64_t k = ZobristSide;
    uint64_t cacheOnly = zobristEp(pos.epSquare);

    if (captured != NoPiece) {
        // An en-passant capture takes the pawn that passed the target square
        // (a pawn only ever reaches that square by capturing).
        Square s = to;
        if (piece == Pawn && to == pos.epSquare) {
            s = to - pawnPush(us);
            keyAsPredicted = false;
        }
        // removePiece, less the keys but the pawn key.
        liftFromBoard(pos, captured, them, s);
        const uint64_t kc = ZobristPiece[them][captured][s];
        k ^= kc;
        if (captured == Pawn) pos.pawnKey ^= kc;
        pos.nonPawnMaterial[them] -= NonPawnValue[captured];
        pos.rule50 = 0;
    }

    // A pawn carries no non-pawn material, so removing it is all a promotion
    // needs before the new piece appears.
    if (promotion == NoPiece) {
        k ^= shiftPiece(pos, piece, us, from, to);
    } else {
        removePiece(pos, Pawn, us, from);
        putPiece(pos, promotion, us, to);
    }

    if (piece == King && (to - from == 16 || from - to == 16)) {
        const int32_t* info = CastleInfo[castleRightIndex(us, from, to)];
        k ^= shiftPiece(pos, Rook, us, info[2], info[3]);
    }

    pos.sideToMove = uint8_t(them);

    // Rights are lost by moving the king or a rook, or by losing the rook;
    // most positions of a search have none left to lose.
    if (pos.castleRights) {
        const int32_t rights = pos.castleRights & ~CastleMask[from] & ~CastleMask[to];
        if (rights != pos.castleRights) {
            keyAsPredicted = false;
            cacheOnly ^= ZobristCastle[pos.castleRights] ^ ZobristCastle[rights];
            pos.castleRights = rights;
        }
    }
    pos.epSquare = NoSquare;

    if (piece == Pawn) {
        pos.rule50 = 0;
        // Record the passed square only when an enemy pawn stands beside the
        // pawn that moved, so that the key of a position without a possible
        // en-passant capture does not depend on the last move.
        if (to - from == 2 || from - to == 2) {
            Square mid = (from + to) / 2;
            int f = fileOf(mid);
            Bitboard enemyPawns = pos.pieceBB[them][Pawn];
            if ((f > 0 && ((enemyPawns >> (to - 8)) & 1)) || (f < 7 && ((enemyPawns >> (to + 8)) & 1))) {
                pos.epSquare = mid;
                cacheOnly ^= zobristEp(mid);
                keyAsPredicted = false;
            }
        }
    }

    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    pos.key ^= k;
    pos.cacheKey ^= k ^ cacheOnly;
    assert(positionIsConsistent(pos));
    return keyAsPredicted;
}

// Only the bitboards, the board, the counts and the king square are undone
// here: everything else comes back from the undo record. Castling and an
// en-passant capture are told from the move and the record's state, as
// makeMove told them.
void unmakeMove(Position& pos) {
    assert(pos.historyLength > 0 && pos.history[pos.historyLength - 1].move != MoveNull);
    const int us = pos.sideToMove ^ 1, them = pos.sideToMove;
    const UndoRecord& r = pos.history[--pos.historyLength];
    const Move m = r.move;
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = movePiece(m), captured = moveCaptured(m), promotion = movePromotion(m);

    if (promotion == NoPiece) {
        shiftMan(pos, piece, us, to, from);
        if (piece == King) {
            pos.kingSquare[us] = from;
            // A king move of two files was castling.
            if (to - from == 16 || from - to == 16) {
                const int32_t* info = CastleInfo[castleRightIndex(us, from, to)];
                shiftMan(pos, Rook, us, info[3], info[2]);
            }
        }
    } else {
        liftMan(pos, promotion, us, to);
        placeMan(pos, Pawn, us, from);
    }
    if (captured != NoPiece) {
        // The record's en-passant square is the one the capture found.
        Square s = to;
        if (piece == Pawn && to == r.epSquare) s = to - pawnPush(us);
        placeMan(pos, captured, them, s);
    }

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
    updateCacheKey(pos);
    assert(positionIsConsistent(pos));
}

void unmakeNullMove(Position& pos) {
    assert(pos.historyLength > 0 && pos.history[pos.historyLength - 1].move == MoveNull);
    pos.sideToMove ^= 1;
    restoreUndo(pos, pos.history[--pos.historyLength]);
    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    assert(positionIsConsistent(pos));
}
