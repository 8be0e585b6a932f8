// Board geometry and Zobrist keys. The builders work on the expanded index
// x = file * 16 + rank, in which a step off the board sets one of the bits of
// 0x88 (or makes x negative), so one test catches every edge at once.
#include "board/tables.h"

#include "board/masks.h"

Bitboard FileMask[8];
Bitboard RelativeRankMask[2][8];
Bitboard AdjacentFilesMask[8];
Bitboard ForwardRanksMask[2][8];
Bitboard ForwardFile[2][64];
Bitboard PawnAttackSpan[2][64];
Bitboard PassedPawnMask[2][64];
Bitboard PawnSupportMask[2][64];
Bitboard KingZone[2][64];
Bitboard PawnAttacks[2][64];
Bitboard PawnPushes[2][64];
Bitboard PseudoAttacks[6][64];
Bitboard PseudoAttacksBySquare[64][6];
Bitboard BlockerMask[6][64];
Bitboard Between[64][64];
Bitboard Beyond[64][64];
Bitboard NotBeyond[64][64];
Bitboard RayThrough[64][64];
int32_t Distance[64][64];
Bitboard DistanceRing[64][8];
int32_t CastleMask[64];
int32_t CastleInfo[4][4];

uint64_t ZobristPiece[2][6][64];
uint64_t ZobristCastle[16];
uint64_t ZobristEpTable[65];
uint64_t ZobristSide;

namespace {

// Step offsets in the expanded index: +1 is one rank up, +16 one file right.
// Each list ends with a 0 terminator; pawns have no piece steps.
constexpr int StepDirections[6][9] = {
    {0},
    {-33, -31, -18, -14, 14, 18, 31, 33, 0},
    {-17, -15, 15, 17, 0},
    {-16, -1, 1, 16, 0},
    {-17, -16, -15, -1, 1, 15, 16, 17, 0},
    {-17, -16, -15, -1, 1, 15, 16, 17, 0},
};
constexpr int KingDirections[9] = {-17, -16, -15, -1, 1, 15, 16, 17, 0};
constexpr int PawnCaptureSteps[2][3] = {{-15, 17, 0}, {-17, 15, 0}};

// Home squares of the castling pieces, named for readability.
constexpr Square SqA1 = 0, SqC1 = 16, SqD1 = 24, SqE1 = 32, SqF1 = 40, SqG1 = 48, SqH1 = 56;
constexpr Square SqA8 = 7, SqC8 = 23, SqD8 = 31, SqE8 = 39, SqF8 = 47, SqG8 = 55, SqH8 = 63;

inline int expand(Square s) { return s + (s & 0x38); }
inline bool onBoard(int x) { return (x & ~0x77) == 0; }
inline Square contract(int x) { return (x + (x & 7)) >> 1; }

// Squares one step away from s along each offset of the 0-terminated list.
Bitboard stepTargets(Square s, const int* steps) {
    Bitboard b = 0;
    for (int i = 0; steps[i]; i++) {
        int x = expand(s) + steps[i];
        if (onBoard(x)) b |= squareBB(contract(x));
    }
    return b;
}

// Squares reached by sliding from s along each offset up to the board edge.
Bitboard slideTargets(Square s, const int* steps) {
    Bitboard b = 0;
    for (int i = 0; steps[i]; i++)
        for (int x = expand(s) + steps[i]; onBoard(x); x += steps[i]) b |= squareBB(contract(x));
    return b;
}

// The small fast generator with 64-bit words and rotations 7, 13 and 37. Its
// start state is fixed, so every build draws the same keys.
struct KeyGenerator {
    uint64_t a = 0xdcf39b45a7043596ULL;
    uint64_t b = 0xe946f07130b89ba8ULL;
    uint64_t c = 0x7eaf42b7830cee91ULL;
    uint64_t d = 0x1fda5f6a20c7fe5fULL;

    static uint64_t rot(uint64_t v, int k) { return (v << k) | (v >> (64 - k)); }
    uint64_t draw() {
        uint64_t e = a - rot(b, 7);
        a = b ^ rot(c, 13);
        b = c + rot(d, 37);
        c = d + e;
        d = e + a;
        return d;
    }
};

void initMasks() {
    for (int f = 0; f < 8; f++) FileMask[f] = fileSpan(f, f);
    for (int r = 0; r < 8; r++) {
        RelativeRankMask[White][r] = Rank1Mask << r;
        RelativeRankMask[Black][r] = Rank1Mask << (7 - r);
    }
    for (int f = 0; f < 8; f++) AdjacentFilesMask[f] = (f > 0 ? FileMask[f - 1] : 0) | (f < 7 ? FileMask[f + 1] : 0);
    for (int r = 0; r < 8; r++) {
        ForwardRanksMask[White][r] = ForwardRanksMask[Black][r] = 0;
        for (int ahead = r + 1; ahead < 8; ahead++) {
            ForwardRanksMask[White][r] |= Rank1Mask << ahead;
            ForwardRanksMask[Black][r] |= Rank1Mask << (7 - ahead);
        }
    }
    for (int c = White; c <= Black; c++)
        for (Square s = 0; s < 64; s++) {
            int f = fileOf(s), rr = relativeRank(c, s);
            Bitboard ahead = ForwardRanksMask[c][rr];
            ForwardFile[c][s] = FileMask[f] & ahead;
            PawnAttackSpan[c][s] = AdjacentFilesMask[f] & ahead;
            PassedPawnMask[c][s] = (FileMask[f] | AdjacentFilesMask[f]) & ahead;
            Bitboard ranks = RelativeRankMask[c][rr];
            if (rr > 0) ranks |= RelativeRankMask[c][rr - 1];
            PawnSupportMask[c][s] = AdjacentFilesMask[f] & ranks;
        }
}

void initStepTables() {
    for (Square s = 0; s < 64; s++) {
        for (int t = Knight; t <= King; t++) {
            Bitboard b =
                (t == Knight || t == King) ? stepTargets(s, StepDirections[t]) : slideTargets(s, StepDirections[t]);
            PseudoAttacks[t][s] = PseudoAttacksBySquare[s][t] = b;
        }
        for (int c = White; c <= Black; c++) {
            PawnAttacks[c][s] = stepTargets(s, PawnCaptureSteps[c]);
            int push = pawnPush(c);
            Bitboard pushes = 0;
            int x = expand(s) + push;
            if (onBoard(x)) {
                pushes |= squareBB(contract(x));
                if (relativeRank(c, s) == 1 && onBoard(x + push)) pushes |= squareBB(contract(x + push));
            }
            PawnPushes[c][s] = pushes;
        }
    }
    // The king zone is the ring around the king, widened by one rank towards
    // the enemy while there is room for it.
    for (int c = White; c <= Black; c++)
        for (Square s = 0; s < 64; s++) {
            Bitboard zone = PseudoAttacks[King][s];
            if (relativeRank(c, s) < 6) zone |= c == White ? zone << 1 : zone >> 1;
            KingZone[c][s] = zone & ~squareBB(s);
        }
}

void initLineTables() {
    for (Square i = 0; i < 64; i++)
        for (Square j = 0; j < 64; j++) {
            Between[i][j] = Beyond[i][j] = 0;
            if (i == j) continue;
            for (int k = 0; KingDirections[k]; k++) {
                int d = KingDirections[k];
                Bitboard between = 0;
                int x = expand(i) + d;
                while (onBoard(x) && x != expand(j)) {
                    between |= squareBB(contract(x));
                    x += d;
                }
                if (!onBoard(x)) continue;
                Between[i][j] = between;
                for (x += d; onBoard(x); x += d) Beyond[i][j] |= squareBB(contract(x));
                break;
            }
        }
    for (Square i = 0; i < 64; i++)
        for (Square j = 0; j < 64; j++) {
            RayThrough[i][j] = Between[i][j] | Beyond[i][j];
            NotBeyond[i][j] = ~Beyond[i][j];
        }

    // Every attacked square except the last of each ray: a piece there can
    // hide squares behind it, a piece on the ray's final square cannot.
    for (int t = Bishop; t <= Queen; t++)
        for (Square s = 0; s < 64; s++) {
            Bitboard mask = 0;
            for (Bitboard b = PseudoAttacks[t][s]; b;) {
                Square q = popLsb(b);
                if (Beyond[s][q] & PseudoAttacks[t][s]) mask |= squareBB(q);
            }
            BlockerMask[t][s] = mask;
        }
}

void initDistances() {
    for (Square i = 0; i < 64; i++) {
        for (int d = 0; d < 8; d++) DistanceRing[i][d] = 0;
        for (Square j = 0; j < 64; j++) {
            int df = fileOf(i) - fileOf(j), dr = rankOf(i) - rankOf(j);
            df = df < 0 ? -df : df;
            dr = dr < 0 ? -dr : dr;
            int d = df > dr ? df : dr;
            Distance[i][j] = d;
            if (d > 0) DistanceRing[i][d] |= squareBB(j);
        }
    }
}

void initCastling() {
    for (Square s = 0; s < 64; s++) CastleMask[s] = 0;
    CastleMask[SqE1] = WhiteKingside | WhiteQueenside;
    CastleMask[SqH1] = WhiteKingside;
    CastleMask[SqA1] = WhiteQueenside;
    CastleMask[SqE8] = BlackKingside | BlackQueenside;
    CastleMask[SqH8] = BlackKingside;
    CastleMask[SqA8] = BlackQueenside;

    const int32_t info[4][4] = {
        {SqE1, SqG1, SqH1, SqF1},
        {SqE1, SqC1, SqA1, SqD1},
        {SqE8, SqG8, SqH8, SqF8},
        {SqE8, SqC8, SqA8, SqD8},
    };
    for (int r = 0; r < 4; r++)
        for (int k = 0; k < 4; k++) CastleInfo[r][k] = info[r][k];
}

void initZobrist() {
    KeyGenerator gen;
    for (Square s = 0; s < 64; s++) {
        for (int t = Pawn; t <= King; t++) {
            ZobristPiece[White][t][s] = gen.draw();
            ZobristPiece[Black][t][s] = gen.draw();
        }
        ZobristEpTable[s + 1] = gen.draw();
    }
    ZobristEpTable[0] = 0;
    for (int i = 0; i < 16; i++) ZobristCastle[i] = gen.draw();
    ZobristSide = gen.draw();
}

}  // namespace

void initBoardTables() {
    initMasks();
    initStepTables();
    initLineTables();
    initDistances();
    initCastling();
    initZobrist();
}
