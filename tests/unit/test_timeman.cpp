// The thinking budget and the decision to start another iteration.
#include <gtest/gtest.h>

#include "search/timeman.h"
#include "test_search_util.h"

namespace {

SearchLimits clockLimits(int timeLeft, int increment, int movesToGo) {
    SearchLimits limits;
    clearSearchLimits(limits);
    limits.timeLeft = timeLeft;
    limits.increment = increment;
    limits.movesToGo = movesToGo;
    return limits;
}

}  // namespace

TEST(TimeBudget, LastMoveBeforeTheControlGetsTheWholeClock) {
    SearchLimits limits = clockLimits(10000, 500, 1);
    EXPECT_EQ(thinkingBudget(limits, 30, 0, 0), 10000);
    // Capped by the clock minus the overhead.
    EXPECT_EQ(thinkingBudget(limits, 30, 50, 0), 9950);
}

TEST(TimeBudget, FortyMovesAssumedWithoutMovesToGo) {
    // 60 s and 39 increments of 1 s to share over the 40 moves to the control.
    SearchLimits limits = clockLimits(60000, 1000, 0);
    const int64_t fairShare = (60000 + 39 * 1000) / 40;
    const int64_t atStart = thinkingBudget(limits, 0, 50, 0);
    EXPECT_EQ(atStart, 4243);  // the weights as they stand: 99 s / 23.33
    // movesToGo 40 is the same as none.
    SearchLimits forty = clockLimits(60000, 1000, 40);
    EXPECT_EQ(thinkingBudget(forty, 0, 50, 0), atStart);

    // The move at hand always weighs most, and the more so the earlier in
    // the game: later every move weighs more evenly.
    const int64_t later = thinkingBudget(limits, 80, 50, 0);
    EXPECT_GT(atStart, fairShare);
    EXPECT_GT(later, fairShare);
    EXPECT_LT(later, atStart);
}

TEST(TimeBudget, PonderAndInstabilityBonuses) {
    SearchLimits limits = clockLimits(100000, 0, 20);
    const int64_t base = thinkingBudget(limits, 10, 50, 0);
    EXPECT_EQ(thinkingBudget(limits, 10, 50, 200), base + (200 * base) / 140);  // about 2.43 times
    limits.ponderStart = true;
    const int64_t ponder = base + base / 4;
    EXPECT_EQ(thinkingBudget(limits, 10, 50, 0), ponder);
    EXPECT_EQ(thinkingBudget(limits, 10, 50, 70), ponder + (70 * ponder) / 140);

    // Never more than the clock minus the overhead, which may even be negative.
    SearchLimits low = clockLimits(1000, 0, 1);
    EXPECT_EQ(thinkingBudget(low, 0, 50, 400), 950);
    SearchLimits tiny = clockLimits(30, 0, 0);
    EXPECT_EQ(thinkingBudget(tiny, 0, 50, 0), -20);
}

TEST(TimeBudget, AbsurdMovesToGoStaysQuick) {
    SearchLimits limits = clockLimits(100000, 0, 2000000000);
    const int64_t budget = thinkingBudget(limits, 0, 50, 0);
    EXPECT_GT(budget, 0);
    EXPECT_LT(budget, 2500);
}

TEST(ShouldStop, MoveTimeOfAnUntimedSearch) {
    auto thread = searchtest::makeThread("8/8/8/8/8/8/8/K6k w - - 0 1");
    thread->limits.untimed = true;
    thread->limits.moveTime = 1000;
    Control.timeLimit = 777;
    Control.startTime = nowMs() - 500;
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    Control.startTime = nowMs() - 1000;
    EXPECT_TRUE(updateBudgetAndCheckStop(0, *thread));
    EXPECT_EQ(Control.timeLimit.load(), 777);  // the budget is not touched
}

TEST(ShouldStop, PublishesTheBudgetAndStopsPastAboutFourElevenths) {
    auto thread = searchtest::makeThread("8/8/8/8/8/8/8/K6k w - - 0 1");
    thread->limits.timeLeft = 10000;
    thread->limits.movesToGo = 1;
    thread->limits.moveOverhead = 0;
    Control.startTime = nowMs();
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    EXPECT_EQ(Control.timeLimit.load(), 10000);
    // 2e > 2e/8 + 10000 - e: stop from e = 3637 on (2e - 2e/8 + e = 2.75e > 10000).
    Control.startTime = nowMs() - 3500;
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    Control.startTime = nowMs() - 3700;
    EXPECT_TRUE(updateBudgetAndCheckStop(0, *thread));

    // Pondering publishes the budget with its bonus but never stops.
    thread->limits.untimed = true;
    thread->limits.ponderStart = true;
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    EXPECT_EQ(Control.timeLimit.load(), 10000);  // 12500, capped by the clock
    thread->limits.movesToGo = 2;
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    EXPECT_GT(Control.timeLimit.load(), 5000);
}
