// The protocol's text for what the search reports: "info" lines and "bestmove".
#pragma once

#include <string>

// Installs the protocol's lines as the search's reporter; called at start-up.
void installReporter();

// The score field of an "info" line: " score mate N" or " score cp N".
std::string scoreText(int score);
