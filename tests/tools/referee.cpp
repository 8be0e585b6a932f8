#include "referee.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "board/bitops.h"
#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"

namespace {

// Squares of one colour: a1 (file 0, rank 0) is dark, so a square is dark
// when file + rank is even.
constexpr Bitboard DarkSquares = 0xAA55AA55AA55AA55ull;

// Plies without a capture or pawn move after which the game is drawn.
constexpr int FiftyMovePlies = 100;

// The widest centipawn value of a score below the mate range (31800 units
// of 257 to the pawn).
constexpr int FinalLineCpLimit = 31800 * 100 / 257;

bool sameMoveText(const std::string& engineWord, const std::string& word) {
    if (engineWord.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); i++)
        if (std::tolower(static_cast<unsigned char>(engineWord[i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

bool inCheck(const Position& pos) { return isSquareAttacked(pos.kingSquare[pos.sideToMove], pos.sideToMove ^ 1, pos); }

bool parseNumber(const std::string& word, long long& value) {
    std::istringstream stream(word);
    return (stream >> value) && stream.eof();
}

}  // namespace

const char* gameEndText(GameEnd end) {
    switch (end) {
        case GameEnd::Checkmate:
            return "checkmate";
        case GameEnd::Stalemate:
            return "stalemate";
        case GameEnd::FiftyMoves:
            return "fifty-move rule";
        case GameEnd::Repetition:
            return "threefold repetition";
        case GameEnd::InsufficientMaterial:
            return "insufficient material";
        case GameEnd::None:
            break;
    }
    return "in progress";
}

Move findLegalMove(const Position& pos, const std::string& word, MoveWords rule) {
    Move moves[MaxMoves];
    const int n = generateLegalMoves(pos, moves);
    for (int i = 0; i < n; i++) {
        if (rule == MoveWords::Strict ? moveToText(moves[i], PromotionCase::Lower) == word
                                      : sameMoveText(moveToText(moves[i]), word))
            return moves[i];
    }
    return MoveNone;
}

bool insufficientMaterial(const Position& pos) {
    for (int c = White; c <= Black; c++)
        if (pos.pieceBB[c][Pawn] | pos.pieceBB[c][Rook] | pos.pieceBB[c][Queen]) return false;
    const Bitboard knights = pos.pieceBB[White][Knight] | pos.pieceBB[Black][Knight];
    const Bitboard bishops = pos.pieceBB[White][Bishop] | pos.pieceBB[Black][Bishop];
    if (popCount(knights | bishops) <= 1) return true;
    // Bishops that all run on one colour can never cover a king's flight
    // square of the other colour, so no mate exists.
    return knights == 0 && ((bishops & DarkSquares) == 0 || (bishops & ~DarkSquares) == 0);
}

bool startGame(Game& game, const std::string& fen) {
    game.moves.clear();
    game.keys.clear();
    resetPosition(*game.pos);
    if (!setFromFenChecked(fen, *game.pos)) return false;
    game.startFen = fen;
    game.keys.push_back(ttIndexKey(*game.pos));
    return true;
}

void playMove(Game& game, Move m, const std::string& text) {
    makeMove(*game.pos, m);
    compactHistory(*game.pos);
    game.moves.push_back(text);
    game.keys.push_back(ttIndexKey(*game.pos));
}

GameEnd gameEnd(const Game& game) {
    const Position& pos = *game.pos;
    Move moves[MaxMoves];
    if (generateLegalMoves(pos, moves) == 0) return inCheck(pos) ? GameEnd::Checkmate : GameEnd::Stalemate;
    if (pos.rule50 >= FiftyMovePlies) return GameEnd::FiftyMoves;

    // Only positions since the last capture or pawn move can recur, and only
    // with the same side to move: every second entry going back.
    const size_t last = game.keys.size() - 1;
    const size_t window = std::min<size_t>(size_t(pos.rule50), last);
    int occurrences = 1;
    for (size_t back = 2; back <= window; back += 2)
        if (game.keys[last - back] == game.keys[last]) occurrences++;
    if (occurrences >= 3) return GameEnd::Repetition;

    if (insufficientMaterial(pos)) return GameEnd::InsufficientMaterial;
    return GameEnd::None;
}

std::string positionCommand(const Game& game) {
    std::string line = "position fen " + game.startFen;
    if (game.moves.empty()) return line;
    line += " moves";
    for (const std::string& move : game.moves) line += " " + move;
    return line;
}

size_t legalPvLength(const Position& pos, const std::vector<std::string>& pv, MoveWords rule) {
    auto line = std::make_unique<Position>(pos);
    size_t good = 0;
    for (const std::string& word : pv) {
        if (line->historyLength >= HistoryCapacity) break;
        const Move m = findLegalMove(*line, word, rule);
        if (m == MoveNone) break;
        makeMove(*line, m);
        good++;
    }
    return good;
}

InfoLine parseInfoLine(const std::string& line) {
    InfoLine info;
    std::istringstream stream(line);
    std::string word;
    if (!(stream >> word) || word != "info") return info;
    bool haveDepth = false, haveScore = false, haveNodes = false, havePv = false;
    long long value = 0;
    while (stream >> word) {
        if (havePv) {
            info.pv.push_back(word);
            continue;
        }
        if (word == "depth") {
            if (!(stream >> word) || !parseNumber(word, value) || value < 1) return info;
            info.depth = int(value);
            haveDepth = true;
        } else if (word == "score") {
            std::string kind;
            if (!(stream >> kind >> word) || (kind != "cp" && kind != "mate")) return info;
            if (!parseNumber(word, value)) return info;
            info.mateScore = kind == "mate";
            info.score = int(value);
            haveScore = true;
        } else if (word == "nodes") {
            if (!(stream >> word) || !parseNumber(word, value) || value < 0) return info;
            info.nodes = uint64_t(value);
            haveNodes = true;
        } else if (word == "multipv") {
            if (!(stream >> word) || !parseNumber(word, value) || value < 1) return info;
            info.multiPv = int(value);
        } else if (word == "lowerbound" || word == "upperbound") {
            info.bound = true;
        } else if (word == "pv") {
            havePv = true;
        }
    }
    info.valid = haveDepth && haveScore && haveNodes && havePv;
    return info;
}

AnswerCheck checkAnswer(const std::vector<std::string>& lines) {
    AnswerCheck check;
    bool anyFinal = false;
    std::vector<std::string> lastPv;
    std::string best, ponder;
    for (const std::string& line : lines) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "bestmove") {
            words >> best >> word >> ponder;
            break;
        }
        const InfoLine info = parseInfoLine(line);
        if (!info.valid || info.bound) continue;
        if (info.mateScore ? info.score == 0 : std::abs(info.score) > FinalLineCpLimit) check.badScores++;
        if (info.multiPv != 1) continue;
        anyFinal = true;
        lastPv = info.pv;
    }
    if (best.empty() || best == "(none)") return check;
    if (anyFinal && (lastPv.empty() || !sameMoveText(lastPv[0], best))) check.disagrees = true;
    if (!ponder.empty() && (lastPv.size() < 2 || !sameMoveText(lastPv[1], ponder))) check.disagrees = true;
    return check;
}
