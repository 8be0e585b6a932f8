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

constexpr int32_t MinThreads = 1;
constexpr int32_t MaxThreads = 128;
// The iteration count a search without a depth limit runs to.
constexpr int32_t DepthUnlimited = 100;

using SearchBody = void (*)(SearchThread&);

// Threads still inside their body. A thread decrements it with release order
// after its last access to the shared caches, so a loop thread that reads 0
// with acquire order may free or replace the cache arrays.
std::atomic<int> ActiveSearchThreads{0};
// Whether the last search can only be ended by a command: see lastSearchUnbounded.
std::atomic<bool> LastSearchUnbounded{false};

// Owns the thread's record copy for exactly the life of the search body.
void runSearchThread(SearchThread* copy, SearchBody body) {
    {
        std::unique_ptr<SearchThread> owned(copy);
        body(*owned);
    }
    ActiveSearchThreads.fetch_sub(1, std::memory_order_release);
}

// Starts one search thread on its own heap copy of record. Returns false,
// with nothing started and nothing leaked, when the copy or the thread
// cannot be had.
bool startSearchThread(const SearchThread& record, SearchBody body, ThreadList& threads) {
    try {
        auto copy = std::make_unique<SearchThread>(record);
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

void parseGoLimits(std::istream& words, SearchThread& record) {
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

void goCommand(std::istream& words, SearchThread& record, ThreadList& threads) {
    // The loop has joined the previous search before calling this.
    searchDone.store(false, std::memory_order_relaxed);

    words >> std::ws;
    if (words.peek() == std::char_traits<char>::eof()) {
        // A bare "go" searches until "stop", like "go infinite".
        std::istringstream infinite("infinite");
        parseGoLimits(infinite, record);
    } else {
        parseGoLimits(words, record);
    }
    copyOptionsInto(record.limits);

    nodeCounter.store(0, std::memory_order_relaxed);
    searchStartTime.store(nowMs(), std::memory_order_relaxed);
    ponderhitFlag.store(false, std::memory_order_relaxed);
    stopFlag.store(false, std::memory_order_relaxed);
    stopCommanded.store(false, std::memory_order_relaxed);

    // Infinite and ponder searches answer only after "stop" or "ponderhit",
    // even when their iterations run out first. A "go depth 100" (or more)
    // answers by itself, but it may run for ever all the same, so it counts
    // as unbounded for a command that would wait for its end.
    const SearchLimits& limits = record.limits;
    const bool noLimit = limits.untimed && limits.moveTime == 0 && limits.nodeLimit < 0;
    searchAwaitsCommand.store(limits.ponderStart || (noLimit && !limits.depthGiven),
                              std::memory_order_relaxed);
    LastSearchUnbounded.store(limits.ponderStart || (noLimit && limits.depthLimit >= DepthUnlimited),
                              std::memory_order_relaxed);

    // A helper that cannot be started is simply left out: the search is the
    // same with fewer threads.
    const int32_t threadCount =
        std::clamp(EngineSettings.threadCount.load(std::memory_order_relaxed), MinThreads, MaxThreads);
    for (int32_t i = 1; i < threadCount; i++)
        if (!startSearchThread(record, helperSearch, threads)) break;

    if (startSearchThread(record, mainSearch, threads)) return;

    // Without a thread of its own the main search runs here, on the loop's
    // thread, so that a "bestmove" is still printed. The loop cannot read
    // "stop" meanwhile, so a search that only "stop" could end is cut to one
    // iteration, and answers at once.
    try {
        auto copy = std::make_unique<SearchThread>(record);
        if (LastSearchUnbounded.load(std::memory_order_relaxed)) copy->limits.depthLimit = 1;
        searchAwaitsCommand.store(false, std::memory_order_relaxed);
        LastSearchUnbounded.store(false, std::memory_order_relaxed);
        mainSearch(*copy);
    } catch (const std::exception&) {
        // Not even a record copy could be had: nothing can be searched.
    }
}

void stopCommand() {
    stopCommanded.store(true, std::memory_order_relaxed);
    stopFlag.store(true, std::memory_order_relaxed);
    wakeSearchWaiter();
}

void ponderhitCommand() {
    // From now on the clock budget can end the search; one whose iterations
    // have already run out answers at once.
    ponderhitFlag.store(true, std::memory_order_relaxed);
    searchAwaitsCommand.store(false, std::memory_order_relaxed);
    LastSearchUnbounded.store(false, std::memory_order_relaxed);
    wakeSearchWaiter();
}

bool searchThreadsRunning() { return ActiveSearchThreads.load(std::memory_order_acquire) > 0; }

bool lastSearchUnbounded() { return LastSearchUnbounded.load(std::memory_order_relaxed); }

void joinSearchThreads(ThreadList& threads) {
    for (std::thread& thread : threads)
        if (thread.joinable()) thread.join();
    threads.clear();
}
