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
constexpr ScorePair CandidateBonus[8] = {{14, 14}, {14, 14}, {14, 14}, {14, 14},
                                         {23, 29}, {43, 71}, {86, 157}, {0, 0}};
constexpr ScorePair LeverBonus[8] = {{0, 0},   {0, 0},    {0, 0}, {0, 0},
                                     {-3, 83}, {94, 128}, {0, 0}, {0, 0}};

// ---------------------------------------------------------------- pieces
// Mobility by safe squares (0..15), rows Knight, Bishop, Rook, Queen.
constexpr int MobilityCap = 15;
constexpr ScorePair Mobility[4][16] = {
    // Knight
    {{-40, -56}, {-22, -36}, {-8, -22}, {2, -10}, {11, -1}, {20, 7}, {27, 14}, {34, 20},
     {40, 26}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
    // Bishop
    {{-26, -50}, {-3, -22}, {12, -4}, {25, 8}, {36, 19}, {45, 27}, {52, 35}, {59, 41},
     {65, 47}, {71, 52}, {76, 56}, {80, 61}, {75, 65}, {89, 68}, {93, 71}, {0, 0}},
    // Rook
    {{-20, -49}, {-8, -29}, {-1, -11}, {4, 5}, {9, 22}, {13, 37}, {16, 53}, {19, 67},
     {22, 81}, {24, 95}, {27, 108}, {29, 120}, {31, 132}, {32, 144}, {34, 155}, {36, 167}},
    // Queen
    {{-11, -20}, {-7, 29}, {-4, 67}, {-1, 98}, {1, 124}, {4, 146}, {6, 165}, {9, 183},
     {11, 198}, {13, 212}, {15, 226}, {17, 238}, {19, 249}, {20, 259}, {22, 269}, {24, 279}},
};
// Weight of one piece attacking the enemy king's zone, by piece type.
constexpr int KingAttackWeight[6] = {0, 2, 2, 4, 5, 0};
// A piece standing on a square attacked by an enemy pawn, by piece type.
constexpr ScorePair PawnHarass[6] = {{0, 0}, {63, 77}, {63, 77}, {86, 111}, {97, 131}, {0, 0}};

// Outposts, the same in both phases.
constexpr int KnightOutpostDiagram[8][8] = {
    {11, 11, 11, 11, 11, 11, 11, 11},
    {11, 21, 21, 21, 21, 21, 21, 11},
    {11, 21, 30, 30, 30, 30, 21, 11},
    {11, 21, 30, 37, 37, 30, 21, 11},
    {11, 21, 30, 30, 30, 30, 21, 11},
    {11, 21, 21, 21, 21, 21, 21, 11},
    {11, 11, 11, 11, 11, 11, 11, 11},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
constexpr int BishopOutpostDiagram[8][8] = {
    {8, 8, 8, 8, 8, 8, 8, 8},
    {8, 18, 18, 18, 18, 18, 18, 8},
    {8, 18, 28, 28, 28, 28, 18, 8},
    {8, 18, 28, 38, 38, 28, 18, 8},
    {8, 18, 28, 28, 28, 28, 18, 8},
    {8, 18, 18, 18, 18, 18, 18, 8},
    {8, 8, 8, 8, 8, 8, 8, 8},
    {-2, -2, -2, -2, -2, -2, -2, -2},
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
constexpr int RookPawnCount[17] = {-1,  -2,  -5,  -10, -15, -21, -28, -35, -43,
                                   -52, -61, -71, -81, -92, -103, -114, -127};
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
constexpr ScorePair PassedBonus[8] = {{0, 0},    {22, 21},   {42, 17},   {55, 49},
                                      {100, 99}, {226, 224}, {363, 393}, {0, 0}};
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
