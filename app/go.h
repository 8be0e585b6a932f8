// The "go" command and the life of a search as seen from the command loop:
// parsing the limits, starting the threads, signalling and joining them.
#pragma once

#include <istream>
#include <memory>
#include <vector>

#include "search/state.h"

struct SearchWorker;

// The search threads. A thread outlives its searches: between them it sleeps,
// keeping its stack and its record, so that a "go" neither creates a thread
// nor faults in fresh memory. The first holds the main search, the others the
// helpers; those beyond the thread count of a "go" are ended by it. The list
// ends and joins its threads when it goes out of scope.
struct ThreadList {
    std::vector<std::unique_ptr<SearchWorker>> workers;
    size_t searching = 0;  // workers given a search by the last "go", from the first

    ThreadList();
    ThreadList(const ThreadList&) = delete;
    ThreadList& operator=(const ThreadList&) = delete;
    ~ThreadList();
};

// Starts the main search thread ahead of the first "go", so that its start
// and its stack's pages are paid while the engine waits for input.
void startSearchWorkers(ThreadList& threads);

// Fills record.limits from the words of a "go" line (positioned after "go").
// Clock words of the side not to move are skipped; a number that does not
// parse leaves its field unchanged and ends the reading.
void parseGoLimits(std::istream& words, GameRecord& record);

// Starts a search of record (the previous search must have been joined).
// A bare line, "go" and nothing else, searches unbounded, as "go infinite"
// does; any longer line is read for its limits, even when it holds only
// white space, and then has none.
void goCommand(std::istream& words, bool bare, GameRecord& record, ThreadList& threads);

// Whether a thread of the last "go" is still inside its search body.
bool searchThreadsRunning();
// Whether the last search can only end by "stop" (or "ponderhit"): a ponder
// search, or one untimed without a move time, node limit or depth limit
// below 100; and no "ponderhit" since.
bool lastSearchUnbounded();
// Waits until every search of the last "go" has returned, in start order.
void joinSearchThreads(ThreadList& threads);
