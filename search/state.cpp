#include "search/state.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

std::atomic<bool> stopFlag{false};
std::atomic<bool> ponderhitFlag{false};
std::atomic<bool> searchDone{false};
std::atomic<uint64_t> nodeCounter{0};
std::atomic<int64_t> searchStartTime{0};
std::atomic<int64_t> timeLimit{9999999};
std::atomic<int32_t> selDepth{0};
std::atomic<bool> searchAwaitsCommand{false};
std::atomic<bool> stopCommanded{false};

namespace {

std::mutex WaiterMutex;
std::condition_variable WaiterSignal;

bool waitIsOver() {
    return stopCommanded.load(std::memory_order_relaxed) || ponderhitFlag.load(std::memory_order_relaxed) ||
           !searchAwaitsCommand.load(std::memory_order_relaxed);
}

}  // namespace

void waitForStopOrPonderhit() {
    std::unique_lock<std::mutex> lock(WaiterMutex);
    WaiterSignal.wait(lock, waitIsOver);
}

void wakeSearchWaiter() {
    // The flag was changed before the mutex is taken here, so a waiter either
    // sees it in its predicate or is already waiting and gets the signal.
    { std::lock_guard<std::mutex> lock(WaiterMutex); }
    WaiterSignal.notify_all();
}

void clearSearchLimits(SearchLimits& limits) {
    limits.increment = 0;
    limits.timeLeft = -1;
    limits.depthLimit = -1;
    limits.nodeLimit = -1;
    limits.movesToGo = 0;
    limits.untimed = false;
    limits.ponderStart = false;
    limits.moveTime = 0;
    limits.depthGiven = false;
    limits.multiPv = 1;
    limits.moveOverhead = DefaultMoveOverheadMs;
}

void resetSearchRecord(SearchThread& thread) {
    resetPosition(thread.pos);
    clearSearchLimits(thread.limits);
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
