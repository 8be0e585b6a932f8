#include "search/state.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

SearchControl Control;

namespace {

std::mutex WaiterMutex;
std::condition_variable WaiterSignal;

bool waitIsOver() {
    return Control.stopCommanded.load(std::memory_order_relaxed) || Control.ponderhit.load(std::memory_order_relaxed) ||
           !Control.awaitsCommand.load(std::memory_order_relaxed);
}

// Wakes waitForStopOrPonderhit after stop, ponderhit or awaitsCommand has
// been changed. The flag was changed before the mutex is taken here, so a
// waiter either sees it in its predicate or is already waiting and gets the
// signal.
void wakeSearchWaiter() {
    { std::lock_guard<std::mutex> lock(WaiterMutex); }
    WaiterSignal.notify_all();
}

}  // namespace

void startSearchControl(const SearchLimits& limits) {
    Control.done.store(false, std::memory_order_relaxed);
    Control.nodes.store(0, std::memory_order_relaxed);
    Control.startTime.store(nowMs(), std::memory_order_relaxed);
    Control.ponderhit.store(false, std::memory_order_relaxed);
    Control.stop.store(false, std::memory_order_relaxed);
    Control.stopCommanded.store(false, std::memory_order_relaxed);
    // Infinite and ponder searches answer only after "stop" or "ponderhit",
    // even when their iterations run out first. A "go depth 100" (or more)
    // answers by itself, but it may run for ever all the same, so it counts
    // as unbounded for a command that would wait for its end.
    const bool noLimit = limits.untimed && limits.moveTime == 0 && limits.nodeLimit < 0;
    Control.awaitsCommand.store(limits.ponderStart || (noLimit && !limits.depthGiven), std::memory_order_relaxed);
    Control.unbounded.store(limits.ponderStart || (noLimit && limits.depthLimit >= DepthUnlimited),
                            std::memory_order_relaxed);
}

void commandStop() {
    Control.stopCommanded.store(true, std::memory_order_relaxed);
    Control.stop.store(true, std::memory_order_relaxed);
    wakeSearchWaiter();
}

void commandPonderhit() {
    // From now on the clock budget can end the search; one whose iterations
    // have already run out answers at once.
    Control.ponderhit.store(true, std::memory_order_relaxed);
    Control.awaitsCommand.store(false, std::memory_order_relaxed);
    Control.unbounded.store(false, std::memory_order_relaxed);
    wakeSearchWaiter();
}

void waitForStopOrPonderhit() {
    std::unique_lock<std::mutex> lock(WaiterMutex);
    WaiterSignal.wait(lock, waitIsOver);
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

void resetGameRecord(GameRecord& record) {
    resetPosition(record.pos);
    clearSearchLimits(record.limits);
}

void prepareSearchThread(SearchThread& thread, const GameRecord& record) {
    thread.pos = record.pos;
    thread.limits = record.limits;
    thread.localNodes = 0;
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
