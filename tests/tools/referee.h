// The referee of the self-play driver: the rules of a chess game on top of
// the engine's own board code (move legality, move text, how a game ends),
// independent of any search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/position.h"

enum class GameEnd {
    None,
    Checkmate,  // the side to move is mated
    Stalemate,
    FiftyMoves,  // 100 plies without a capture or pawn move
    Repetition,  // the same position for the third time
    InsufficientMaterial,
};

const char* gameEndText(GameEnd end);

// How strictly a move word is read. Lenient takes a promotion letter in
// either case ("e7e8Q" as the engine's own dialect prints it, or "e7e8q");
// Strict, as the strictest tournament managers read moves, takes only the
// lower-case word and counts anything else as an illegal move.
enum class MoveWords { Lenient, Strict };

// The legal move of pos that a long-algebraic word names, or MoveNone.
Move findLegalMove(const Position& pos, const std::string& word, MoveWords rule = MoveWords::Lenient);

// Whether neither side can ever mate: no pawns, rooks or queens, and at most
// one minor piece on the board, or only bishops all on squares of one colour.
bool insufficientMaterial(const Position& pos);

// One game from a starting FEN: the moves played and the keys needed for
// repetitions.
struct Game {
    std::unique_ptr<Position> pos = std::make_unique<Position>();
    std::string startFen;
    std::vector<std::string> moves;  // as the engines printed them
    // Position keys (with castling rights and en passant) after each ply,
    // the start position first.
    std::vector<uint64_t> keys;
};

// Sets the game up; false when the FEN is not a sound position.
bool startGame(Game& game, const std::string& fen);
// Plays a legal move of the side to move.
void playMove(Game& game, Move m, const std::string& text);
// How the game stands after the last move.
GameEnd gameEnd(const Game& game);
// The "position" command that sets the engine to the game's current position.
std::string positionCommand(const Game& game);

// Checks the words of a "pv" list: each must be a legal move in sequence from
// pos. Returns the number of legal moves before the first bad word (the
// whole count when all are good).
size_t legalPvLength(const Position& pos, const std::vector<std::string>& pv, MoveWords rule = MoveWords::Lenient);

// The fields of a search "info" line that a controlling program relies on.
struct InfoLine {
    bool valid = false;  // depth, score (cp or mate), nodes and pv present and numeric
    int depth = 0;
    bool mateScore = false;
    int score = 0;
    uint64_t nodes = 0;
    int multiPv = 1;     // 1 when the field is missing
    bool bound = false;  // an aspiration line: "lowerbound" or "upperbound"
    std::vector<std::string> pv;
};

// Parses a line that begins "info depth"; other lines give valid = false.
InfoLine parseInfoLine(const std::string& line);

// What the end of one search tells a controlling program beyond the legality
// of its moves (which legalPvLength and findLegalMove check): the output of
// the search, its "bestmove" line last.
struct AnswerCheck {
    // Final lines with a score no searched move gives: "mate 0", or
    // centipawns beyond the range below the mate scores.
    int badScores = 0;
    // "bestmove" is not the first move of the last final line of the first
    // variation, or " ponder" is not its second move (a ponder move with no
    // such line counts too).
    bool disagrees = false;
};

AnswerCheck checkAnswer(const std::vector<std::string>& lines);
