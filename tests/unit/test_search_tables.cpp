// The late-move-reduction and move-count tables: the shape the node search
// relies on, not the entries themselves (the bench signature holds those).
#include <gtest/gtest.h>

#include "search/tables.h"
#include "test_common.h"

TEST(SearchTables, ReductionsGrowWithDepthAndMoveNumberWithinTheDepth) {
    searchtest::initSearchTestTables();
    for (int pv = 0; pv < 2; pv++) {
        for (int kind = 0; kind < ReductionKinds; kind++) {
            const auto& r = reductionTable[pv][kind];
            for (int m = 0; m < ReductionMoves; m++) {
                for (int d = 0; d < ReductionDepths; d++) {
                    // The first move and a node at the horizon are never reduced.
                    if (m == 0 || d == 0) {
                        EXPECT_EQ(r[m][d], 0) << pv << kind << " " << m << " " << d;
                    }
                    // A reduction never takes the search past the horizon.
                    EXPECT_GE(r[m][d], 0);
                    EXPECT_LE(r[m][d], d) << pv << kind << " " << m << " " << d;
                    if (m > 0) {
                        EXPECT_GE(r[m][d], r[m - 1][d]) << pv << kind << " " << m << " " << d;
                    }
                    if (d > 0) {
                        EXPECT_GE(r[m][d], r[m][d - 1]) << pv << kind << " " << m << " " << d;
                    }
                }
            }
            // Late moves of a deep node are reduced by several plies.
            EXPECT_GE(r[63][63], r[2][2] + 5) << pv << kind;
        }
    }
    // At depth 1 only a node expected to cut reduces, by its one extra ply.
    for (int m = 1; m < ReductionMoves; m++)
        for (int kind = 0; kind < ReductionKinds; kind++) {
            EXPECT_EQ(reductionTable[0][kind][m][1], kind & 1) << kind << " " << m;
            EXPECT_EQ(reductionTable[1][kind][m][1], 0) << kind << " " << m;
        }
}

TEST(SearchTables, ReductionsByKindOfNode) {
    searchtest::initSearchTestTables();
    for (int m = 0; m < ReductionMoves; m++) {
        for (int d = 0; d < ReductionDepths; d++) {
            const int cut = 1, improving = 2;
            for (int kind = 0; kind < ReductionKinds; kind++) {
                // A principal-variation node reduces least, whatever the kind.
                EXPECT_LE(reductionTable[1][kind][m][d], reductionTable[0][kind][m][d]);
                EXPECT_EQ(reductionTable[1][kind][m][d], reductionTable[1][0][m][d]);
            }
            for (int kind : {0, improving}) {
                // An expected cutoff reduces more.
                EXPECT_GE(reductionTable[0][kind | cut][m][d], reductionTable[0][kind][m][d]) << m << " " << d;
                if (m > 0 && d > 0) {
                    EXPECT_GT(reductionTable[0][kind | cut][m][d], reductionTable[0][kind][m][d]);
                }
            }
            // A node whose evaluation improves reduces less.
            for (int kind : {0, cut})
                EXPECT_LE(reductionTable[0][kind | improving][m][d], reductionTable[0][kind][m][d]) << m << " " << d;
        }
    }
}

TEST(SearchTables, ReductionOfANodeReadsItsTable) {
    searchtest::initSearchTestTables();
    for (int pv = 0; pv < 2; pv++)
        for (int kind = 0; kind < ReductionKinds; kind++) {
            const bool cut = kind & 1, improving = kind & 2;
            EXPECT_EQ(lateMoveReduction(pv, cut, improving, 5, 6), reductionTable[pv][kind][5][6]);
            // Larger arguments read the last row and column.
            EXPECT_EQ(lateMoveReduction(pv, cut, improving, 200, 90), reductionTable[pv][kind][63][63]);
            EXPECT_EQ(lateMoveReduction(pv, cut, improving, 7, 500), reductionTable[pv][kind][7][63]);
        }
}

TEST(SearchTables, MoveCountLimitsGrowWithDepth) {
    searchtest::initSearchTestTables();
    for (int improving = 0; improving < 2; improving++) {
        EXPECT_EQ(moveCountLimit[improving][0], 0);
        // Even at depth 1 the first few moves of the ordering are searched.
        EXPECT_GE(moveCountLimit[improving][1], 4);
        for (int d = 2; d < 16; d++) {
            EXPECT_GT(moveCountLimit[improving][d], moveCountLimit[improving][d - 1]) << d;
        }
    }
    // An improving node keeps more moves.
    for (int d = 1; d < 16; d++) EXPECT_GT(moveCountLimit[1][d], moveCountLimit[0][d]) << d;
}
