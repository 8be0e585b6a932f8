#include "search/timeman.h"

#include <algorithm>

namespace {

// Moves to the next control when the clock does not say.
constexpr int DefaultMovesToGo = 40;
// An absurd "movestogo" must not make the sum loop run for seconds: this
// many terms take well under a millisecond, and no time control names more.
constexpr int MaxMovesToGo = 100000;
// Weight of the move j move pairs ahead: moves late in a game get less time.
constexpr double WeightScale = 1.32;
constexpr double WeightPlyFactor = 0.94;
constexpr double WeightOffset = 42.4;
// An unstable best move earns instability/140 of the budget on top.
constexpr int InstabilityDivisor = 140;

double moveWeight(int gamePly, int j) { return WeightScale / ((gamePly + 2 * j) * WeightPlyFactor + WeightOffset); }

}  // namespace

int64_t thinkingBudget(const SearchLimits& limits, int gamePly, int moveOverhead, int instability) {
    int mtg = limits.movesToGo != 0 ? limits.movesToGo : DefaultMovesToGo;
    mtg = std::min(mtg, MaxMovesToGo);

    const double w0 = moveWeight(gamePly, 0);
    double sum = 0;
    for (int j = 1; j < mtg; j++) sum += moveWeight(gamePly, j);

    const double available = double(int64_t(limits.timeLeft) + (int64_t(mtg) - 1) * limits.increment);
    int64_t budget = int64_t(available * w0 / (sum + w0));
    if (limits.ponderStart) budget = budget + budget / 4;
    budget = budget + (int64_t(instability) * budget) / InstabilityDivisor;
    return std::min(budget, int64_t(limits.timeLeft) - moveOverhead);
}

bool updateBudgetAndCheckStop(int instability, SearchThread& thread) {
    const SearchLimits& limits = thread.limits;
    if (limits.untimed && limits.moveTime != 0) return elapsedMs() >= limits.moveTime;

    const Position& pos = thread.pos;
    const int gamePly = pos.historyLength + pos.historyDropped;
    const int64_t budget = thinkingBudget(limits, gamePly, limits.moveOverhead, instability);
    Control.timeLimit.store(budget, std::memory_order_relaxed);

    // The next iteration takes longer than all before it together: with e
    // ms used so far, the search is expected to have used about
    // 3e - e/4 by its end, so another iteration starts only while that stays
    // within the budget (e below about 4/11 of it). An untimed (pondering)
    // search only publishes the budget.
    const int64_t e = elapsedMs();
    const int64_t usedAfterNextIteration = 3 * e - e / 4;
    return usedAfterNextIteration > budget && !limits.untimed;
}
