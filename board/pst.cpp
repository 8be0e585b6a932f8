// Piece-square tables. Each chart below is laid out as a board diagram from
// White's side (rank 8 on the first row, file a in the first column) and is
// turned into the file-major square order (square = file * 8 + rank) by
// PST_FROM_CHART. The middle-game values are read colour-relative (Black's
// pieces at 63 - square); the end-game values at the piece's own square.
#include "board/position.h"

namespace {

constexpr int32_t ChartPawnMg[64] = {
     -31,   -6,    0,    0,    0,    0,   -6,  -31,  // 8
     -31,   -6,    6,   14,   14,    6,   -6,  -31,  // 7
     -31,   -6,   11,   14,   14,   11,   -6,  -31,  // 6
     -31,   -6,   20,   40,   40,   20,   -6,  -31,  // 5
     -31,   -6,   20,   66,   66,   20,   -6,  -31,  // 4
     -31,   -6,   11,   40,   40,   11,   -6,  -31,  // 3
     -31,   -6,    6,   14,   14,    6,   -6,  -31,  // 2
     -31,   -6,    0,    0,    0,    0,   -6,  -31,  // 1
};

constexpr int32_t ChartKnightMg[64] = {
    -214,  -74,  -43,  -29,  -29,  -43,  -74, -214,  // 8
     -60,  -29,    0,   14,   14,    0,  -29,  -60,  // 7
     -14,   14,   46,   57,   57,   46,   14,  -14,  // 6
     -11,   14,   43,   60,   60,   43,   14,  -11,  // 5
     -29,    0,   31,   46,   46,   31,    0,  -29,  // 4
     -60,  -29,    0,   14,   14,    0,  -29,  -60,  // 3
    -103,  -74,  -43,  -29,  -29,  -43,  -74, -103,  // 2
    -151, -120,  -89,  -74,  -74,  -89, -120, -151,  // 1
};

constexpr int32_t ChartBishopMg[64] = {
     -20,  -20,  -14,   -9,   -9,  -14,  -20,  -20,  // 8
     -20,    0,   -6,    0,    0,   -6,    0,  -20,  // 7
     -14,   -6,    9,    6,    6,    9,   -6,  -14,  // 6
      -9,    0,    6,   20,   20,    6,    0,   -9,  // 5
      -9,    0,    6,   20,   20,    6,    0,   -9,  // 4
     -14,   -6,    9,    6,    6,    9,   -6,  -14,  // 3
     -20,    0,   -6,    0,    0,   -6,    0,  -20,  // 2
     -46,  -46,  -40,  -34,  -34,  -40,  -46,  -46,  // 1
};

constexpr int32_t ChartRookMg[64] = {
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 8
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 7
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 6
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 5
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 4
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 3
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 2
     -17,   -9,    0,    9,    9,    0,   -9,  -17,  // 1
};

constexpr int32_t ChartQueenMg[64] = {
       0,    0,    0,    0,    0,    0,    0,    0,  // 8
       0,    0,    0,    0,    0,    0,    0,    0,  // 7
       0,    0,    0,    0,    0,    0,    0,    0,  // 6
       0,    0,    0,    0,    0,    0,    0,    0,  // 5
       0,    0,    0,    0,    0,    0,    0,    0,  // 4
       0,    0,    0,   17,   17,    0,    0,    0,  // 3
       0,    0,    0,    0,    0,    0,    0,    0,  // 2
     -14,  -14,  -14,  -14,  -14,  -14,  -14,  -14,  // 1
};

constexpr int32_t ChartKingMg[64] = {
     106,  131,   77,   23,   23,   77,  131,  106,  // 8
     131,  157,  106,   51,   51,  106,  157,  131,  // 7
     157,  186,  131,   77,   77,  131,  186,  157,  // 6
     186,  211,  157,  106,  106,  157,  211,  186,  // 5
     211,  240,  186,  131,  131,  186,  240,  211,  // 4
     240,  266,  211,  157,  157,  211,  266,  240,  // 3
     291,  320,  266,  211,  211,  266,  320,  291,  // 2
     320,  346,  291,  240,  240,  291,  346,  320,  // 1
};

// Deliberately not rank-symmetric: a2 and h2 hold -89, a7 and h7 -88.
constexpr int32_t ChartKnightEg[64] = {
    -117,  -89,  -60,  -46,  -46,  -60,  -89, -117,  // 8
     -88,  -60,  -34,  -20,  -20,  -34,  -60,  -88,  // 7
     -60,  -34,   -6,    6,    6,   -6,  -34,  -60,  // 6
     -46,  -20,    6,   20,   20,    6,  -20,  -46,  // 5
     -46,  -20,    6,   20,   20,    6,  -20,  -46,  // 4
     -60,  -34,   -6,    6,    6,   -6,  -34,  -60,  // 3
     -89,  -60,  -34,  -20,  -20,  -34,  -60,  -89,  // 2
    -117,  -89,  -60,  -46,  -46,  -60,  -89, -117,  // 1
};

constexpr int32_t ChartBishopEg[64] = {
     -51,  -34,  -26,  -17,  -17,  -26,  -34,  -51,  // 8
     -34,  -17,   -9,    0,    0,   -9,  -17,  -34,  // 7
     -26,   -9,    0,    9,    9,    0,   -9,  -26,  // 6
     -17,    0,    9,   17,   17,    9,    0,  -17,  // 5
     -17,    0,    9,   17,   17,    9,    0,  -17,  // 4
     -26,   -9,    0,    9,    9,    0,   -9,  -26,  // 3
     -34,  -17,   -9,    0,    0,   -9,  -17,  -34,  // 2
     -51,  -34,  -26,  -17,  -17,  -26,  -34,  -51,  // 1
};

constexpr int32_t ChartQueenEg[64] = {
     -69,  -46,  -34,  -23,  -23,  -34,  -46,  -69,  // 8
     -46,  -23,  -11,    0,    0,  -11,  -23,  -46,  // 7
     -34,  -11,    0,   11,   11,    0,  -11,  -34,  // 6
     -23,    0,   11,   23,   23,   11,    0,  -23,  // 5
     -23,    0,   11,   23,   23,   11,    0,  -23,  // 4
     -34,  -11,    0,   11,   11,    0,  -11,  -34,  // 3
     -46,  -23,  -11,    0,    0,  -11,  -23,  -46,  // 2
     -69,  -46,  -34,  -23,  -23,  -34,  -46,  -69,  // 1
};

constexpr int32_t ChartKingEg[64] = {
      27,   74,  111,  135,  135,  111,   74,   27,  // 8
      81,  128,  165,  189,  189,  165,  128,   81,  // 7
     108,  155,  192,  216,  216,  192,  155,  108,  // 6
     116,  163,  200,  224,  224,  200,  163,  116,  // 5
     116,  163,  200,  224,  224,  200,  163,  116,  // 4
     108,  155,  192,  216,  216,  192,  155,  108,  // 3
      81,  128,  165,  189,  189,  165,  128,   81,  // 2
      27,   74,  111,  135,  135,  111,   74,   27,  // 1
};

constexpr int32_t ChartZero[64] = {};

}  // namespace

// One file of a chart, a1-side first: chart rows run from rank 8 down to rank 1.
#define PST_FILE(c, f) c[56 + f], c[48 + f], c[40 + f], c[32 + f], c[24 + f], c[16 + f], c[8 + f], c[f]
#define PST_FROM_CHART(c) \
    PST_FILE(c, 0), PST_FILE(c, 1), PST_FILE(c, 2), PST_FILE(c, 3), PST_FILE(c, 4), PST_FILE(c, 5), \
        PST_FILE(c, 6), PST_FILE(c, 7)

const int32_t PieceSquareMg[6][64] = {
    {PST_FROM_CHART(ChartPawnMg)},   {PST_FROM_CHART(ChartKnightMg)}, {PST_FROM_CHART(ChartBishopMg)},
    {PST_FROM_CHART(ChartRookMg)},   {PST_FROM_CHART(ChartQueenMg)},  {PST_FROM_CHART(ChartKingMg)},
};

// Pawns and rooks have no end-game placement preference.
const int32_t PieceSquareEg[6][64] = {
    {PST_FROM_CHART(ChartZero)},   {PST_FROM_CHART(ChartKnightEg)}, {PST_FROM_CHART(ChartBishopEg)},
    {PST_FROM_CHART(ChartZero)},   {PST_FROM_CHART(ChartQueenEg)},  {PST_FROM_CHART(ChartKingEg)},
};

#undef PST_FROM_CHART
#undef PST_FILE
