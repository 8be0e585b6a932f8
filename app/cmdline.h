// The command line. With no argument the engine reads commands from standard
// input exactly as it always has; arguments choose the protocol dialect, or
// run one job (the benchmark, the help or version text) and exit without
// reading standard input.
#pragma once

#include <string>

enum class StartAction { CommandLoop, Bench, Help, Version, UsageError };

struct CommandLine {
    StartAction action = StartAction::CommandLoop;
    bool standardDialect = false;  // "--standard" was given
    bool diagnostics = false;      // "--diagnostics" was given: "perft" and "trace" are commands
    std::string benchWords;        // the depth and run count after "bench", as typed
    std::string badArgument;       // the first argument not understood
};

// Reads argv[1..argc-1]. "--standard" and "--diagnostics" may stand anywhere; "bench" may be
// followed by up to two integers (depth, runs); "--help" and "--version"
// win over everything else that parses. Anything else is a usage error.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The synopsis, one line per form.
std::string usageText();
// The synopsis and a line on each argument.
std::string helpText();

// Runs the benchmark with the engine's tables and caches already set up,
// prints its lines and then "N nodes M nps"; returns the exit code.
int runBenchFromCommandLine(const CommandLine& commandLine);
