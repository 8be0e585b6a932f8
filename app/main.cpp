// Process entry: every global table is built once, the three caches are
// allocated at their start-up sizes, then the command loop runs. Nothing is
// written to standard output until a command asks for it. Arguments, when
// given, choose the dialect or run the benchmark instead of the loop.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <iostream>

#include "app/cmdline.h"
#include "app/dialect.h"
#include "app/engine.h"
#include "app/loop.h"
#include "app/options.h"
#include "app/report.h"
#include "board/tables.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // Byte-exact standard streams, as on every other platform: the engine
    // writes the same bytes everywhere, lines ending in LF (which every
    // Windows interface reads), and a Ctrl-Z byte in the input is not taken
    // for its end. The command loop drops the CR of a CR LF line itself.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // No argument: the command loop, as ever. Help, version and usage errors
    // are answered before any table is built, and never read standard input.
    const CommandLine commandLine = parseCommandLine(argc, argv);
    switch (commandLine.action) {
        case StartAction::Help:
            std::cout << helpText() << std::flush;
            return 0;
        case StartAction::Version:
            std::cout << engineName << std::endl;
            return 0;
        case StartAction::UsageError:
            std::cerr << "ostrevalk: unknown argument '" << commandLine.badArgument << "'; " << usageText()
                      << std::endl;
            return 2;
        case StartAction::CommandLoop:
        case StartAction::Bench:
            break;
    }
    if (commandLine.standardDialect) ProtocolDialect = Dialect::Standard;
    DiagnosticCommands = commandLine.diagnostics;

    initBoardTables();
    installReporter();
    initEvaluation();
    initSearchTables();
    buildKpkBitbase();
    allocateStartupCaches();

    if (commandLine.action == StartAction::Bench) return runBenchFromCommandLine(commandLine);

    ThreadList threads;
    startSearchWorkers(threads);
    commandLoop(threads);
    joinSearchThreads(threads);
    return 0;
}
