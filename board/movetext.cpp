#include "board/movetext.h"

#include "board/makemove.h"
#include "board/movegen.h"

namespace {

// Letter of each piece type, "?" for no piece.
constexpr char PieceLetters[] = "PNBRQK?";

// The square named by a file letter and a rank digit, or NoSquare.
Square squareFromText(char file, char rank) {
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8') return NoSquare;
    return makeSquare(file - 'a', rank - '1');
}

// The promotion piece a letter names (either case), or NoPiece.
int promotionFromLetter(char letter) {
    switch (letter) {
        case 'N':
        case 'n':
            return Knight;
        case 'B':
        case 'b':
            return Bishop;
        case 'R':
        case 'r':
            return Rook;
        case 'Q':
        case 'q':
            return Queen;
        default:
            return NoPiece;
    }
}

}  // namespace

std::string squareToText(Square s) { return {char('a' + (s >> 3)), char('1' + (s & 7))}; }

std::string moveToText(Move m, PromotionCase letters) {
    std::string text = squareToText(moveFrom(m)) + squareToText(moveTo(m));
    const int promotion = movePromotion(m);
    if (promotion != NoPiece) {
        const char letter = promotion < NoPiece ? PieceLetters[promotion] : '?';
        text += letters == PromotionCase::Lower && letter != '?' ? char(letter - 'A' + 'a') : letter;
    }
    return text;
}

bool moveFromText(const std::string& word, Position& pos) {
    // Four characters, then the promotion letter as the fifth if there is
    // one; what follows it is not read. "0000" (the null move) and every
    // word that decodes to no legal move names no move.
    if (word.size() < 4) return false;
    const Square from = squareFromText(word[0], word[1]);
    const Square to = squareFromText(word[2], word[3]);
    if (from == NoSquare || to == NoSquare) return false;
    int promotion = NoPiece;
    if (word.size() >= 5) {
        promotion = promotionFromLetter(word[4]);
        if (promotion == NoPiece) return false;
    }
    Move moves[MaxMoves];
    const int n = generateLegalMoves(pos, moves);
    for (int i = 0; i < n; i++) {
        const Move m = moves[i];
        if (moveFrom(m) == from && moveTo(m) == to && movePromotion(m) == promotion) {
            makeMove(pos, m);
            return true;
        }
    }
    return false;
}
