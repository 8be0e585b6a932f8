// Self-play soak driver: two engine processes play a series of games at a
// fast clock under a referee built from the engine's own board code.
//
//   selfplay [--games N] [--tc BASE+INC] [--threads T] [--openings FILE]
//            [--margin MS] [--max-plies N] [--keep-table] [--overhead MS]
//            [--strict] [--ponder] [--engine-arg WORD]... [--verbose]
//            ENGINE [ENGINE2]
//
// Times are in milliseconds. The second engine (the same program when only
// one is given) runs with T search threads. Openings are played in pairs
// with the colours swapped. The driver counts results, time forfeits,
// illegal moves, crashes and hangs (no "bestmove" within the remaining clock
// plus the margin), malformed "info" lines and principal variations with
// illegal moves, scores no searched move gives ("mate 0"), answers whose
// bestmove or ponder move is not the last line's variation (checkAnswer),
// and the lowest clock left after a move. The exit code is 0 only when none
// of those faults occurred.
//
// Between games each engine is sent "newgame", which clears its table;
// with --keep-table it gets "ucinewgame" instead, as a tournament manager
// sends it, which the engine's own dialect passes over: the table then
// carries what earlier games stored into the next one (the standard dialect
// empties it, as "newgame" does).
//
// --strict reads moves as the strictest tournament managers do: a promotion
// letter must be lower case ("e7e8q"), or the move is illegal and the game
// lost, and every word of a variation is held to the same rule.
// --engine-arg passes a command-line argument to both engines (once per
// argument, in order), such as "--standard" for the standard dialect.
//
// --overhead sets the engines' MoveOverhead: the reserve each keeps on its
// clock for delays outside the search. On a machine busy with other work a
// move can reach the referee more than the default 50 ms late, which the
// clock counts as a loss although the engine kept to its budget.
//
// --ponder plays as a tournament manager with pondering on: after each
// answer with a ponder move the engine is set to the position after it and
// told "go ponder" with the clocks, while the opponent thinks. When the
// opponent plays that move it gets "ponderhit" (its clock runs from then),
// otherwise "stop", and its answer to the stopped search is checked in the
// position it pondered before it is sent the real one. A "bestmove" before
// "ponderhit" or "stop" is a fault, as is a pondering engine that does not
// answer "stop".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "board/tables.h"
#include "engine_process.h"
#include "referee.h"

namespace {

constexpr int DefaultGames = 10;
constexpr int DefaultBaseMs = 2000;
constexpr int DefaultIncrementMs = 20;
constexpr int DefaultMarginMs = 1000;
constexpr int DefaultMaxPlies = 400;
constexpr int HandshakeTimeoutMs = 10000;

struct Options {
    int games = DefaultGames;
    int baseMs = DefaultBaseMs;
    int incrementMs = DefaultIncrementMs;
    int secondThreads = 1;
    int marginMs = DefaultMarginMs;
    int maxPlies = DefaultMaxPlies;
    bool verbose = false;
    bool keepTable = false;
    bool ponder = false;
    int moveOverheadMs = -1;  // the engine's own default unless given
    MoveWords moveWords = MoveWords::Lenient;
    std::vector<std::string> engineArgs;
    std::string openings = OSTREVALK_OPENINGS;
    std::string engines[2];
};

struct Player {
    std::string path;
    int threads = 1;
    std::unique_ptr<EngineProcess> process;
    int wins = 0, draws = 0, losses = 0;
    // The search it runs while the opponent thinks, if any: the move it
    // expects and the game as it would stand after that move.
    bool pondering = false;
    Move ponderMove = MoveNone;
    Game ponderGame;
};

struct Tally {
    int games = 0;
    int forfeits = 0;
    int illegalMoves = 0;
    int crashes = 0;  // process died, hung, or failed to start or quit
    int badInfoLines = 0;
    int badPvs = 0;
    int badScores = 0;         // final lines with "mate 0" or out-of-range centipawns
    int answerMismatches = 0;  // bestmove or ponder not the last line's pv (checkAnswer)
    int ponderFaults = 0;      // a bestmove before ponderhit or stop, or none after stop
    int ponderHits = 0, ponderMisses = 0;
    bool anyMove = false;
    long long lowestClockMs = 0;  // after a move, before the increment
    long long moves = 0;
};

void usage() {
    std::fprintf(stderr,
                 "usage: selfplay [--games N] [--tc BASE+INC] [--threads T] [--openings FILE]\n"
                 "                [--margin MS] [--max-plies N] [--keep-table] [--overhead MS]\n"
                 "                [--strict] [--ponder] [--engine-arg WORD]... [--verbose]\n"
                 "                ENGINE [ENGINE2]\n");
    std::exit(2);
}

int parseCount(const char* text, int low) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < low || value > 1000000) usage();
    return int(value);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    int engineCount = 0;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--games" && hasValue) {
            options.games = parseCount(argv[++i], 1);
        } else if (arg == "--tc" && hasValue) {
            const std::string tc = argv[++i];
            const size_t plus = tc.find('+');
            if (plus == std::string::npos) usage();
            options.baseMs = parseCount(tc.substr(0, plus).c_str(), 1);
            options.incrementMs = parseCount(tc.substr(plus + 1).c_str(), 0);
        } else if (arg == "--threads" && hasValue) {
            options.secondThreads = parseCount(argv[++i], 1);
        } else if (arg == "--openings" && hasValue) {
            options.openings = argv[++i];
        } else if (arg == "--margin" && hasValue) {
            options.marginMs = parseCount(argv[++i], 0);
        } else if (arg == "--max-plies" && hasValue) {
            options.maxPlies = parseCount(argv[++i], 1);
        } else if (arg == "--overhead" && hasValue) {
            options.moveOverheadMs = parseCount(argv[++i], 0);
        } else if (arg == "--engine-arg" && hasValue) {
            options.engineArgs.push_back(argv[++i]);
        } else if (arg == "--strict") {
            options.moveWords = MoveWords::Strict;
        } else if (arg == "--ponder") {
            options.ponder = true;
        } else if (arg == "--keep-table") {
            options.keepTable = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg.rfind("--", 0) == 0 || engineCount == 2) {
            usage();
        } else {
            options.engines[engineCount++] = arg;
        }
    }
    if (engineCount == 0) usage();
    if (engineCount == 1) options.engines[1] = options.engines[0];
    return options;
}

std::vector<std::string> readOpenings(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> fens;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') fens.push_back(line);
    }
    return fens;
}

// Starts the engine and completes the handshake; false when it does not answer.
bool startEngine(Player& player, const Options& options) {
    const int moveOverheadMs = options.moveOverheadMs;
    player.process = std::make_unique<EngineProcess>(player.path, options.engineArgs);
    EngineProcess& engine = *player.process;
    if (!engine.running() || !engine.send("uci")) return false;
    if (!engine.waitFor("uciok", HandshakeTimeoutMs)) return false;
    if (player.threads > 1 && !engine.send("setoption name Threads value " + std::to_string(player.threads)))
        return false;
    if (moveOverheadMs >= 0 && !engine.send("setoption name MoveOverhead value " + std::to_string(moveOverheadMs)))
        return false;
    bool ready = false;
    engine.roundTrip("", HandshakeTimeoutMs, &ready);
    return ready;
}

// Stops a process that is still running and reports whether it ended as it
// should (exit code 0 after "quit").
bool stopEngine(Player& player) {
    if (!player.process) return true;
    const std::optional<int> code = player.process->quit();
    player.process.reset();
    return code && *code == 0;
}

enum class Outcome { WhiteWins, Draw, BlackWins };

struct GameResult {
    Outcome outcome = Outcome::Draw;
    std::string reason;
};

// Checks the search output of one move against the position it was searched in.
void checkSearchOutput(const std::vector<std::string>& lines, const Position& pos, Tally& tally,
                       const Options& options) {
    const bool verbose = options.verbose;
    for (const std::string& line : lines) {
        if (line.rfind("info depth", 0) != 0) continue;
        const InfoLine info = parseInfoLine(line);
        if (!info.valid) {
            tally.badInfoLines++;
            if (verbose) std::printf("  malformed: %s\n", line.c_str());
        } else if (legalPvLength(pos, info.pv, options.moveWords) != info.pv.size()) {
            tally.badPvs++;
            if (verbose) std::printf("  illegal pv: %s\n", line.c_str());
        }
    }
}

// Checks everything one answer says in the position it was searched in.
void checkAnswerLines(const std::vector<std::string>& lines, const Position& pos, Tally& tally,
                      const Options& options) {
    checkSearchOutput(lines, pos, tally, options);
    const AnswerCheck answer = checkAnswer(lines);
    tally.badScores += answer.badScores;
    tally.answerMismatches += answer.disagrees;
    if (options.verbose && (answer.badScores || answer.disagrees))
        std::printf("  answer %s\n", lines.empty() ? "" : lines.back().c_str());
}

std::string goCommand(const long long clock[2], const Options& options, bool ponder) {
    return std::string(ponder ? "go ponder" : "go") + " wtime " + std::to_string(clock[White]) + " btime " +
           std::to_string(clock[Black]) + " winc " + std::to_string(options.incrementMs) + " binc " +
           std::to_string(options.incrementMs);
}

// The move words of a "bestmove" line: the move, and the ponder move or nothing.
struct AnswerWords {
    std::string move, ponder;
};

AnswerWords answerWords(const std::string& bestmoveLine) {
    std::istringstream words(bestmoveLine);
    std::string word;
    AnswerWords answer;
    words >> word >> answer.move >> word >> answer.ponder;
    return answer;
}

// Whether a pondering engine has answered before it was told to: it must
// wait for "ponderhit" or "stop" however its search went.
bool answeredEarly(EngineProcess& engine, std::vector<std::string>& lines) {
    return engine.waitFor("bestmove", 0, &lines).has_value();
}

// Ends a ponder search that missed (or outlived its game) with "stop", and
// checks its answer in the position it pondered. An engine that does not
// answer is counted as hung and killed (started afresh for the next game);
// then false.
bool stopPondering(Player& player, const Options& options, Tally& tally) {
    player.pondering = false;
    EngineProcess& engine = *player.process;
    std::vector<std::string> lines;
    if (answeredEarly(engine, lines)) tally.ponderFaults++;
    if (lines.empty() || lines.back().rfind("bestmove", 0) != 0) {
        if (!engine.send("stop") || !engine.waitFor("bestmove", options.marginMs + 1000, &lines)) {
            tally.ponderFaults++;
            tally.crashes++;
            player.process.reset();
            return false;
        }
    }
    checkAnswerLines(lines, *player.ponderGame.pos, tally, options);
    const std::string moveWord = answerWords(lines.back()).move;
    // "(none)" is the answer when the expected reply leaves no legal move.
    const GameEnd end = gameEnd(player.ponderGame);
    const bool noMove = end == GameEnd::Checkmate || end == GameEnd::Stalemate;
    if (noMove ? moveWord != "(none)"
               : findLegalMove(*player.ponderGame.pos, moveWord, options.moveWords) == MoveNone) {
        tally.illegalMoves++;
        if (options.verbose)
            std::printf("  stopped ponder search: %s in %s\n", lines.back().c_str(),
                        positionCommand(player.ponderGame).c_str());
    }
    return true;
}

// Sets the engine that has just moved to ponder on its expected reply.
void startPondering(Player& player, const Game& game, const std::string& ponderWord, const long long clock[2],
                    const Options& options) {
    const Move expected = findLegalMove(*game.pos, ponderWord, options.moveWords);
    if (expected == MoveNone) return;
    Game& ahead = player.ponderGame;
    ahead.startFen = game.startFen;
    *ahead.pos = *game.pos;
    ahead.moves = game.moves;
    ahead.keys = game.keys;
    playMove(ahead, expected, ponderWord);
    if (!player.process->send(positionCommand(ahead)) || !player.process->send(goCommand(clock, options, true))) return;
    player.pondering = true;
    player.ponderMove = expected;
}

GameResult playGame(Game& game, Player* sides[2], const Options& options, Tally& tally) {
    long long clock[2] = {options.baseMs, options.baseMs};
    Move lastMove = MoveNone;
    for (int ply = 0;; ply++) {
        const GameEnd end = gameEnd(game);
        if (end != GameEnd::None) {
            if (end == GameEnd::Checkmate)
                return {game.pos->sideToMove == White ? Outcome::BlackWins : Outcome::WhiteWins, gameEndText(end)};
            return {Outcome::Draw, gameEndText(end)};
        }
        if (ply >= options.maxPlies) return {Outcome::Draw, "ply limit"};

        const int us = game.pos->sideToMove;
        const Outcome loss = us == White ? Outcome::BlackWins : Outcome::WhiteWins;
        Player& player = *sides[us];
        EngineProcess& engine = *player.process;

        std::vector<std::string> lines;
        bool hit = false;
        if (player.pondering) {
            hit = player.ponderMove == lastMove;
            if (!hit) {
                tally.ponderMisses++;
                if (!stopPondering(player, options, tally)) return {loss, "no bestmove after stop"};
            } else {
                tally.ponderHits++;
                player.pondering = false;
                if (answeredEarly(engine, lines)) tally.ponderFaults++;
            }
        }
        const long long started = monotonicMs();
        std::optional<std::string> best;
        if (hit ? engine.send("ponderhit")
                : engine.send(positionCommand(game)) && engine.send(goCommand(clock, options, false)))
            best = engine.waitFor("bestmove", int(clock[us] + options.marginMs), &lines);
        const long long elapsed = monotonicMs() - started;

        if (!best) {
            tally.crashes++;
            const std::string reason = std::string(engine.outputEnded ? "engine died" : "no bestmove") + " after " +
                                       std::to_string(elapsed) + " ms with " + std::to_string(clock[us]) + " ms left";
            sides[us]->process.reset();  // killed; started afresh for the next game
            return {loss, reason};
        }
        checkAnswerLines(lines, *game.pos, tally, options);

        const long long before = clock[us];
        clock[us] -= elapsed;
        if (!tally.anyMove || clock[us] < tally.lowestClockMs) tally.lowestClockMs = clock[us];
        tally.anyMove = true;
        if (clock[us] < 0) {
            tally.forfeits++;
            return {loss, "time forfeit (" + std::to_string(elapsed) + " ms used of " + std::to_string(before) + ")"};
        }
        clock[us] += options.incrementMs;

        const auto [moveWord, ponderWord] = answerWords(*best);
        const Move m = findLegalMove(*game.pos, moveWord, options.moveWords);
        if (m == MoveNone) {
            tally.illegalMoves++;
            return {loss, "illegal move " + moveWord};
        }
        playMove(game, m, moveWord);
        lastMove = m;
        tally.moves++;
        // The expected reply must be a legal move of the new position.
        if (!ponderWord.empty() && findLegalMove(*game.pos, ponderWord, options.moveWords) == MoveNone) tally.badPvs++;
        if (options.ponder && !ponderWord.empty() && gameEnd(game) == GameEnd::None)
            startPondering(player, game, ponderWord, clock, options);
    }
}

void record(Player& player, bool white, Outcome outcome) {
    if (outcome == Outcome::Draw)
        player.draws++;
    else if ((outcome == Outcome::WhiteWins) == white)
        player.wins++;
    else
        player.losses++;
}

const char* outcomeText(Outcome outcome) {
    return outcome == Outcome::WhiteWins ? "1-0" : outcome == Outcome::BlackWins ? "0-1" : "1/2-1/2";
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    initBoardTables();

    const std::vector<std::string> openings = readOpenings(options.openings);
    if (openings.empty()) {
        std::fprintf(stderr, "selfplay: no openings in %s\n", options.openings.c_str());
        return 2;
    }

    Player players[2];
    for (int i = 0; i < 2; i++) players[i].path = options.engines[i];
    players[1].threads = options.secondThreads;
    Tally tally;
    Game game;

    for (int g = 0; g < options.games; g++) {
        const std::string& fen = openings[size_t(g / 2) % openings.size()];
        if (!startGame(game, fen)) {
            std::fprintf(stderr, "selfplay: unusable opening %s\n", fen.c_str());
            return 2;
        }
        // Colours alternate, so each opening is played from both sides.
        const int whitePlayer = g % 2;
        Player* sides[2] = {&players[whitePlayer], &players[whitePlayer ^ 1]};

        bool started = true;
        for (Player* player : sides) {
            if (player->process && !player->process->running()) player->process.reset();
            if (player->process) {
                bool ready = false;
                player->process->roundTrip(options.keepTable ? "ucinewgame" : "newgame", HandshakeTimeoutMs, &ready);
                if (!ready) player->process.reset();
            }
            if (!player->process && !startEngine(*player, options)) {
                tally.crashes++;
                started = false;
            }
        }
        if (!started) {
            std::printf("game %d: an engine did not start\n", g + 1);
            for (Player& player : players) player.process.reset();
            continue;
        }

        const GameResult result = playGame(game, sides, options, tally);
        // A search still pondering when the game ended is stopped before the next game.
        for (Player* player : sides)
            if (player->pondering && player->process) stopPondering(*player, options, tally);
        tally.games++;
        record(*sides[White], true, result.outcome);
        record(*sides[Black], false, result.outcome);
        std::printf("game %d: engine %d (white) - engine %d (black): %s, %s, %zu plies\n", g + 1, whitePlayer + 1,
                    (whitePlayer ^ 1) + 1, outcomeText(result.outcome), result.reason.c_str(), game.moves.size());
        if (options.verbose) std::printf("  %s\n", positionCommand(game).c_str());
        std::fflush(stdout);
    }

    for (Player& player : players)
        if (!stopEngine(player)) tally.crashes++;

    std::printf("games: %d, moves: %lld, time control %d+%d ms\n", tally.games, tally.moves, options.baseMs,
                options.incrementMs);
    for (int i = 0; i < 2; i++)
        std::printf("engine %d (%d thread%s): %d wins, %d draws, %d losses\n", i + 1, players[i].threads,
                    players[i].threads == 1 ? "" : "s", players[i].wins, players[i].draws, players[i].losses);
    std::printf("time forfeits: %d\nillegal moves: %d\ncrashes or timeouts: %d\n", tally.forfeits, tally.illegalMoves,
                tally.crashes);
    std::printf("malformed info lines: %d\nillegal pv or ponder moves: %d\n", tally.badInfoLines, tally.badPvs);
    std::printf("mate 0 or out-of-range scores: %d\nbestmove or ponder apart from the last pv: %d\n", tally.badScores,
                tally.answerMismatches);
    if (options.ponder)
        std::printf("ponder hits: %d, misses: %d, ponder faults: %d\n", tally.ponderHits, tally.ponderMisses,
                    tally.ponderFaults);
    std::printf("lowest remaining clock: %lld ms\n", tally.lowestClockMs);
    const int faults = tally.forfeits + tally.illegalMoves + tally.crashes + tally.badInfoLines + tally.badPvs +
                       tally.badScores + tally.answerMismatches + tally.ponderFaults;
    std::printf("%s\n", faults == 0 ? "selfplay passed" : "selfplay FAILED");
    return faults == 0 ? 0 : 1;
}
