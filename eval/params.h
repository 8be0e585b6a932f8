// Every weight and table of the evaluation, grouped by term so that they can be
// reviewed side by side. Units: a pawn is 200 in the middle game, 257 in the
// end game. A ScorePair is {middle game, end game}. Tables indexed by "r" use
// the rank counted from the owner's side (0 = own first rank); square tables
// are written from White's side with rank 8 in the top row, as a chess
// diagram, and converted to square order here.
#pragma once

#include <array>
#include <cstdint>

#include "board/types.h"
#include "eval/scorepair.h"

namespace eval_params_detail {
// Diagram rows (rank 8 first, files a..h) to the file-major square order.
constexpr std::array<int, 64> fromDiagram(const int (&rows)[8][8]) {
    std::array<int, 64> table{};
    for (int rank = 0; rank < 8; rank++)
        for (int file = 0; file < 8; file++) table[file * 8 + rank] = rows[7 - rank][file];
    return table;
}
}  // namespace eval_params_detail

// ---------------------------------------------------------------- game phase
// Non-pawn material of both sides at which the position counts as a full
// middle game (phase 256), and the width of the band below it in which the
// phase falls to 0.
constexpr int PhaseMidgameMaterial = 14282;
constexpr int PhaseEndgameMaterial = 3320;
constexpr int PhaseRange = PhaseMidgameMaterial - PhaseEndgameMaterial;  // 10962
constexpr int PhaseMax = 256;
// Material (both sides, no pawns) at or below which special endgames are tried.
constexpr int SpecialEndgameMaterial = 5042;
// Scale factors of the end-game score are in 256ths.
constexpr int ScaleFactorNormal = 256;

// ---------------------------------------------------------------- piece-square
// Middle-game charts are read colour-relative (Black's pieces at 63 - square),
// end-game charts at the piece's own square.
constexpr int PieceSquarePawnMgDiagram[8][8] = {
    {-31, -6, 0, 0, 0, 0, -6, -31},      // 8
    {-31, -6, 6, 14, 14, 6, -6, -31},    // 7
    {-31, -6, 11, 14, 14, 11, -6, -31},  // 6
    {-31, -6, 20, 40, 40, 20, -6, -31},  // 5
    {-31, -6, 20, 66, 66, 20, -6, -31},  // 4
    {-31, -6, 11, 40, 40, 11, -6, -31},  // 3
    {-31, -6, 6, 14, 14, 6, -6, -31},    // 2
    {-31, -6, 0, 0, 0, 0, -6, -31},      // 1
};
constexpr int PieceSquareKnightMgDiagram[8][8] = {
    {-214, -74, -43, -29, -29, -43, -74, -214},    // 8
    {-60, -29, 0, 14, 14, 0, -29, -60},            // 7
    {-14, 14, 46, 57, 57, 46, 14, -14},            // 6
    {-11, 14, 43, 60, 60, 43, 14, -11},            // 5
    {-29, 0, 31, 46, 46, 31, 0, -29},              // 4
    {-60, -29, 0, 14, 14, 0, -29, -60},            // 3
    {-103, -74, -43, -29, -29, -43, -74, -103},    // 2
    {-151, -120, -89, -74, -74, -89, -120, -151},  // 1
};
constexpr int PieceSquareBishopMgDiagram[8][8] = {
    {-20, -20, -14, -9, -9, -14, -20, -20},    // 8
    {-20, 0, -6, 0, 0, -6, 0, -20},            // 7
    {-14, -6, 9, 6, 6, 9, -6, -14},            // 6
    {-9, 0, 6, 20, 20, 6, 0, -9},              // 5
    {-9, 0, 6, 20, 20, 6, 0, -9},              // 4
    {-14, -6, 9, 6, 6, 9, -6, -14},            // 3
    {-20, 0, -6, 0, 0, -6, 0, -20},            // 2
    {-46, -46, -40, -34, -34, -40, -46, -46},  // 1
};
constexpr int PieceSquareRookMgDiagram[8][8] = {
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 8
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 7
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 6
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 5
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 4
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 3
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 2
    {-17, -9, 0, 9, 9, 0, -9, -17},  // 1
};
constexpr int PieceSquareQueenMgDiagram[8][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 8
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 7
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 6
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 5
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 4
    {0, 0, 0, 17, 17, 0, 0, 0},                // 3
    {0, 0, 0, 0, 0, 0, 0, 0},                  // 2
    {-14, -14, -14, -14, -14, -14, -14, -14},  // 1
};
constexpr int PieceSquareKingMgDiagram[8][8] = {
    {106, 131, 77, 23, 23, 77, 131, 106},      // 8
    {131, 157, 106, 51, 51, 106, 157, 131},    // 7
    {157, 186, 131, 77, 77, 131, 186, 157},    // 6
    {186, 211, 157, 106, 106, 157, 211, 186},  // 5
    {211, 240, 186, 131, 131, 186, 240, 211},  // 4
    {240, 266, 211, 157, 157, 211, 266, 240},  // 3
    {291, 320, 266, 211, 211, 266, 320, 291},  // 2
    {320, 346, 291, 240, 240, 291, 346, 320},  // 1
};
// Pawns and rooks have no end-game placement preference.
// Deliberately not rank-symmetric: a2 and h2 hold -89, a7 and h7 -88.
constexpr int PieceSquareKnightEgDiagram[8][8] = {
    {-117, -89, -60, -46, -46, -60, -89, -117},  // 8
    {-88, -60, -34, -20, -20, -34, -60, -88},    // 7
    {-60, -34, -6, 6, 6, -6, -34, -60},          // 6
    {-46, -20, 6, 20, 20, 6, -20, -46},          // 5
    {-46, -20, 6, 20, 20, 6, -20, -46},          // 4
    {-60, -34, -6, 6, 6, -6, -34, -60},          // 3
    {-89, -60, -34, -20, -20, -34, -60, -89},    // 2
    {-117, -89, -60, -46, -46, -60, -89, -117},  // 1
};
constexpr int PieceSquareBishopEgDiagram[8][8] = {
    {-51, -34, -26, -17, -17, -26, -34, -51},  // 8
    {-34, -17, -9, 0, 0, -9, -17, -34},        // 7
    {-26, -9, 0, 9, 9, 0, -9, -26},            // 6
    {-17, 0, 9, 17, 17, 9, 0, -17},            // 5
    {-17, 0, 9, 17, 17, 9, 0, -17},            // 4
    {-26, -9, 0, 9, 9, 0, -9, -26},            // 3
    {-34, -17, -9, 0, 0, -9, -17, -34},        // 2
    {-51, -34, -26, -17, -17, -26, -34, -51},  // 1
};
constexpr int PieceSquareQueenEgDiagram[8][8] = {
    {-69, -46, -34, -23, -23, -34, -46, -69},  // 8
    {-46, -23, -11, 0, 0, -11, -23, -46},      // 7
    {-34, -11, 0, 11, 11, 0, -11, -34},        // 6
    {-23, 0, 11, 23, 23, 11, 0, -23},          // 5
    {-23, 0, 11, 23, 23, 11, 0, -23},          // 4
    {-34, -11, 0, 11, 11, 0, -11, -34},        // 3
    {-46, -23, -11, 0, 0, -11, -23, -46},      // 2
    {-69, -46, -34, -23, -23, -34, -46, -69},  // 1
};
constexpr int PieceSquareKingEgDiagram[8][8] = {
    {27, 74, 111, 135, 135, 111, 74, 27},      // 8
    {81, 128, 165, 189, 189, 165, 128, 81},    // 7
    {108, 155, 192, 216, 216, 192, 155, 108},  // 6
    {116, 163, 200, 224, 224, 200, 163, 116},  // 5
    {116, 163, 200, 224, 224, 200, 163, 116},  // 4
    {108, 155, 192, 216, 216, 192, 155, 108},  // 3
    {81, 128, 165, 189, 189, 165, 128, 81},    // 2
    {27, 74, 111, 135, 135, 111, 74, 27},      // 1
};
constexpr int PieceSquareNoneDiagram[8][8] = {};
// [piece type][square]. The position keeps the sums of these up to date as
// pieces move; initEvaluation hands them to it.
constexpr std::array<int, 64> PieceSquareChartMg[6] = {
    eval_params_detail::fromDiagram(PieceSquarePawnMgDiagram),
    eval_params_detail::fromDiagram(PieceSquareKnightMgDiagram),
    eval_params_detail::fromDiagram(PieceSquareBishopMgDiagram),
    eval_params_detail::fromDiagram(PieceSquareRookMgDiagram),
    eval_params_detail::fromDiagram(PieceSquareQueenMgDiagram),
    eval_params_detail::fromDiagram(PieceSquareKingMgDiagram),
};
constexpr std::array<int, 64> PieceSquareChartEg[6] = {
    eval_params_detail::fromDiagram(PieceSquareNoneDiagram),
    eval_params_detail::fromDiagram(PieceSquareKnightEgDiagram),
    eval_params_detail::fromDiagram(PieceSquareBishopEgDiagram),
    eval_params_detail::fromDiagram(PieceSquareNoneDiagram),
    eval_params_detail::fromDiagram(PieceSquareQueenEgDiagram),
    eval_params_detail::fromDiagram(PieceSquareKingEgDiagram),
};

// ---------------------------------------------------------------- pawns
constexpr ScorePair PawnValue{200, 257};
// Isolated pawn, middle game by [opposed][file], end game by [opposed].
constexpr int IsolatedPenaltyMg[2][8] = {
    {29, 41, 54, 67, 67, 54, 41, 29},
    {44, 44, 45, 67, 67, 45, 44, 44},
};
constexpr int IsolatedPenaltyEg[2] = {30, 21};
// Doubled pawn, divided by the rank distance to the own pawn in front.
constexpr ScorePair DoubledPenalty{27, 47};
// Backward pawn, middle game by [opposed], end game the same for both.
constexpr int BackwardPenaltyMg[2] = {46, 23};
constexpr int BackwardPenaltyEg = 29;
// Supported or side-by-side pawn: factor × (r − 1) × (r − 2).
constexpr ScorePair ConnectedFactor{8, 4};
// A pawn without support whose two capture squares both hold own pawns
// (the apex of an inverted wedge).
constexpr ScorePair WedgePenalty{5, 20};
constexpr ScorePair CandidateBonus[8] = {{14, 14}, {14, 14}, {14, 14}, {14, 14}, {23, 29}, {43, 71}, {86, 157}, {0, 0}};
constexpr ScorePair LeverBonus[8] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {-3, 83}, {94, 128}, {0, 0}, {0, 0}};

// ---------------------------------------------------------------- pieces
// Mobility by safe squares (0..15), rows Knight, Bishop, Rook, Queen.
constexpr int MobilityCap = 15;
constexpr ScorePair Mobility[4][16] = {
    // Knight
    {{-40, -56},
     {-22, -36},
     {-8, -22},
     {2, -10},
     {11, -1},
     {20, 7},
     {27, 14},
     {34, 20},
     {40, 26},
     {0, 0},
     {0, 0},
     {0, 0},
     {0, 0},
     {0, 0},
     {0, 0},
     {0, 0}},
    // Bishop
    {{-26, -50},
     {-3, -22},
     {12, -4},
     {25, 8},
     {36, 19},
     {45, 27},
     {52, 35},
     {59, 41},
     {65, 47},
     {71, 52},
     {76, 56},
     {80, 61},
     {75, 65},
     {89, 68},
     {93, 71},
     {0, 0}},
    // Rook
    {{-20, -49},
     {-8, -29},
     {-1, -11},
     {4, 5},
     {9, 22},
     {13, 37},
     {16, 53},
     {19, 67},
     {22, 81},
     {24, 95},
     {27, 108},
     {29, 120},
     {31, 132},
     {32, 144},
     {34, 155},
     {36, 167}},
    // Queen
    {{-11, -20},
     {-7, 29},
     {-4, 67},
     {-1, 98},
     {1, 124},
     {4, 146},
     {6, 165},
     {9, 183},
     {11, 198},
     {13, 212},
     {15, 226},
     {17, 238},
     {19, 249},
     {20, 259},
     {22, 269},
     {24, 279}},
};
// Weight of one piece attacking the enemy king's zone, by piece type.
constexpr int KingAttackWeight[6] = {0, 2, 2, 4, 5, 0};
// A piece standing on a square attacked by an enemy pawn, by piece type.
constexpr ScorePair PawnHarass[6] = {{0, 0}, {63, 77}, {63, 77}, {86, 111}, {97, 131}, {0, 0}};

// Outposts, the same in both phases.
constexpr int KnightOutpostDiagram[8][8] = {
    {11, 11, 11, 11, 11, 11, 11, 11}, {11, 21, 21, 21, 21, 21, 21, 11}, {11, 21, 30, 30, 30, 30, 21, 11},
    {11, 21, 30, 37, 37, 30, 21, 11}, {11, 21, 30, 30, 30, 30, 21, 11}, {11, 21, 21, 21, 21, 21, 21, 11},
    {11, 11, 11, 11, 11, 11, 11, 11}, {0, 0, 0, 0, 0, 0, 0, 0},
};
constexpr int BishopOutpostDiagram[8][8] = {
    {8, 8, 8, 8, 8, 8, 8, 8},       {8, 18, 18, 18, 18, 18, 18, 8},   {8, 18, 28, 28, 28, 28, 18, 8},
    {8, 18, 28, 38, 38, 28, 18, 8}, {8, 18, 28, 28, 28, 28, 18, 8},   {8, 18, 18, 18, 18, 18, 18, 8},
    {8, 8, 8, 8, 8, 8, 8, 8},       {-2, -2, -2, -2, -2, -2, -2, -2},
};
// [0] knight, [1] bishop; White's squares (Black reads square 63 − s).
constexpr std::array<int, 64> OutpostBonus[2] = {
    eval_params_detail::fromDiagram(KnightOutpostDiagram),
    eval_params_detail::fromDiagram(BishopOutpostDiagram),
};

// Bishop: per own pawn on the bishop's colour, and (in both phases) by the
// number of rams.
constexpr ScorePair BishopPawnPenalty{11, 14};
constexpr int BishopRamPenalty[9] = {-15, -4, 4, 12, 19, 26, 33, 39, 45};
// Minor piece without a safe square in the enemy half.
constexpr ScorePair MinorPassive{15, 10};
// Minor piece all of whose safe squares the enemy attacks and we do not
// double-cover: it may soon be caught.
constexpr ScorePair MinorCaught{20, 60};

// Rook by the total number of pawns on the board (0..16), middle game only.
constexpr int RookPawnCount[17] = {-1, -2, -5, -10, -15, -21, -28, -35, -43, -52, -61, -71, -81, -92, -103, -114, -127};
// Half-open file (no own pawn), counted again when fully open.
constexpr ScorePair RookFile{29, 8};
// Rook on the enemy's half, per enemy pawn on its rank.
constexpr ScorePair RookOnPawns{21, 26};
// Rook on the seventh rank confining the enemy king to the eighth.
constexpr ScorePair RookSeventh{12, 40};
// Rook shut in by its own king: 8 × safe squares − 90, middle game only.
constexpr int TrappedRookMaxSquares = 3;
constexpr int TrappedRookBase = 90;
constexpr int TrappedRookPerSquare = 8;

// Queen on the enemy's half, per enemy pawn on its rank (a middle-game
// liability, an end-game asset), and on the seventh against a king on the eighth.
constexpr ScorePair QueenOnPawns{-15, 79};
constexpr ScorePair QueenSeventh{-34, 30};

// ---------------------------------------------------------------- whole board
// Extra pieces (knights..queens by count) per enemy pawn.
constexpr ScorePair Imbalance{21, 15};
constexpr ScorePair BishopPair{94, 94};
// Space (middle game): weight × minors² × squares / 256, plus a bonus per
// empty zone square.
constexpr int SpaceWeight = 36;
constexpr int SpaceEmptySquare = 14;
constexpr ScorePair Tempo{25, 23};
// Pure pawn endings: extra value per pawn of difference, and per rank of an
// unstoppable passer.
constexpr int PawnEndingPawnValue = 200;
constexpr int UnstoppablePasserPerRank = 60;
// Pull of the end-game score toward zero as pawns come off: (12 − pawns) × 29 / 5.
constexpr int DrawPullPawns = 12;
constexpr int DrawPullNumerator = 29;
constexpr int DrawPullDenominator = 5;

// ---------------------------------------------------------------- king safety
constexpr int ShelterBase = 266;
// [own shield pawn defended][its r, 0 when the file has none].
constexpr int ShelterPenalty[2][8] = {
    {87, -9, 32, 47, 67, 43, 13, 83},
    {75, -2, -7, 70, 69, 80, 78, 83},
};
// [enemy pawn supported][its r from the enemy's side, 0 when none].
constexpr int StormPenalty[2][8] = {
    {7, -3, -1, -7, 34, 119, -12, 0},
    {10, 8, 9, 23, 44, 149, -3, 0},
};
// Danger multiplier (/256) by the number of safe squares next to the king.
constexpr int KingSafeFactor[9] = {429, 336, 300, 272, 249, 229, 210, 194, 178};
// The danger table: min(⌊0.425 i²⌋, previous + 33, 1300) for index i.
constexpr int KingDangerSize = 100;
constexpr int KingDangerMax = 1300;
constexpr int KingDangerStep = 33;
constexpr double KingDangerSlope = 0.425;
constexpr int AdjacentAttackWeight = 3;
constexpr int ShelterDangerDivisor = 32;
constexpr int QueenContactWeight = 15;
constexpr int RookContactWeight = 13;
constexpr int QueenCheckWeight = 9;
constexpr int RookCheckWeight = 13;
constexpr int BishopCheckWeight = 2;
constexpr int KnightCheckWeight = 3;

// ---------------------------------------------------------------- passed pawns
constexpr ScorePair PassedBonus[8] = {{0, 0}, {22, 21}, {42, 17}, {55, 49}, {100, 99}, {226, 224}, {363, 393}, {0, 0}};
// King distances to the square in front, × (r − 1)(r − 2), end game.
constexpr int PassedEnemyKingWeight = 6;
constexpr int PassedOwnKingWeight = 3;
// Free-path bonuses, × (r − 1)(r − 2): a path free of enemy control, or
// just the next step, in the end game; a path (or step) we control.
constexpr int PassedPathSafe = 26;
constexpr int PassedStepSafe = 10;
constexpr ScorePair PassedPathDefended{7, 15};
constexpr ScorePair PassedStepDefended{8, 6};
constexpr int ConnectedPasserEg = 16;

// ---------------------------------------------------------------- threats
// By victim class: 0 pawn or king, 1 knight, 2 bishop, 3 rook, 4 queen.
constexpr ScorePair MinorThreat[5] = {{5, 40}, {35, 39}, {34, 49}, {43, 43}, {27, 98}};
constexpr ScorePair MajorThreat[5] = {{-7, 32}, {41, 56}, {29, 40}, {14, 39}, {20, 39}};
constexpr ScorePair Hanging{33, 44};
constexpr ScorePair KingThreat{214, 67};
constexpr ScorePair QueenChase{40, 20};
// ---------------------------------------------------------------- endgames
// Bonus for a king distance 0..7 in the mating gradients: the closer the
// lone king is driven to the target corner and the closer the attacking king
// stands, the higher the score, so the search finds its way to the mate.
constexpr int CornerBonus[8] = {0, 140, 120, 100, 80, 60, 40, 20};
// Recognised wins score from this base plus the gradient.
constexpr Score ScoreKnownWin = ScoreDecisive;
// A won KPK position scores this much minus the pawn's rank index, so that
// among wins the engine still prefers the one with the pawn further advanced.
constexpr Score ScoreKpkWinBase = 10931;
// End-game scale in percent by the stronger side's pawn count 0, 1, 2 when
// its extra material alone would not win.
constexpr int PawnCountScale[3] = {0, 60, 80};
// Scale without pawns when the extra material can still mate: almost
// nothing without a bishop, a little more with one, and half with two.
constexpr int ScaleNoPawnNoBishop = 16;
constexpr int ScaleNoPawnOneBishop = 32;
constexpr int ScaleNoPawnBishops = 128;
// Opposite-coloured bishops with other pieces keep this share in percent.
constexpr int ScaleOppositeBishopsPercent = 80;
// Pawn endings: the stronger side needs at least this many rams for a lock,
// and a wall reaches this many pawns back down each file behind a ram.
constexpr int BlockadeMinRams = 3;
constexpr int BlockadeChainSteps = 4;
