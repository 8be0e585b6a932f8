#include "app/cmdline.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "app/bench.h"
#include "app/dialect.h"
#include "app/output.h"
#include "board/position.h"

namespace {

// A whole word that reads as a signed 32-bit decimal number.
bool isInteger(const std::string& word) {
    if (word.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(word.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= INT_MIN && value <= INT_MAX;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    bool help = false, version = false;
    int benchNumbers = -1;  // numbers read after "bench"; -1 before it
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--standard") {
            result.standardDialect = true;
        } else if (arg == "--diagnostics") {
            result.diagnostics = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "bench" && benchNumbers < 0) {
            benchNumbers = 0;
        } else if (benchNumbers >= 0 && benchNumbers < 2 && isInteger(arg)) {
            result.benchWords += (benchNumbers++ ? " " : "") + arg;
        } else if (result.badArgument.empty()) {
            result.badArgument = arg;
        }
    }
    if (help)
        result.action = StartAction::Help;
    else if (version)
        result.action = StartAction::Version;
    else if (!result.badArgument.empty())
        result.action = StartAction::UsageError;
    else if (benchNumbers >= 0)
        result.action = StartAction::Bench;
    return result;
}

std::string usageText() {
    return "usage: ostrevalk [--standard] [--diagnostics] [bench [depth [runs]]] | --help | --version";
}

std::string helpText() {
    const bool standardDefault = ProtocolDialect == Dialect::Standard;
    return "usage: ostrevalk [--standard] [--diagnostics] [bench [depth [runs]]]\n"
           "       ostrevalk --help | --version\n"
           "\n"
           "With no command, the engine reads UCI commands from standard input.\n"
           "\n"
           "  --standard   the protocol's standard dialect" +
           std::string(standardDefault ? " (this build's default)" : "") +
           ": promotion letters\n"
           "               in lower case (e7e8q), and \"ucinewgame\" empties the\n"
           "               transposition table as \"newgame\" does\n"
           "  --diagnostics  two more console commands: \"perft N\" counts the legal\n"
           "               move tree to depth N by first move, \"trace\" prints every\n"
           "               evaluation term of the current position\n"
           "  bench        search the benchmark positions (depth 12, one run unless\n"
           "               given), print the statistics and a last line\n"
           "               \"N nodes M nps\", then exit without reading standard input\n"
           "  --help       print this text and exit\n"
           "  --version    print the engine's name and exit\n";
}

int runBenchFromCommandLine(const CommandLine& commandLine) {
    auto record = std::make_unique<GameRecord>();
    resetGameRecord(*record);
    setFromFen(StartFen, record->pos);
    std::istringstream words(commandLine.benchWords);
    const BenchTotals totals = benchCommand(words, *record);
    writeLine(std::to_string(totals.nodes) + " nodes " + std::to_string(totals.meanNodesPerSecond) + " nps");
    return 0;
}
