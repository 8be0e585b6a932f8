#include "app/protocol.h"

#include <algorithm>
#include <sstream>

#include "app/engine.h"
#include "app/options.h"
#include "app/output.h"
#include "board/movetext.h"

void uciCommand() {
    writeLine("id name " + engineName);
    writeLine("id author Hadrevan");
    printOptionLines();
    writeLine("uciok");
}

void isreadyCommand() { writeLine("readyok"); }

void positionCommand(std::istream& words, const std::string& line, GameRecord& record) {
    std::string word;
    words >> word;
    if (word == "startpos") {
        setFromFen(StartFen, record.pos);
        clearSearchLimits(record.limits);
    } else if (word == "fen") {
        // The FEN is the text after "fen" and the one separator that
        // follows it, whatever character that is, up to the move list if
        // there is one; further spaces and tabs around it are not part of it.
        std::string fen = line.substr(std::min(line.find("fen") + 4, line.size()));
        const size_t movesAt = fen.find("moves");
        if (movesAt != std::string::npos) fen.erase(movesAt);
        const size_t begin = fen.find_first_not_of(" \t");
        fen = begin == std::string::npos ? std::string() : fen.substr(begin);
        // A FEN that cannot be used leaves the position, and with it the
        // meaning of its move list, as it was: the whole command is void.
        if (fen.empty() || !setFromFenChecked(fen, record.pos)) return;
        clearSearchLimits(record.limits);
    }

    const size_t movesAt = line.find("moves");
    if (movesAt == std::string::npos || movesAt + 6 > line.size()) return;
    std::istringstream moves(line.substr(movesAt + 6));
    while (moves >> word) {
        // The list ends at the first word that is not a legal move here.
        if (!moveFromText(word, record.pos)) break;
        compactHistory(record.pos);
    }
}

void newgameCommand(ThreadList& threads) { requestTableClear(threads); }
