// The late-move-reduction and move-count tables.
#include <gtest/gtest.h>

#include <cmath>

#include "search/tables.h"
#include "test_search_util.h"

TEST(SearchTables, ReductionExamples) {
    searchtest::initSearchTestTables();
    // ln 8 * ln 10 = 4.788: non-PV kinds 2, 1 + 2, 2, 1 + 2; PV 1.
    EXPECT_EQ(reductionTable[0][0][10][8], 2);
    EXPECT_EQ(reductionTable[0][1][10][8], 3);
    EXPECT_EQ(reductionTable[0][2][10][8], 2);
    EXPECT_EQ(reductionTable[0][3][10][8], 3);
    EXPECT_EQ(reductionTable[1][0][10][8], 1);
    // ln 63 squared = 17.165: 9, 1 + 10, 8, 1 + 9; PV 6.
    EXPECT_EQ(reductionTable[0][0][63][63], 9);
    EXPECT_EQ(reductionTable[0][1][63][63], 11);
    EXPECT_EQ(reductionTable[0][2][63][63], 8);
    EXPECT_EQ(reductionTable[0][3][63][63], 10);
    for (int kind = 0; kind < 4; kind++) EXPECT_EQ(reductionTable[1][kind][63][63], 6);
}

TEST(SearchTables, ReductionEdges) {
    searchtest::initSearchTestTables();
    for (int kind = 0; kind < 4; kind++) {
        for (int i = 0; i < 64; i++) {
            EXPECT_EQ(reductionTable[0][kind][0][i], 0);
            EXPECT_EQ(reductionTable[0][kind][i][0], 0);
            EXPECT_EQ(reductionTable[1][kind][0][i], 0);
        }
    }
    // The first move (ln 1 = 0) still gets the one extra ply of a cut node.
    EXPECT_EQ(reductionTable[0][0][1][40], 0);
    EXPECT_EQ(reductionTable[0][1][1][40], 1);
    EXPECT_EQ(reductionTable[0][3][1][40], 1);
    // Larger arguments read the last row and column.
    EXPECT_EQ(lateMoveReduction(false, false, false, 200, 90), reductionTable[0][0][63][63]);
    EXPECT_EQ(lateMoveReduction(true, true, true, 5, 6), reductionTable[1][3][5][6]);
    EXPECT_EQ(lateMoveReduction(false, true, true, 5, 6), reductionTable[0][3][5][6]);
    // An entry computed independently: ln 20 * ln 30 = 10.189, x / 1.6 = 6.37.
    EXPECT_EQ(reductionTable[0][1][30][20], 1 + 6);
}

TEST(SearchTables, MoveCountLimitRows) {
    searchtest::initSearchTestTables();
    const int notImproving[16] = {0, 4, 7, 11, 16, 24, 32, 43, 55, 68, 84, 100, 119, 139, 160, 184};
    const int improving[16] = {0, 5, 8, 13, 20, 29, 40, 53, 68, 85, 104, 125, 148, 173, 200, 229};
    for (int d = 0; d < 16; d++) {
        EXPECT_EQ(moveCountLimit[0][d], notImproving[d]) << d;
        EXPECT_EQ(moveCountLimit[1][d], improving[d]) << d;
    }
}
