#include "app/options.h"

#include <algorithm>

EngineSettingsRecord EngineSettings;

namespace {

constexpr int32_t MaxMoveOverheadMs = 2000;
constexpr int32_t MaxMultiPv = 100;

}  // namespace

int moveOverheadMs() {
    return std::clamp(EngineSettings.moveOverhead.load(std::memory_order_relaxed), 0, MaxMoveOverheadMs);
}

void copyOptionsInto(SearchLimits& limits) {
    limits.multiPv = std::clamp(EngineSettings.multiPv.load(std::memory_order_relaxed), 1, MaxMultiPv);
    limits.moveOverhead = moveOverheadMs();
}
