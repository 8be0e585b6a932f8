#include "app/go.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#include <sys/mman.h>
#endif

#include "app/options.h"
#include "search/search.h"

using SearchBody = void (*)(SearchThread&);

// One search thread and what it keeps between searches. The loop thread
// writes body and the record only while the worker is idle, under the lock.
struct SearchWorker {
    std::mutex lock;
    std::condition_variable wake;  // a search, or the end, has been given
    std::condition_variable idle;  // the search has returned
    SearchBody body = nullptr;     // the search to run; null while idle
    bool end = false;
    SearchThread record{};  // the thread's copy of the game, filled afresh by every "go"
    std::thread thread;
};

namespace {

// Threads still inside their body. A thread decrements it with release order
// after its last access to the shared caches, so a loop thread that reads 0
// with acquire order may free or replace the cache arrays.
std::atomic<int> ActiveSearchThreads{0};

// The stack a search of the usual depths uses, with its root record and the
// frames of a long capture sequence; deeper searches fault in the rest.
constexpr size_t PresentStackBytes = size_t(512) << 10;
// Threads whose stacks are made present when they start: as many as the
// "Threads" option offers, so that an absurd count cannot pin gigabytes.
constexpr size_t PresentStackThreads = 128;

// Makes the next PresentStackBytes of this thread's stack, below the
// caller's frame, present in one call where the kernel offers it (Linux 5.14
// and later). On a virtual machine a page fault costs ten times what the
// call costs per page; elsewhere the pages come when first touched, as
// before. A thread's stack is its own until it ends, so the pages stay.
[[gnu::noinline]] void makeStackPresent() {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
    void* low = nullptr;
    size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    if (!known) return;
    constexpr uintptr_t PageBytes = 4096;
    const uintptr_t frame = uintptr_t(__builtin_frame_address(0)) & ~(PageBytes - 1);
    // Well clear of the guard page at the stack's low end.
    const uintptr_t floor = uintptr_t(low) + 16 * PageBytes;
    if (frame <= floor) return;
    const size_t bytes = std::min<size_t>(PresentStackBytes, frame - floor);
    madvise(reinterpret_cast<void*>(frame - bytes), bytes, MADV_POPULATE_WRITE);
#endif
}

void workerLoop(SearchWorker* worker, bool presentStack) {
    if (presentStack) makeStackPresent();
    std::unique_lock<std::mutex> hold(worker->lock);
    for (;;) {
        worker->wake.wait(hold, [worker] { return worker->body != nullptr || worker->end; });
        if (!worker->body) return;
        const SearchBody body = worker->body;
        hold.unlock();
        body(worker->record);
        ActiveSearchThreads.fetch_sub(1, std::memory_order_release);
        hold.lock();
        worker->body = nullptr;
        worker->idle.notify_all();
    }
}

// Adds a sleeping worker to the list; false, with nothing added, when the
// thread or its record cannot be had.
bool addWorker(ThreadList& threads) {
    try {
        threads.workers.reserve(threads.workers.size() + 1);
        auto worker = std::make_unique<SearchWorker>();
        worker->thread = std::thread(workerLoop, worker.get(), threads.workers.size() < PresentStackThreads);
        threads.workers.push_back(std::move(worker));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void endWorker(SearchWorker& worker) {
    {
        std::lock_guard<std::mutex> hold(worker.lock);
        worker.end = true;
    }
    worker.wake.notify_one();
    worker.thread.join();
}

// Gives an idle worker a search of the game. The record is filled from the
// game; the search starts its counters and ordering tables afresh itself.
void startSearch(SearchWorker& worker, const GameRecord& record, SearchBody body) {
    {
        std::lock_guard<std::mutex> hold(worker.lock);
        prepareSearchThread(worker.record, record);
        ActiveSearchThreads.fetch_add(1, std::memory_order_relaxed);
        worker.body = body;
    }
    worker.wake.notify_one();
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

void goCommand(std::istream& words, bool bare, GameRecord& record, ThreadList& threads) {
    // The loop has joined the previous search before calling this.
    if (bare) {
        // A bare "go" searches until "stop", like "go infinite".
        std::istringstream infinite("infinite");
        parseGoLimits(infinite, record);
    } else {
        parseGoLimits(words, record);
    }
    copyOptionsInto(record.limits);
    startSearchControl(record.limits);

    // A helper that cannot be started is simply left out: the search is the
    // same with fewer threads. Workers past the thread count are ended, so
    // that a lowered count gives back their threads and stacks.
    const int32_t threadCount = EngineSettings.threadCount.load(std::memory_order_relaxed);
    const size_t wanted = size_t(std::max(threadCount, 1));
    while (threads.workers.size() > wanted) {
        endWorker(*threads.workers.back());
        threads.workers.pop_back();
    }
    while (threads.workers.size() < wanted)
        if (!addWorker(threads)) break;

    if (!threads.workers.empty()) {
        // Helpers first, then the main search, which answers.
        for (size_t i = 1; i < threads.workers.size(); i++) startSearch(*threads.workers[i], record, helperSearch);
        startSearch(*threads.workers[0], record, mainSearch);
        threads.searching = threads.workers.size();
        return;
    }

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
    for (size_t i = threads.searching; i-- > 0;) {
        SearchWorker& worker = *threads.workers[i];
        std::unique_lock<std::mutex> hold(worker.lock);
        worker.idle.wait(hold, [&worker] { return worker.body == nullptr; });
    }
    threads.searching = 0;
}

void startSearchWorkers(ThreadList& threads) {
    if (threads.workers.empty()) addWorker(threads);
}

ThreadList::ThreadList() = default;

ThreadList::~ThreadList() {
    joinSearchThreads(*this);
    for (const std::unique_ptr<SearchWorker>& worker : workers) endWorker(*worker);
}
