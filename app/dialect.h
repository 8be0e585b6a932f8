// The protocol dialect the engine speaks. The engine's own dialect writes a
// promotion letter in upper case ("e7e8Q") and passes "ucinewgame" over;
// the standard dialect, for interfaces and tournament managers that insist
// on the protocol's common text, writes "e7e8q" and takes "ucinewgame" for
// "newgame". Both read either case. Chosen once at start-up (the command
// line, or the build's default) and read-only afterwards.
#pragma once

#include <string>

#include "board/types.h"

enum class Dialect { Engine, Standard };

// The dialect of this process: the build's default until the command line
// says otherwise.
extern Dialect ProtocolDialect;

// The word for a move in every line the engine prints.
std::string protocolMoveText(Move m);
