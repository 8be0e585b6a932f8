// The thinking budget and the decision to start another iteration.
#include <gtest/gtest.h>

#include <climits>

#include "search/timeman.h"
#include "test_common.h"

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

TEST(TimeManagement, LastMoveBeforeTheControlGetsTheWholeClock) {
    // The exact value is the point: nothing is left to save for later moves.
    for (int overhead : {0, 50, 700}) {
        SearchLimits limits = clockLimits(10000, 500, 1);
        EXPECT_EQ(thinkingBudget(limits, 30, overhead, 0), 10000 - overhead);
        // Nor can pondering or an unstable move take it beyond the clock.
        limits.ponderStart = true;
        EXPECT_EQ(thinkingBudget(limits, 30, overhead, 300), 10000 - overhead);
    }
}

TEST(TimeManagement, BudgetGrowsWithTimeAndIncrementWithinTheClock) {
    for (int movesToGo : {0, 1, 2, 5, 20, 40, 80})
        for (int ply : {0, 30, 120})
            for (int overhead : {0, 50})
                for (int increment : {0, 100, 1000}) {
                    int64_t previous = -1000000;
                    for (int timeLeft : {10, 100, 1000, 5000, 20000, 60000, 300000}) {
                        const SearchLimits limits = clockLimits(timeLeft, increment, movesToGo);
                        const int64_t budget = thinkingBudget(limits, ply, overhead, 0);
                        EXPECT_LE(budget, timeLeft - overhead) << timeLeft << " " << increment << " " << movesToGo;
                        EXPECT_GE(budget, previous) << timeLeft << " " << increment << " " << movesToGo;
                        previous = budget;
                        // More increment never gives less time, unless the clock caps it.
                        const int64_t more =
                            thinkingBudget(clockLimits(timeLeft, increment + 500, movesToGo), ply, overhead, 0);
                        EXPECT_GE(more, budget);
                        if (movesToGo != 1 && budget < timeLeft - overhead - 1000) {
                            EXPECT_GT(more, budget);
                        }
                        // Bonuses never lower it nor break the cap.
                        SearchLimits ponder = limits;
                        ponder.ponderStart = true;
                        for (int instability : {0, 70, 200, 1000}) {
                            const int64_t bonus = thinkingBudget(ponder, ply, overhead, instability);
                            EXPECT_GE(bonus, thinkingBudget(limits, ply, overhead, instability));
                            EXPECT_GE(thinkingBudget(limits, ply, overhead, instability), budget);
                            EXPECT_LE(bonus, timeLeft - overhead);
                        }
                    }
                    EXPECT_GT(previous, 1000) << "a long clock gives a real budget";
                }
}

TEST(TimeManagement, FewerMovesToGoGiveMoreTime) {
    // No "movestogo" assumes forty moves.
    EXPECT_EQ(thinkingBudget(clockLimits(60000, 1000, 0), 0, 50, 0),
              thinkingBudget(clockLimits(60000, 1000, 40), 0, 50, 0));
    // Without an increment (which adds time with every move to go) the share
    // shrinks as the moves to share the clock over grow.
    int64_t previous = 1 << 30;
    for (int movesToGo : {1, 2, 3, 5, 10, 20, 40, 100, 1000, 5000, 100000}) {
        const int64_t budget = thinkingBudget(clockLimits(60000, 0, movesToGo), 10, 50, 0);
        EXPECT_LT(budget, previous) << movesToGo;
        previous = budget;
    }
    // An absurd count stays quick, and still leaves some time.
    const int64_t absurd = thinkingBudget(clockLimits(100000, 0, 2000000000), 0, 50, 0);
    EXPECT_GT(absurd, 0);
    EXPECT_LT(absurd, 2500);
    // A negative count leaves the increments owed, not a wrapped product.
    EXPECT_LT(thinkingBudget(clockLimits(1000, 10, INT_MIN), 0, 50, 0), 0);
}

TEST(TimeManagement, TheMoveAtHandWeighsMostTheMoreSoEarly) {
    // 60 s and 39 increments of 1 s to share over the 40 moves to the control.
    const SearchLimits limits = clockLimits(60000, 1000, 0);
    const int64_t fairShare = (60000 + 39 * 1000) / 40;
    const int64_t atStart = thinkingBudget(limits, 0, 50, 0);
    const int64_t later = thinkingBudget(limits, 80, 50, 0);
    EXPECT_GT(atStart, fairShare);
    EXPECT_GT(later, fairShare);
    EXPECT_LT(later, atStart);
    // An unstable best move earns more, the more unstable the more.
    SearchLimits twenty = clockLimits(100000, 0, 20);
    int64_t previous = thinkingBudget(twenty, 10, 50, 0);
    for (int instability : {10, 70, 200}) {
        const int64_t budget = thinkingBudget(twenty, 10, 50, instability);
        EXPECT_GT(budget, previous) << instability;
        previous = budget;
    }
    // So does a ponder search.
    const int64_t base = thinkingBudget(twenty, 10, 50, 0);
    twenty.ponderStart = true;
    EXPECT_GT(thinkingBudget(twenty, 10, 50, 0), base);
}

TEST(TimeManagement, MoveTimeOfAnUntimedSearch) {
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

TEST(TimeManagement, PublishesTheBudgetAndStopsPastAboutFourElevenths) {
    auto thread = searchtest::makeThread("8/8/8/8/8/8/8/K6k w - - 0 1");
    thread->limits.timeLeft = 10000;
    thread->limits.movesToGo = 1;
    thread->limits.moveOverhead = 0;
    Control.startTime = nowMs();
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    const int64_t budget = Control.timeLimit.load();
    EXPECT_EQ(budget, thinkingBudget(thread->limits, 0, 0, 0));
    // The next iteration takes about as long as all before it together, twice
    // over: it starts only while the time used is below about 4/11 of the budget.
    Control.startTime = nowMs() - budget * 35 / 100;
    EXPECT_FALSE(updateBudgetAndCheckStop(0, *thread));
    Control.startTime = nowMs() - budget * 37 / 100;
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
