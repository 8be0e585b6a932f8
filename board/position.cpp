// The position record: resetting, the piece primitives, FEN set-up (trusted
// and validating) and the from-scratch self-check.
#include "board/position.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/pieceops.h"
#include "board/tables.h"

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

// Piece letters: the letter at index i is piece type i >> 1 of colour i & 1.
constexpr char PieceLetters[] = "PpNnBbRrQqKk-";
constexpr int PieceLetterCount = 12;

// The validating set-up caps the half-move clock: any value above 100 is
// already a draw by the fifty-move rule, and the cap keeps the clock far from
// overflowing as moves are made.
constexpr int32_t RuleFiftyCap = 1 << 20;

int pieceLetterIndex(char ch) {
    for (int i = 0; i < PieceLetterCount; i++)
        if (PieceLetters[i] == ch) return i;
    return -1;
}

// A pawn of the given colour on s; false for squares off the board, so that
// the en-passant test of a hostile FEN never reads outside the board array.
bool pawnOfColorOn(const Position& pos, Square s, int color) {
    if (s < 0 || s > 63) return false;
    return pos.board[s] == Pawn && ((pos.colorBB[color] >> s) & 1);
}

// Squares of pieces of colour 'by' that attack square q.
Bitboard attackersOf(const Position& pos, Square q, int by) {
    const Bitboard* p = pos.pieceBB[by];
    return (PawnAttacks[by ^ 1][q] & p[Pawn]) | (PseudoAttacks[Knight][q] & p[Knight]) |
           (attacksFrom(Bishop, q, pos.occupied) & bishopsAndQueens(pos, by)) |
           (attacksFrom(Rook, q, pos.occupied) & rooksAndQueens(pos, by)) | (PseudoAttacks[King][q] & p[King]);
}

// The placement field must name every square exactly once: eight ranks of
// eight squares, separated by '/', with only digits 1-8 and piece letters.
// The placement runs through the squares a8..h1 in one count: '/' is only a
// separator and a digit skips that many squares, so ranks need not be cut
// at eight. What has no meaning is a character outside the table or a count
// that runs past h1; squares never reached stay empty.
bool placementIsWellFormed(const std::string& fen, size_t end) {
    int squares = 0;
    for (size_t i = 0; i < end; i++) {
        char ch = fen[i];
        if (ch == '/') continue;
        if (ch >= '0' && ch <= '9') {
            squares += ch - '0';
        } else if (pieceLetterIndex(ch) >= 0) {
            squares++;
        } else {
            return false;
        }
        if (squares > 64) return false;
    }
    return true;
}

// At most sixteen men a side: the bound that keeps every move list of the
// position within its fixed-size arrays. Any distribution among the piece
// types is accepted, as composed positions and test suites use them.
bool materialFitsMoveLists(const Position& pos, int color) { return popCount(pos.colorBB[color]) <= 16; }

// An en-passant square can be kept when taking on it is a sound move: the
// square is empty and an enemy pawn stands in front of it to be taken. The
// square must also lie between the third and the seventh rank seen from the
// side to move: on the eighth the capturing pawn would have to promote, and
// below the third the pawn to be taken would stand on the first rank or off
// the board. Whether that pawn could really have made a double step is not
// asked: the capture itself is well defined.
bool epSquareIsPlausible(const Position& pos) {
    Square s = pos.epSquare;
    int us = pos.sideToMove, push = pawnPush(us);
    const int rank = relativeRank(us, s);
    if (rank < 2 || rank > 6) return false;
    return pawnOfColorOn(pos, s - push, us ^ 1) && pos.board[s] == NoPiece;
}

}  // namespace

void resetPosition(Position& pos) {
    for (int c = White; c <= Black; c++) {
        for (int t = Pawn; t <= King; t++) {
            pos.pieceBB[c][t] = 0;
            pos.pieceCount[c][t] = 0;
        }
        pos.colorBB[c] = 0;
        pos.kingSquare[c] = 0;
        pos.nonPawnMaterial[c] = 0;
        pos.pstA[c] = 0;
        pos.pstB[c] = 0;
    }
    for (Square s = 0; s < 64; s++) pos.board[s] = NoPiece;
    pos.occupied = 0;
    pos.sideToMove = White;
    pos.key = 0;
    pos.pawnKey = 0;
    pos.castleRights = 0;
    pos.epSquare = NoSquare;
    pos.rule50 = 0;
    pos.historyLength = 0;
    pos.historyDropped = 0;
    updateCacheKey(pos);
}

void updateCacheKey(Position& pos) {
    pos.cacheKey = pos.key ^ ZobristCastle[pos.castleRights] ^ zobristEp(pos.epSquare);
}

void putPiece(Position& pos, int type, int color, Square s) {
    placeOnBoard(pos, type, color, s);
    uint64_t k = ZobristPiece[color][type][s];
    pos.key ^= k;
    pos.cacheKey ^= k;
    if (type == Pawn) pos.pawnKey ^= k;
    pos.nonPawnMaterial[color] += NonPawnValue[type];
}

void removePiece(Position& pos, int type, int color, Square s) {
    liftFromBoard(pos, type, color, s);
    uint64_t k = ZobristPiece[color][type][s];
    pos.key ^= k;
    pos.cacheKey ^= k;
    if (type == Pawn) pos.pawnKey ^= k;
    pos.nonPawnMaterial[color] -= NonPawnValue[type];
}

void movePiece(Position& pos, int type, int color, Square from, Square to) { shiftOnBoard(pos, type, color, from, to); }

// The text is read with one cursor; a step whose field is missing keeps the
// reset value. Anything that cannot be used (unknown letters, squares past
// h1, en-passant squares off the board) is ignored.
void setFromFen(const std::string& fen, Position& pos) {
    resetPosition(pos);
    const size_t n = fen.size();
    size_t i = 0;

    // Placement, from a8 in reading order: rank 8 to rank 1, file a to h.
    int p = 0;
    for (; i < n && fen[i] != ' '; i++) {
        char ch = fen[i];
        if (ch == '/') continue;
        if (ch >= '0' && ch <= '9') {
            if (p < 64) p += ch - '0';
            continue;
        }
        int letter = pieceLetterIndex(ch);
        if (letter < 0 || p >= 64) continue;
        putPiece(pos, letter >> 1, letter & 1, makeSquare(p & 7, 7 - (p >> 3)));
        p++;
    }
    if (i < n) i++;

    // Side to move: anything but 'w' means Black.
    if (i < n) {
        if (fen[i] != 'w') {
            pos.sideToMove = Black;
            pos.key ^= ZobristSide;
        }
        i++;
        if (i < n) i++;
    }

    // Castling: a right is granted only with king and rook on their home squares.
    for (; i < n && fen[i] != ' '; i++) {
        int right = -1;
        switch (fen[i]) {
            case 'K':
                right = 0;
                break;
            case 'Q':
                right = 1;
                break;
            case 'k':
                right = 2;
                break;
            case 'q':
                right = 3;
                break;
            default:
                break;
        }
        if (right < 0) continue;
        int color = right >> 1;
        Square kingFrom = CastleInfo[right][0], rookFrom = CastleInfo[right][2];
        bool kingHome = pos.board[kingFrom] == King && int((pos.colorBB[Black] >> kingFrom) & 1) == color;
        bool rookHome = pos.board[rookFrom] == Rook && int((pos.colorBB[Black] >> rookFrom) & 1) == color;
        if (kingHome && rookHome) pos.castleRights |= 1 << right;
    }
    if (i < n) i++;

    // En passant: kept only if a pawn of the side to move can capture there.
    size_t fieldStart = i;
    for (; i < n && fen[i] != ' '; i++) {
    }
    size_t fieldLength = i - fieldStart;
    if (fieldLength >= 2) {
        char letter = fen[fieldStart], digit = fen[fieldStart + 1];
        if (letter >= 'a' && letter <= 'h' && digit >= '1' && digit <= '8') {
            Square s = makeSquare(letter - 'a', digit - '1');
            Square q = s - pawnPush(pos.sideToMove);
            int us = pos.sideToMove;
            if ((fileOf(s) > 0 && pawnOfColorOn(pos, q - 8, us)) || (fileOf(s) < 7 && pawnOfColorOn(pos, q + 8, us)))
                pos.epSquare = s;
        }
    }

    // Half-move clock: the whole rest converted base 10, stopping at the first
    // non-digit (the full-move number and any "moves" list are ignored). A
    // rest that does not start with a number in the 32-bit range counts as 0.
    if (i < n) {
        const char* start = fen.c_str() + i;
        char* end = nullptr;
        errno = 0;
        long long value = std::strtoll(start, &end, 10);
        if (end != start && errno == 0 && value >= INT32_MIN && value <= INT32_MAX) pos.rule50 = int32_t(value);
    }

    pos.occupied = pos.colorBB[White] | pos.colorBB[Black];
    updateCacheKey(pos);
    // Whatever the text, the record is built by the piece primitives alone,
    // so its sums and keys agree with its board.
    assert(positionIsConsistent(pos));
}

bool setFromFenChecked(const std::string& text, Position& pos) {
    // A "moves" list passed along with the FEN ends it: the fields after the
    // word are not FEN fields, even when the FEN itself left some out.
    std::string fen = text;
    size_t movesAt = fen.find("moves");
    while (movesAt != std::string::npos) {
        size_t after = movesAt + 5;
        if ((movesAt == 0 || fen[movesAt - 1] == ' ') && (after == fen.size() || fen[after] == ' ')) {
            fen.resize(movesAt);
            break;
        }
        movesAt = fen.find("moves", movesAt + 1);
    }

    if (fen.empty()) return false;
    const size_t n = fen.size();
    size_t placementEnd = std::min(fen.find(' '), n);
    if (!placementIsWellFormed(fen, placementEnd)) return false;

    // The remaining fields, cut exactly as setFromFen's cursor cuts them.
    // The side is one character ('w' White, anything else Black), and the
    // character after it is skipped whatever it is.
    size_t i = std::min(placementEnd + 1, n);
    i = std::min(i + 2, n);
    for (; i < n && fen[i] != ' '; i++)
        if (fen[i] == '\0' || std::strchr("KQkq-", fen[i]) == nullptr) return false;
    if (i < n) i++;
    size_t epStart = i;
    for (; i < n && fen[i] != ' '; i++) {
    }
    std::string ep = fen.substr(epStart, i - epStart);
    // Only the first two characters of the field name the square.
    if (!ep.empty() && ep != "-") {
        if (ep.size() < 2 || ep[0] < 'a' || ep[0] > 'h' || ep[1] < '1' || ep[1] > '8') return false;
    }

    // Parse into a copy, so that the target keeps every field on failure and
    // on success differs from a plain setFromFen in nothing.
    auto scratch = std::make_unique<Position>(pos);
    Position& s = *scratch;
    setFromFen(fen, s);

    const Bitboard backRanks = RelativeRankMask[White][0] | RelativeRankMask[White][7];
    if ((s.pieceBB[White][Pawn] | s.pieceBB[Black][Pawn]) & backRanks) return false;
    for (int c = White; c <= Black; c++) {
        if (s.pieceCount[c][King] != 1) return false;
        if (!materialFitsMoveLists(s, c)) return false;
    }
    int us = s.sideToMove, them = us ^ 1;
    // The side that just moved cannot have left its king in check.
    if (attackersOf(s, s.kingSquare[them], us)) return false;
    // Two pawns or knights can never check at once (a second check is always
    // a line piece uncovered), and the check detection relies on that.
    const Bitboard leapers = s.pieceBB[them][Pawn] | s.pieceBB[them][Knight];
    if (popCount(attackersOf(s, s.kingSquare[us], them) & leapers) > 1) return false;

    if (s.epSquare != NoSquare && !epSquareIsPlausible(s)) s.epSquare = NoSquare;
    if (s.rule50 > RuleFiftyCap) s.rule50 = RuleFiftyCap;
    updateCacheKey(s);

    pos = s;
    return true;
}

void compactHistory(Position& pos) {
    if (pos.historyLength <= HistoryCapacity - HistoryReserve) return;
    // A repetition reaches back at most rule50 plies, and past 100 plies the
    // game is drawn anyway, so older records can never matter again.
    int64_t keep = pos.historyLength;
    if (int64_t(pos.rule50) + 1 < keep) keep = int64_t(pos.rule50) + 1;
    if (keep > HistoryKeptAfterCompaction) keep = HistoryKeptAfterCompaction;
    if (keep < 0) keep = 0;
    int32_t dropped = pos.historyLength - int32_t(keep);
    std::memmove(pos.history, pos.history + dropped, size_t(keep) * sizeof(UndoRecord));
    pos.historyLength = int32_t(keep);
    pos.historyDropped += dropped;
}

bool positionIsConsistent(const Position& pos) {
    if (pos.sideToMove > Black) return false;
    if (pos.castleRights < 0 || pos.castleRights > 15) return false;
    if (pos.epSquare < NoSquare || pos.epSquare > 63) return false;
    if (pos.historyLength < 0 || pos.historyLength > HistoryCapacity) return false;

    Bitboard pieceBB[2][6] = {};
    Bitboard colorBB[2] = {};
    int32_t nonPawnMaterial[2] = {}, pstA[2] = {}, pstB[2] = {};
    uint64_t key = pos.sideToMove == Black ? ZobristSide : 0, pawnKey = 0;
    for (Square s = 0; s < 64; s++) {
        int t = pos.board[s];
        if (t == NoPiece) continue;
        if (t < Pawn || t > King) return false;
        // Exactly one colour holds the square.
        Bitboard b = squareBB(s);
        int c = (pos.colorBB[Black] & b) ? Black : White;
        if (!(pos.colorBB[c] & b) || (pos.colorBB[c ^ 1] & b)) return false;
        pieceBB[c][t] |= squareBB(s);
        colorBB[c] |= squareBB(s);
        key ^= ZobristPiece[c][t][s];
        if (t == Pawn) pawnKey ^= ZobristPiece[c][t][s];
        nonPawnMaterial[c] += NonPawnValue[t];
        pstA[c] += PieceSquareMg[t][relativeSquare(c, s)];
        pstB[c] += PieceSquareEg[t][s];
    }
    for (int c = White; c <= Black; c++) {
        for (int t = Pawn; t <= King; t++) {
            if (pos.pieceBB[c][t] != pieceBB[c][t]) return false;
            if (pos.pieceCount[c][t] != popCount(pieceBB[c][t])) return false;
        }
        if (pos.colorBB[c] != colorBB[c]) return false;
        if (popCount(pieceBB[c][King]) == 1 && pos.kingSquare[c] != lsb(pieceBB[c][King])) return false;
        if (pos.nonPawnMaterial[c] != nonPawnMaterial[c]) return false;
        if (pos.pstA[c] != pstA[c] || pos.pstB[c] != pstB[c]) return false;
    }
    if (pos.occupied != (colorBB[White] | colorBB[Black])) return false;
    return pos.key == key && pos.pawnKey == pawnKey &&
           pos.cacheKey == (key ^ ZobristCastle[pos.castleRights] ^ zobristEp(pos.epSquare));
}
