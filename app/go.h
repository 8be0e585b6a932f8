// The "go" command and the life of a search as seen from the command loop:
// parsing the limits, starting the threads, signalling and joining them.
#pragma once

#include <istream>
#include <thread>
#include <vector>

#include "search/state.h"

// The threads of the last "go", helpers first and the main search thread last.
using ThreadList = std::vector<std::thread>;

// Fills record.limits from the words of a "go" line (positioned after "go").
// Clock words of the side not to move are skipped; a number that does not
// parse leaves its field unchanged and ends the reading.
void parseGoLimits(std::istream& words, GameRecord& record);

// Starts a search of record (the previous search must have been joined).
// With no word after "go" the search is unbounded, as for "go infinite".
void goCommand(std::istream& words, GameRecord& record, ThreadList& threads);

// Whether a thread of the last "go" is still inside its search body.
bool searchThreadsRunning();
// Whether the last search can only end by "stop" (or "ponderhit"): a ponder
// search, or one untimed without a move time, node limit or depth limit
// below 100; and no "ponderhit" since.
bool lastSearchUnbounded();
// Joins every thread of the list, in order, and empties it.
void joinSearchThreads(ThreadList& threads);
