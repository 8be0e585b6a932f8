// The piece-square tables whose sums the position keeps up to date (pstA,
// pstB). Their values belong to the evaluation, which writes them here once
// at start-up (initEvaluation), before any position is set up.
#include "board/position.h"

int32_t PieceSquareMg[6][64];
int32_t PieceSquareEg[6][64];
