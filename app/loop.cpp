#include "app/loop.h"

#include <iostream>
#include <memory>
#include <sstream>

#include "app/bench.h"
#include "app/diagnostics.h"
#include "app/dialect.h"
#include "app/perft.h"
#include "app/protocol.h"

namespace {

// What a command does about a search that may be running when it arrives.
enum class SearchWait {
    None,         // runs at once; a running search is not affected
    FinishFirst,  // waits until the running search has ended by itself; one
                  // that only "stop" could end is stopped first, since nothing
                  // can be read while waiting
};

struct CommandContext {
    GameRecord& record;
    ThreadList& threads;
    std::istream& words;  // the line's words after the command word
    const std::string& line;
};

struct Command {
    const char* word;
    SearchWait wait;
    bool endsLoop;
    bool diagnostic;  // only with "--diagnostics" on the command line
    void (*run)(CommandContext&);
    const char* summary;
};

// Every command word, matched exactly and case-sensitively.
const Command Commands[] = {
    {"stop", SearchWait::None, false, false, [](CommandContext&) { commandStop(); },
     "ends the running search, which then prints its bestmove"},
    {"ponderhit", SearchWait::None, false, false, [](CommandContext&) { commandPonderhit(); },
     "the pondered move was played: the clock now applies to the search"},
    {"uci", SearchWait::None, false, false, [](CommandContext&) { uciCommand(); },
     "identification and option list, then uciok"},
    {"isready", SearchWait::None, false, false, [](CommandContext&) { isreadyCommand(); }, "answers readyok at once"},
    {"position", SearchWait::None, false, false, [](CommandContext& c) { positionCommand(c.words, c.line, c.record); },
     "sets up startpos or a FEN, then plays the moves; a search works on its own copy"},
    {"go", SearchWait::FinishFirst, false, false,
     [](CommandContext& c) { goCommand(c.words, c.line == "go", c.record, c.threads); },
     "starts a search and returns at once"},
    {"newgame", SearchWait::None, false, false, [](CommandContext& c) { newgameCommand(c.threads); },
     "empties the transposition table (deferred while a search runs)"},
    {"ucinewgame", SearchWait::None, false, false,
     [](CommandContext& c) {
         if (ProtocolDialect == Dialect::Standard) newgameCommand(c.threads);
     },
     "in the standard dialect as \"newgame\"; in the engine's own dialect passed over"},
    {"setoption", SearchWait::None, false, false, [](CommandContext& c) { setoptionCommand(c.words, c.threads); },
     "changes an option; cache changes are deferred while a search runs"},
    {"eval", SearchWait::None, false, false, [](CommandContext&) { evalCommand(); }, "does nothing"},
    {"hash", SearchWait::None, false, false, [](CommandContext& c) { hashCommand(c.record.pos); },
     "prints the position's key"},
    {"bench", SearchWait::FinishFirst, false, false, [](CommandContext& c) { benchCommand(c.words, c.record); },
     "searches the benchmark positions on this thread, prints node-rate statistics"},
    {"display", SearchWait::None, false, false, [](CommandContext& c) { displayCommand(c.record.pos); },
     "prints the board"},
    {"perft", SearchWait::None, false, true, [](CommandContext& c) { perftCommand(c.words, c.record.pos); },
     "counts the leaves of the legal move tree to a depth"},
    {"trace", SearchWait::None, false, true, [](CommandContext& c) { traceCommand(c.record.pos); },
     "prints every evaluation term of the position"},
    {"quit", SearchWait::FinishFirst, true, false, [](CommandContext&) {},
     "ends the program once a search with limits of its own has printed its move"},
};

}  // namespace

bool DiagnosticCommands = false;

bool executeCommand(GameRecord& record, ThreadList& threads, const std::string& line) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word)) return true;

    for (const Command& command : Commands) {
        if (word != command.word) continue;
        // Without the switch the word is no command, and the line does nothing.
        if (command.diagnostic && !DiagnosticCommands) return true;
        if (command.wait == SearchWait::FinishFirst) {
            if (lastSearchUnbounded()) commandStop();
            joinSearchThreads(threads);
            if (!command.endsLoop) applyPendingCacheChanges();
        }
        CommandContext context{record, threads, words, line};
        command.run(context);
        return !command.endsLoop;
    }
    return true;
}

void commandLoop(ThreadList& threads) {
    auto record = std::make_unique<GameRecord>();
    resetGameRecord(*record);
    setFromFen(StartFen, record->pos);

    std::string line;
    while (std::getline(std::cin, line)) {
        // Input from a text stream may end its lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!executeCommand(*record, threads, line)) return;
    }

    // End of input: no command can come any more, so a search that only
    // "stop" could end is stopped; any other is allowed to print its move.
    if (lastSearchUnbounded()) commandStop();
    joinSearchThreads(threads);
}
