// The protocol commands besides the search commands: "uci", "isready",
// "position" and "newgame" ("setoption" is with the options).
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "app/go.h"
#include "app/options.h"
#include "search/state.h"

void uciCommand();
void isreadyCommand();
// line is the whole command line: the FEN and the move list are found in it
// by text search, words is its word stream after "position".
void positionCommand(std::istream& words, const std::string& line, GameRecord& record);
void newgameCommand(ThreadList& threads);
