// The command loop: one line of standard input at a time, dispatched by its
// first word through the command table.
#pragma once

#include <string>

#include "app/go.h"
#include "search/state.h"

// Whether "perft" and "trace" are commands: the console commands for people
// who test move generation and the evaluation. Off unless the command line
// asks for them ("--diagnostics"), so that a bare start knows only the
// protocol's words and "bench", "display", "hash" and "eval". Set once at
// start-up, read-only afterwards.
extern bool DiagnosticCommands;

// Prepares the engine record with the start position and runs commands until
// "quit" or the end of input. At the end of input a search that ends by
// itself is allowed to finish; one that only "stop" could end is stopped.
// Returns after every search thread has been joined.
void commandLoop(ThreadList& threads);

// Runs one input line (without its line feed). Returns false only for "quit".
bool executeCommand(GameRecord& record, ThreadList& threads, const std::string& line);
