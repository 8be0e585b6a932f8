#include "search/tables.h"

#include <cmath>

#include "search/search.h"

int32_t reductionTable[2][ReductionKinds][ReductionMoves][ReductionDepths];
int32_t moveCountLimit[2][16];

// The reduction grows with the product of the logarithms of depth and move
// number: late moves of a deep node are the least likely to matter. Nodes
// expected to fail high (cutNode) reduce one ply more; improving nodes, whose
// static evaluation rose over two plies, reduce less when not expected to cut;
// principal-variation nodes reduce least of all.
static void buildReductionTable() {
    for (int m = 0; m < ReductionMoves; m++) {
        for (int d = 0; d < ReductionDepths; d++) {
            if (m == 0 || d == 0) {
                for (int kind = 0; kind < ReductionKinds; kind++) {
                    reductionTable[0][kind][m][d] = 0;
                    reductionTable[1][kind][m][d] = 0;
                }
                continue;
            }
            double x = std::log(double(d)) * std::log(double(m));
            reductionTable[0][0][m][d] = int32_t(x / 1.8);
            reductionTable[0][1][m][d] = 1 + int32_t(x / 1.6);
            reductionTable[0][2][m][d] = int32_t(x * 0.5);
            reductionTable[0][3][m][d] = 1 + int32_t(x / 1.8);
            for (int kind = 0; kind < ReductionKinds; kind++) reductionTable[1][kind][m][d] = int32_t(x / 2.8);
        }
    }
}

// At shallow depth only the first moves of the ordering are worth searching;
// an improving node gets a few more.
static void buildMoveCountLimit() {
    moveCountLimit[0][0] = 0;
    moveCountLimit[1][0] = 0;
    for (int d = 1; d < 16; d++) {
        moveCountLimit[0][d] = int32_t(d * 0.8 * d + 4);
        moveCountLimit[1][d] = int32_t(double(d) * d + 4);
    }
}

void initSearchTables() {
    buildReductionTable();
    buildMoveCountLimit();
}
