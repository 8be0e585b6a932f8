// Every weight and table of the evaluation, grouped by term so that they can be
// reviewed side by side. Units: a pawn is 200 in the middle game, 257 in the
// end game. Tables indexed by "r" use the rank counted from the owner's side
// (0 = own first rank); square tables are written from White's side with rank
// 8 in the top row, as a chess diagram, and converted to square order here.
#pragma once

#include <array>
#include <cstdint>

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
constexpr int ScaleFactorNormal = 256;

// ---------------------------------------------------------------- pawns
constexpr int PawnValueMg = 200;
constexpr int PawnValueEg = 257;
// Isolated pawn, middle game, [opposed][file].
constexpr int IsolatedPenaltyMg[2][8] = {
    {29, 41, 54, 67, 67, 54, 41, 29},
    {44, 44, 45, 67, 67, 45, 44, 44},
};
constexpr int IsolatedPenaltyEg[2] = {30, 21};  // [opposed]
// Doubled pawn, divided by the rank distance to the own pawn in front.
constexpr int DoubledPenaltyMg = 27;
constexpr int DoubledPenaltyEg = 47;
constexpr int BackwardPenaltyMg[2] = {46, 23};  // [opposed]
constexpr int BackwardPenaltyEg = 29;
// Supported or side-by-side pawn: factor × (r − 1) × (r − 2).
constexpr int ConnectedFactorMg = 8;
constexpr int ConnectedFactorEg = 4;
// A pawn without support whose two capture squares both hold own pawns
// (the apex of an inverted wedge).
constexpr int WedgePenaltyMg = 5;
constexpr int WedgePenaltyEg = 20;
constexpr int CandidateBonusMg[8] = {14, 14, 14, 14, 23, 43, 86, 0};
constexpr int CandidateBonusEg[8] = {14, 14, 14, 14, 29, 71, 157, 0};
constexpr int LeverBonusMg[8] = {0, 0, 0, 0, -3, 94, 0, 0};
constexpr int LeverBonusEg[8] = {0, 0, 0, 0, 83, 128, 0, 0};

// ---------------------------------------------------------------- pieces
// Mobility by safe squares (0..15), rows Knight, Bishop, Rook, Queen.
constexpr int MobilityCap = 15;
constexpr int MobilityMg[4][16] = {
    {-40, -22, -8, 2, 11, 20, 27, 34, 40, 0, 0, 0, 0, 0, 0, 0},
    {-26, -3, 12, 25, 36, 45, 52, 59, 65, 71, 76, 80, 75, 89, 93, 0},
    {-20, -8, -1, 4, 9, 13, 16, 19, 22, 24, 27, 29, 31, 32, 34, 36},
    {-11, -7, -4, -1, 1, 4, 6, 9, 11, 13, 15, 17, 19, 20, 22, 24},
};
constexpr int MobilityEg[4][16] = {
    {-56, -36, -22, -10, -1, 7, 14, 20, 26, 0, 0, 0, 0, 0, 0, 0},
    {-50, -22, -4, 8, 19, 27, 35, 41, 47, 52, 56, 61, 65, 68, 71, 0},
    {-49, -29, -11, 5, 22, 37, 53, 67, 81, 95, 108, 120, 132, 144, 155, 167},
    {-20, 29, 67, 98, 124, 146, 165, 183, 198, 212, 226, 238, 249, 259, 269, 279},
};
// Weight of one piece attacking the enemy king's zone, by piece type.
constexpr int KingAttackWeight[6] = {0, 2, 2, 4, 5, 0};
// A piece standing on a square attacked by an enemy pawn, by piece type.
constexpr int PawnHarassMg[6] = {0, 63, 63, 86, 97, 0};
constexpr int PawnHarassEg[6] = {0, 77, 77, 111, 131, 0};

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

// Bishop: per own pawn on the bishop's colour, and by the number of rams.
constexpr int BishopPawnPenaltyMg = 11;
constexpr int BishopPawnPenaltyEg = 14;
constexpr int BishopRamPenalty[9] = {-15, -4, 4, 12, 19, 26, 33, 39, 45};
// Minor piece without a safe square in the enemy half.
constexpr int MinorPassiveMg = 15;
constexpr int MinorPassiveEg = 10;
// Minor piece all of whose safe squares the enemy attacks and we do not
// double-cover: it may soon be caught.
constexpr int MinorCaughtMg = 20;
constexpr int MinorCaughtEg = 60;

// Rook by the total number of pawns on the board (0..16).
constexpr int RookPawnCount[17] = {-1,  -2,  -5,  -10, -15, -21, -28, -35, -43,
                                   -52, -61, -71, -81, -92, -103, -114, -127};
// Half-open file (no own pawn), counted again when fully open.
constexpr int RookFileMg = 29;
constexpr int RookFileEg = 8;
// Rook on the enemy's half, per enemy pawn on its rank.
constexpr int RookOnPawnsMg = 21;
constexpr int RookOnPawnsEg = 26;
// Rook on the seventh rank confining the enemy king to the eighth.
constexpr int RookSeventhMg = 12;
constexpr int RookSeventhEg = 40;
// Rook shut in by its own king: 8 × safe squares − 90.
constexpr int TrappedRookMaxSquares = 3;
constexpr int TrappedRookBase = 90;
constexpr int TrappedRookPerSquare = 8;

// Queen on the enemy's half, per enemy pawn on its rank (a middle-game
// liability, an end-game asset), and on the seventh against a king on the eighth.
constexpr int QueenOnPawnsMg = -15;
constexpr int QueenOnPawnsEg = 79;
constexpr int QueenSeventhMg = -34;
constexpr int QueenSeventhEg = 30;

// ---------------------------------------------------------------- whole board
// Extra pieces (knights..queens by count) per enemy pawn.
constexpr int ImbalanceMg = 21;
constexpr int ImbalanceEg = 15;
constexpr int BishopPairMg = 94;
constexpr int BishopPairEg = 94;
// Space: weight × minors² × squares / 256, plus a bonus per empty zone square.
constexpr int SpaceWeight = 36;
constexpr int SpaceEmptySquare = 14;
constexpr int TempoMg = 25;
constexpr int TempoEg = 23;
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
constexpr int PassedBonusMg[8] = {0, 22, 42, 55, 100, 226, 363, 0};
constexpr int PassedBonusEg[8] = {0, 21, 17, 49, 99, 224, 393, 0};
// King distances to the square in front, × (r − 1)(r − 2).
constexpr int PassedEnemyKingWeight = 6;
constexpr int PassedOwnKingWeight = 3;
// Free-path bonuses (end game k, middle game c), × (r − 1)(r − 2).
constexpr int PassedPathSafe = 26;
constexpr int PassedStepSafe = 10;
constexpr int PassedPathDefendedEg = 15;
constexpr int PassedPathDefendedMg = 7;
constexpr int PassedStepDefendedEg = 6;
constexpr int PassedStepDefendedMg = 8;
constexpr int ConnectedPasserEg = 16;

// ---------------------------------------------------------------- threats
// By victim class: 0 pawn or king, 1 knight, 2 bishop, 3 rook, 4 queen.
constexpr int MinorThreatMg[5] = {5, 35, 34, 43, 27};
constexpr int MinorThreatEg[5] = {40, 39, 49, 43, 98};
constexpr int MajorThreatMg[5] = {-7, 41, 29, 14, 20};
constexpr int MajorThreatEg[5] = {32, 56, 40, 39, 39};
constexpr int HangingMg = 33;
constexpr int HangingEg = 44;
constexpr int KingThreatMg = 214;
constexpr int KingThreatEg = 67;
constexpr int QueenChaseMg = 40;
constexpr int QueenChaseEg = 20;
