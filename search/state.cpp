#include "search/state.h"

#include <chrono>

EngineSettingsRecord EngineSettings;

std::atomic<bool> stopFlag{false};
std::atomic<bool> ponderhitFlag{false};
std::atomic<bool> searchDone{false};
std::atomic<uint64_t> nodeCounter{0};
std::atomic<int64_t> searchStartTime{0};
std::atomic<int64_t> timeLimit{9999999};
std::atomic<int32_t> selDepth{0};

void clearSearchLimits(SearchLimits& limits) {
    limits.increment = 0;
    limits.timeLeft = -1;
    limits.depthLimit = -1;
    limits.nodeLimit = -1;
    limits.movesToGo = 0;
    limits.untimed = false;
    limits.ponderStart = false;
    limits.moveTime = 0;
}

void resetSearchRecord(SearchThread& thread) {
    resetPosition(thread.pos);
    clearSearchLimits(thread.limits);
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
