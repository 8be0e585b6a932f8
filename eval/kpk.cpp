// King and pawn against king: a win/draw table built by retrograde analysis
// at start-up, and its probe.
//
// Positions are normalised so that the side with the pawn is White and the
// pawn stands on files a to d; every other KPK position is a mirror image of
// one of these. Index layout (kpkIndex):
//   bits 0-5   square of the king of the side with the pawn ("strong king")
//   bits 6-11  square of the lone king ("weak king")
//   bit 12     1 when the lone king's side is to move
//   bits 13-14 pawn file, 0 = a ... 3 = d
//   bits 15-17 6 - pawn rank index (rank 7 -> 0, rank 2 -> 5)
#include <new>

#include "board/tables.h"
#include "eval/endgame.h"
#include "eval/params.h"

namespace {

constexpr int KpkIndexCount = 196608;  // 6 pawn ranks x 4 files x 2 sides x 64 x 64

// Results of the work records. They are bits so that the results of all the
// successors of a position can be collected with one OR.
constexpr uint8_t ResultInvalid = 0;
constexpr uint8_t ResultUnknown = 1;
constexpr uint8_t ResultDraw = 2;
constexpr uint8_t ResultWin = 4;

struct KpkRecord {
    uint8_t weakToMove;
    uint8_t strongKing;
    uint8_t weakKing;
    uint8_t pawn;
    uint8_t result;
};

int kpkIndex(Square strongKing, Square weakKing, int weakToMove, Square pawn) {
    return strongKing | (weakKing << 6) | (weakToMove << 12) | (fileOf(pawn) << 13) | ((6 - rankOf(pawn)) << 15);
}

Bitboard kingSteps(Square s) { return PseudoAttacks[King][s]; }

// The rules that settle a position without looking at its successors.
uint8_t classify(const KpkRecord& r) {
    const Square sk = r.strongKing, wk = r.weakKing, pawn = r.pawn;
    if (Distance[sk][wk] <= 1 || sk == pawn || wk == pawn) return ResultInvalid;

    if (!r.weakToMove) {
        // The lone king cannot be in check with the pawn's side to move.
        if (PawnAttacks[White][pawn] & squareBB(wk)) return ResultInvalid;
        // The pawn promotes at once and the new queen cannot be taken.
        const Square promotion = pawn + 1;
        if (rankOf(pawn) == 6 && sk != promotion &&
            (Distance[wk][promotion] > 1 || (kingSteps(sk) & squareBB(promotion))))
            return ResultWin;
        return ResultUnknown;
    }

    // The lone king without a free square: stalemate (or, counted the same,
    // mate). A pawn it can take without being recaptured leaves a bare king.
    const Bitboard covered = kingSteps(sk) | PawnAttacks[White][pawn];
    if (!(kingSteps(wk) & ~covered)) return ResultDraw;
    if ((kingSteps(wk) & squareBB(pawn)) && !(kingSteps(sk) & squareBB(pawn))) return ResultDraw;
    return ResultUnknown;
}

// One step of the retrograde analysis: the value of a position from the
// results its successors have so far. Steps into illegal positions reach
// invalid records, which add nothing to the collected bits.
uint8_t rate(const KpkRecord* records, const KpkRecord& r) {
    const Square sk = r.strongKing, wk = r.weakKing, pawn = r.pawn;
    uint8_t seen = 0;

    if (r.weakToMove) {
        // The defender picks a draw when one exists; it loses only when
        // every move is known to lose.
        for (Bitboard b = kingSteps(wk); b;) seen |= records[kpkIndex(sk, popLsb(b), 0, pawn)].result;
        if (seen & ResultDraw) return ResultDraw;
        return (seen & ResultUnknown) ? ResultUnknown : ResultWin;
    }

    for (Bitboard b = kingSteps(sk); b;) seen |= records[kpkIndex(popLsb(b), wk, 1, pawn)].result;
    if (rankOf(pawn) < 6) {
        const Square push = pawn + 1;
        seen |= records[kpkIndex(sk, wk, 1, push)].result;
        if (rankOf(pawn) == 1 && push != sk && push != wk) seen |= records[kpkIndex(sk, wk, 1, push + 1)].result;
    }
    if (seen & ResultWin) return ResultWin;
    return (seen & ResultUnknown) ? ResultUnknown : ResultDraw;
}

}  // namespace

uint32_t KpkBitbase[6144];

void buildKpkBitbase() {
    for (uint32_t& word : KpkBitbase) word = 0;

    // Without the work memory the table stays empty: every KPK position is
    // then scored as a draw, which costs strength but never correctness of
    // the program.
    KpkRecord* records = new (std::nothrow) KpkRecord[KpkIndexCount];
    if (!records) return;

    for (int i = 0; i < KpkIndexCount; i++) {
        KpkRecord& r = records[i];
        r.strongKing = uint8_t(i & 63);
        r.weakKing = uint8_t((i >> 6) & 63);
        r.weakToMove = uint8_t((i >> 12) & 1);
        r.pawn = uint8_t(makeSquare((i >> 13) & 3, 6 - ((i >> 15) & 7)));
        r.result = classify(r);
    }

    // Full passes in index order, each record updated in place, until a pass
    // settles nothing new. What is still unknown then can never be forced
    // into a win and counts as a draw.
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = 0; i < KpkIndexCount; i++) {
            if (records[i].result != ResultUnknown) continue;
            records[i].result = rate(records, records[i]);
            if (records[i].result != ResultUnknown) changed = true;
        }
    }

    for (int i = 0; i < KpkIndexCount; i++)
        if (records[i].result == ResultWin) KpkBitbase[i >> 5] |= uint32_t(1) << (i & 31);
    delete[] records;
}

Score probeKpk(const Position& pos, int strongSide) {
    Square sk = pos.kingSquare[strongSide];
    Square wk = pos.kingSquare[strongSide ^ 1];
    Square pawn = lsb(pos.pieceBB[strongSide][Pawn]);

    // Files e-h mirror onto d-a (file f -> 7 - f), a Black pawn side onto
    // White (rank r -> 7 - r).
    if (fileOf(pawn) >= 4) {
        sk ^= 56;
        wk ^= 56;
        pawn ^= 56;
    }
    if (strongSide == Black) {
        sk ^= 7;
        wk ^= 7;
        pawn ^= 7;
    }
    // A pawn on its first or last rank (only reachable from a hand-made FEN)
    // has no entry; leave such a position to the general evaluation.
    const int rank = rankOf(pawn);
    if (rank < 1 || rank > 6) return ScoreNone;

    const int weakToMove = pos.sideToMove != strongSide;
    const int index = kpkIndex(sk, wk, weakToMove, pawn);
    if (!(KpkBitbase[index >> 5] & (uint32_t(1) << (index & 31)))) return 0;
    const Score win = ScoreKpkWinBase - rank;
    return weakToMove ? -win : win;
}
