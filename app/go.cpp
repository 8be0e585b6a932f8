#include "app/go.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <sstream>
#include <string>

#include "app/options.h"
#include "search/search.h"

namespace {

using SearchBody = void (*)(SearchThread&);

// Threads still inside their body. A thread decrements it with release order
// after its last access to the shared caches, so a loop thread that reads 0
// with acquire order may free or replace the cache arrays.
std::atomic<int> ActiveSearchThreads{0};

// Owns the thread's record for exactly the life of the search body.
void runSearchThread(SearchThread* copy, SearchBody body) {
    {
        std::unique_ptr<SearchThread> owned(copy);
        body(*owned);
    }
    ActiveSearchThreads.fetch_sub(1, std::memory_order_release);
}

// Starts one search thread on a heap record of its own, prepared from the
// game. Returns false, with nothing started and nothing leaked, when the
// record or the thread cannot be had.
bool startSearchThread(const GameRecord& record, SearchBody body, ThreadList& threads) {
    try {
        auto copy = std::make_unique<SearchThread>();
        prepareSearchThread(*copy, record);
        threads.reserve(threads.size() + 1);
        ActiveSearchThreads.fetch_add(1, std::memory_order_relaxed);
        try {
            threads.emplace_back(runSearchThread, copy.get(), body);
        } catch (...) {
            ActiveSearchThreads.fetch_sub(1, std::memory_order_relaxed);
            throw;
        }
        copy.release();  // the thread owns it now
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool readInt(std::istream& words, int32_t& field) {
    int32_t value;
    if (!(words >> value)) return false;
    field = value;
    return true;
}

}  // namespace

void parseGoLimits(std::istream& words, GameRecord& record) {
    SearchLimits& limits = record.limits;
    const bool whiteToMove = record.pos.sideToMove == White;
    // Every "go" starts from the limits a fresh position has, so nothing of
    // the previous search (its untimed flag, its clock) carries over.
    clearSearchLimits(limits);
    limits.depthLimit = DepthUnlimited;

    std::string word;
    while (words >> word) {
        bool parsed = true;
        if (word == "wtime") {
            if (whiteToMove) parsed = readInt(words, limits.timeLeft);
        } else if (word == "winc") {
            if (whiteToMove) parsed = readInt(words, limits.increment);
        } else if (word == "btime") {
            if (!whiteToMove) parsed = readInt(words, limits.timeLeft);
        } else if (word == "binc") {
            if (!whiteToMove) parsed = readInt(words, limits.increment);
        } else if (word == "movetime") {
            limits.untimed = true;
            parsed = readInt(words, limits.moveTime);
        } else if (word == "depth") {
            limits.untimed = true;
            limits.depthGiven = true;
            parsed = readInt(words, limits.depthLimit);
        } else if (word == "nodes") {
            limits.untimed = true;
            parsed = readInt(words, limits.nodeLimit);
        } else if (word == "infinite") {
            limits.untimed = true;
        } else if (word == "movestogo") {
            parsed = readInt(words, limits.movesToGo);
        } else if (word == "ponder") {
            limits.untimed = true;
            limits.ponderStart = true;
        }
        if (!parsed) return;
    }
}

void goCommand(std::istream& words, GameRecord& record, ThreadList& threads) {
    // The loop has joined the previous search before calling this.
    words >> std::ws;
    if (words.peek() == std::char_traits<char>::eof()) {
        // A bare "go" searches until "stop", like "go infinite".
        std::istringstream infinite("infinite");
        parseGoLimits(infinite, record);
    } else {
        parseGoLimits(words, record);
    }
    copyOptionsInto(record.limits);
    startSearchControl(record.limits);

    // A helper that cannot be started is simply left out: the search is the
    // same with fewer threads.
    const int32_t threadCount = EngineSettings.threadCount.load(std::memory_order_relaxed);
    for (int32_t i = 1; i < threadCount; i++)
        if (!startSearchThread(record, helperSearch, threads)) break;

    if (startSearchThread(record, mainSearch, threads)) return;

    // Without a thread of its own the main search runs here, on the loop's
    // thread, so that a "bestmove" is still printed. The loop cannot read
    // "stop" meanwhile, so a search that only "stop" could end is cut to one
    // iteration, and answers at once.
    try {
        auto copy = std::make_unique<SearchThread>();
        prepareSearchThread(*copy, record);
        if (Control.unbounded.load(std::memory_order_relaxed)) copy->limits.depthLimit = 1;
        Control.awaitsCommand.store(false, std::memory_order_relaxed);
        Control.unbounded.store(false, std::memory_order_relaxed);
        mainSearch(*copy);
    } catch (const std::exception&) {
        // Not even a record copy could be had: nothing can be searched.
    }
}

bool searchThreadsRunning() { return ActiveSearchThreads.load(std::memory_order_acquire) > 0; }

bool lastSearchUnbounded() { return Control.unbounded.load(std::memory_order_relaxed); }

void joinSearchThreads(ThreadList& threads) {
    for (std::thread& thread : threads)
        if (thread.joinable()) thread.join();
    threads.clear();
}
