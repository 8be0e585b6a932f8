// The middle-game/end-game pair must give exactly what two ints would.
#include <gtest/gtest.h>

#include "eval/scorepair.h"

TEST(EvalScorePair, EachHalfFollowsIntArithmetic) {
    ScorePair a{27, -47};
    a += {3, 7};
    EXPECT_EQ(a, (ScorePair{30, -40}));
    a -= {40, -50};
    EXPECT_EQ(a, (ScorePair{-10, 10}));
    EXPECT_EQ(-a, (ScorePair{10, -10}));
    EXPECT_EQ(a * 3, 3 * a);
    EXPECT_EQ(a * -3, (ScorePair{30, -30}));
    // Division truncates toward zero in each half, as the doubled-pawn
    // penalty (-27 / 2 = -13, not -14) relies on.
    EXPECT_EQ((ScorePair{-27, 47}) / 2, (ScorePair{-13, 23}));
    EXPECT_EQ(-(ScorePair{27, 47}) / 4, (ScorePair{-6, -11}));
    EXPECT_EQ(bothPhases(-5), (ScorePair{-5, -5}));
}
