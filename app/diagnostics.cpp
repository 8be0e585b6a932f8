#include "app/diagnostics.h"

#include <iostream>

#include "app/output.h"
#include "board/makemove.h"
#include "eval/eval.h"

namespace {

// Indexed by piece type * 2 + colour; an empty square (NoPiece) reads '-'.
constexpr char PieceLetters[] = "PpNnBbRrQqKk-";

}  // namespace

std::string boardText(const Position& pos) {
    std::string text = "  hgfedcba\n\n";
    for (int rank = 0; rank < 8; rank++) {
        text += char('1' + rank);
        text += ' ';
        for (int file = 7; file >= 0; file--) {
            const Square s = makeSquare(file, rank);
            const int color = (pos.colorBB[Black] >> s) & 1 ? Black : White;
            const int type = pos.board[s] >= Pawn && pos.board[s] <= King ? pos.board[s] : NoPiece;
            text += PieceLetters[type * 2 + (type == NoPiece ? 0 : color)];
        }
        text += '\n';
    }
    return text + '\n';
}

void displayCommand(const Position& pos) { std::cout << boardText(pos) << std::flush; }

void hashCommand(const Position& pos) { writeLine(std::to_string(ttIndexKey(pos))); }

void evalCommand() {}

void traceCommand(Position& pos) {
    std::string text = traceEvaluation(pos);
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::cout << text << std::flush;
}
