#!/usr/bin/env python3
"""Independent reference model of Ostrevalk's static evaluation.

Written from the evaluation rules alone, without looking at the C++ code, so
that the two can be compared position by position. It is slow and simple on
purpose: sliding attacks walk the board, sets are plain Python integers used as
64-bit bitboards (bit n = square n, squares numbered file * 8 + rank).

Usage as a module:  evaluate(fen) -> (score, terms)
Usage from the shell: evalref.py FEN...  prints the score and a term table.
"""

import collections
import os
import sys

COVERAGE = collections.Counter()


def cov(name):
    COVERAGE[name] += 1

WHITE, BLACK = 0, 1
PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING, NOPIECE = range(7)
FULL = (1 << 64) - 1
SCORE_NONE = 32002


def tdiv(a, b):
    """Integer division truncating toward zero, as the engine's C++ does."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def popcount(b):
    return bin(b).count("1")


def lsb(b):
    return (b & -b).bit_length() - 1


def msb(b):
    return b.bit_length() - 1


def squares(b):
    while b:
        s = lsb(b)
        yield s
        b &= b - 1


def sq(f, r):
    return f * 8 + r


def file_of(s):
    return s >> 3


def rank_of(s):
    return s & 7


def rel_rank(c, s):
    return rank_of(s) if c == WHITE else 7 - rank_of(s)


def bit(s):
    return 1 << s


# ---------------------------------------------------------------- tables
FileMask = [0xFF << (8 * f) for f in range(8)]
RankMask = [0x0101010101010101 << r for r in range(8)]
AdjacentFiles = [(FileMask[f - 1] if f > 0 else 0) | (FileMask[f + 1] if f < 7 else 0) for f in range(8)]


def forward_ranks(c, r):
    """Ranks strictly ahead of relative rank r for colour c."""
    m = 0
    for rr in range(8):
        if c == WHITE and rr > r:
            m |= RankMask[rr]
        if c == BLACK and rr < 7 - r:
            m |= RankMask[rr]
    return m


ForwardRanks = [[forward_ranks(c, r) for r in range(8)] for c in range(2)]
ForwardFile = [[FileMask[file_of(s)] & ForwardRanks[c][rel_rank(c, s)] for s in range(64)] for c in range(2)]
PawnAttackSpan = [[AdjacentFiles[file_of(s)] & ForwardRanks[c][rel_rank(c, s)] for s in range(64)] for c in range(2)]
PassedPawnMask = [[(FileMask[file_of(s)] | AdjacentFiles[file_of(s)]) & ForwardRanks[c][rel_rank(c, s)]
                   for s in range(64)] for c in range(2)]


def _support_mask(c, s):
    r = rank_of(s)
    m = RankMask[r]
    if rel_rank(c, s) > 0:
        m |= RankMask[r - 1 if c == WHITE else r + 1]
    return AdjacentFiles[file_of(s)] & m


PawnSupportMask = [[_support_mask(c, s) for s in range(64)] for c in range(2)]


def _on(f, r):
    return 0 <= f < 8 and 0 <= r < 8


def _steps(s, deltas):
    f, r = file_of(s), rank_of(s)
    m = 0
    for df, dr in deltas:
        if _on(f + df, r + dr):
            m |= bit(sq(f + df, r + dr))
    return m


KnightDeltas = [(1, 2), (2, 1), (-1, 2), (-2, 1), (1, -2), (2, -1), (-1, -2), (-2, -1)]
KingDeltas = [(df, dr) for df in (-1, 0, 1) for dr in (-1, 0, 1) if df or dr]
RookDirs = [(1, 0), (-1, 0), (0, 1), (0, -1)]
BishopDirs = [(1, 1), (1, -1), (-1, 1), (-1, -1)]

KnightAttacks = [_steps(s, KnightDeltas) for s in range(64)]
KingAttacks = [_steps(s, KingDeltas) for s in range(64)]
PawnAttacks = [[_steps(s, [(-1, 1), (1, 1)]) for s in range(64)], [_steps(s, [(-1, -1), (1, -1)]) for s in range(64)]]


def slide(s, occ, dirs):
    f0, r0 = file_of(s), rank_of(s)
    m = 0
    for df, dr in dirs:
        f, r = f0 + df, r0 + dr
        while _on(f, r):
            m |= bit(sq(f, r))
            if occ & bit(sq(f, r)):
                break
            f += df
            r += dr
    return m


def rook_attacks(s, occ):
    return slide(s, occ, RookDirs)


def bishop_attacks(s, occ):
    return slide(s, occ, BishopDirs)


PseudoRook = [rook_attacks(s, 0) for s in range(64)]
PseudoBishop = [bishop_attacks(s, 0) for s in range(64)]


def distance(a, b):
    return max(abs(file_of(a) - file_of(b)), abs(rank_of(a) - rank_of(b)))


def _between(a, b):
    fa, ra, fb, rb = file_of(a), rank_of(a), file_of(b), rank_of(b)
    df, dr = fb - fa, rb - ra
    if a == b or not (df == 0 or dr == 0 or abs(df) == abs(dr)):
        return 0
    sf = (df > 0) - (df < 0)
    sr = (dr > 0) - (dr < 0)
    m = 0
    f, r = fa + sf, ra + sr
    while (f, r) != (fb, rb):
        m |= bit(sq(f, r))
        f += sf
        r += sr
    return m


Between = [[_between(a, b) for b in range(64)] for a in range(64)]


def ray_through(a, b):
    """Squares between a and b plus those beyond b on the same line."""
    fa, ra, fb, rb = file_of(a), rank_of(a), file_of(b), rank_of(b)
    df, dr = fb - fa, rb - ra
    if a == b or not (df == 0 or dr == 0 or abs(df) == abs(dr)):
        return 0
    sf = (df > 0) - (df < 0)
    sr = (dr > 0) - (dr < 0)
    m = Between[a][b]
    f, r = fb + sf, rb + sr
    while _on(f, r):
        m |= bit(sq(f, r))
        f += sf
        r += sr
    return m


DarkSquares = 0
for _s in range(64):
    if (file_of(_s) + rank_of(_s)) % 2 == 0:
        DarkSquares |= bit(_s)

# ---------------------------------------------------------------- parameters
NonPawnValue = [0, 820, 840, 1300, 2521, 0]


def _table(rows):
    """Rows given rank 8 first, files a..h; returns a 64-entry square table."""
    t = [0] * 64
    for i, row in enumerate(rows):
        r = 7 - i
        for f, v in enumerate(row):
            t[sq(f, r)] = v
    return t


PstMg = [
    _table([[-31, -6, 0, 0, 0, 0, -6, -31], [-31, -6, 6, 14, 14, 6, -6, -31], [-31, -6, 11, 14, 14, 11, -6, -31],
            [-31, -6, 20, 40, 40, 20, -6, -31], [-31, -6, 20, 66, 66, 20, -6, -31], [-31, -6, 11, 40, 40, 11, -6, -31],
            [-31, -6, 6, 14, 14, 6, -6, -31], [-31, -6, 0, 0, 0, 0, -6, -31]]),
    _table([[-214, -74, -43, -29, -29, -43, -74, -214], [-60, -29, 0, 14, 14, 0, -29, -60],
            [-14, 14, 46, 57, 57, 46, 14, -14], [-11, 14, 43, 60, 60, 43, 14, -11], [-29, 0, 31, 46, 46, 31, 0, -29],
            [-60, -29, 0, 14, 14, 0, -29, -60], [-103, -74, -43, -29, -29, -43, -74, -103],
            [-151, -120, -89, -74, -74, -89, -120, -151]]),
    _table([[-20, -20, -14, -9, -9, -14, -20, -20], [-20, 0, -6, 0, 0, -6, 0, -20], [-14, -6, 9, 6, 6, 9, -6, -14],
            [-9, 0, 6, 20, 20, 6, 0, -9], [-9, 0, 6, 20, 20, 6, 0, -9], [-14, -6, 9, 6, 6, 9, -6, -14],
            [-20, 0, -6, 0, 0, -6, 0, -20], [-46, -46, -40, -34, -34, -40, -46, -46]]),
    _table([[-17, -9, 0, 9, 9, 0, -9, -17]] * 8),
    _table([[0] * 8] * 5 + [[0, 0, 0, 17, 17, 0, 0, 0], [0] * 8, [-14] * 8]),
    _table([[106, 131, 77, 23, 23, 77, 131, 106], [131, 157, 106, 51, 51, 106, 157, 131],
            [157, 186, 131, 77, 77, 131, 186, 157], [186, 211, 157, 106, 106, 157, 211, 186],
            [211, 240, 186, 131, 131, 186, 240, 211], [240, 266, 211, 157, 157, 211, 266, 240],
            [291, 320, 266, 211, 211, 266, 320, 291], [320, 346, 291, 240, 240, 291, 346, 320]]),
]
PstEg = [
    [0] * 64,
    _table([[-117, -89, -60, -46, -46, -60, -89, -117], [-88, -60, -34, -20, -20, -34, -60, -88],
            [-60, -34, -6, 6, 6, -6, -34, -60], [-46, -20, 6, 20, 20, 6, -20, -46], [-46, -20, 6, 20, 20, 6, -20, -46],
            [-60, -34, -6, 6, 6, -6, -34, -60], [-89, -60, -34, -20, -20, -34, -60, -89],
            [-117, -89, -60, -46, -46, -60, -89, -117]]),
    _table([[-51, -34, -26, -17, -17, -26, -34, -51], [-34, -17, -9, 0, 0, -9, -17, -34], [-26, -9, 0, 9, 9, 0, -9, -26],
            [-17, 0, 9, 17, 17, 9, 0, -17], [-17, 0, 9, 17, 17, 9, 0, -17], [-26, -9, 0, 9, 9, 0, -9, -26],
            [-34, -17, -9, 0, 0, -9, -17, -34], [-51, -34, -26, -17, -17, -26, -34, -51]]),
    [0] * 64,
    _table([[-69, -46, -34, -23, -23, -34, -46, -69], [-46, -23, -11, 0, 0, -11, -23, -46],
            [-34, -11, 0, 11, 11, 0, -11, -34], [-23, 0, 11, 23, 23, 11, 0, -23], [-23, 0, 11, 23, 23, 11, 0, -23],
            [-34, -11, 0, 11, 11, 0, -11, -34], [-46, -23, -11, 0, 0, -11, -23, -46],
            [-69, -46, -34, -23, -23, -34, -46, -69]]),
    _table([[27, 74, 111, 135, 135, 111, 74, 27], [81, 128, 165, 189, 189, 165, 128, 81],
            [108, 155, 192, 216, 216, 192, 155, 108], [116, 163, 200, 224, 224, 200, 163, 116],
            [116, 163, 200, 224, 224, 200, 163, 116], [108, 155, 192, 216, 216, 192, 155, 108],
            [81, 128, 165, 189, 189, 165, 128, 81], [27, 74, 111, 135, 135, 111, 74, 27]]),
]

IsolatedMg = [[29, 41, 54, 67, 67, 54, 41, 29], [44, 44, 45, 67, 67, 45, 44, 44]]
CandidateMg = [14, 14, 14, 14, 23, 43, 86, 0]
CandidateEg = [14, 14, 14, 14, 29, 71, 157, 0]
LeverMg = [0, 0, 0, 0, -3, 94, 0, 0]
LeverEg = [0, 0, 0, 0, 83, 128, 0, 0]

MobilityMg = {
    KNIGHT: [-40, -22, -8, 2, 11, 20, 27, 34, 40, 0, 0, 0, 0, 0, 0, 0],
    BISHOP: [-26, -3, 12, 25, 36, 45, 52, 59, 65, 71, 76, 80, 75, 89, 93, 0],
    ROOK: [-20, -8, -1, 4, 9, 13, 16, 19, 22, 24, 27, 29, 31, 32, 34, 36],
    QUEEN: [-11, -7, -4, -1, 1, 4, 6, 9, 11, 13, 15, 17, 19, 20, 22, 24],
}
MobilityEg = {
    KNIGHT: [-56, -36, -22, -10, -1, 7, 14, 20, 26, 0, 0, 0, 0, 0, 0, 0],
    BISHOP: [-50, -22, -4, 8, 19, 27, 35, 41, 47, 52, 56, 61, 65, 68, 71, 0],
    ROOK: [-49, -29, -11, 5, 22, 37, 53, 67, 81, 95, 108, 120, 132, 144, 155, 167],
    QUEEN: [-20, 29, 67, 98, 124, 146, 165, 183, 198, 212, 226, 238, 249, 259, 269, 279],
}


def _outpost(kind):
    rows = []
    for i in range(8):
        r = 7 - i
        row = []
        for f in range(8):
            if r == 0:
                v = (0, -2)
            elif r == 1 or r == 7 or f in (0, 7):
                v = (11, 8)
            elif r in (2, 6) or f in (1, 6):
                v = (21, 18)
            elif r == 4 and f in (3, 4):
                v = (37, 38)
            else:
                v = (30, 28)
            row.append(v[kind])
        rows.append(row)
    return _table(rows)


Outpost = {KNIGHT: _outpost(0), BISHOP: _outpost(1)}
BishopRamPenalty = [-15, -4, 4, 12, 19, 26, 33, 39, 45]
RookPawnCount = [-1, -2, -5, -10, -15, -21, -28, -35, -43, -52, -61, -71, -81, -92, -103, -114, -127]
HarassMg = {KNIGHT: 63, BISHOP: 63, ROOK: 86, QUEEN: 97}
HarassEg = {KNIGHT: 77, BISHOP: 77, ROOK: 111, QUEEN: 131}
AttackWeight = {KNIGHT: 2, BISHOP: 2, ROOK: 4, QUEEN: 5}

ShelterPenalty = [[87, -9, 32, 47, 67, 43, 13, 83], [75, -2, -7, 70, 69, 80, 78, 83]]
StormPenalty = [[7, -3, -1, -7, 34, 119, -12, 0], [10, 8, 9, 23, 44, 149, -3, 0]]
KingSafeFactor = [429, 336, 300, 272, 249, 229, 210, 194, 178]


def _king_danger():
    t = []
    prev = 0
    for i in range(100):
        bound = 33 if i == 0 else prev + 33
        v = min(int(float(i * i) * 0.425), bound, 1300)
        t.append(v)
        prev = v
    return t


KingDanger = _king_danger()

PassedBonusMg = [0, 22, 42, 55, 100, 226, 363, 0]
PassedBonusEg = [0, 21, 17, 49, 99, 224, 393, 0]
MinorThreatMg = [5, 35, 34, 43, 27]
MinorThreatEg = [40, 39, 49, 43, 98]
MajorThreatMg = [-7, 41, 29, 14, 20]
MajorThreatEg = [32, 56, 40, 39, 39]

CornerBonus = [0, 140, 120, 100, 80, 60, 40, 20]
PawnCountScale = [0, 60, 80]
EdgeSquares = FileMask[0] | FileMask[7] | RankMask[0] | RankMask[7]

# Ranks 2 to 4 (White) and 5 to 7 (Black) of files c to f.
CenterFiles = FileMask[2] | FileMask[3] | FileMask[4] | FileMask[5]
SpaceZone = [CenterFiles & (RankMask[1] | RankMask[2] | RankMask[3]),
             CenterFiles & (RankMask[6] | RankMask[5] | RankMask[4])]


# ---------------------------------------------------------------- position
class Pos:
    pass


def parse_fen(fen):
    p = Pos()
    p.pieces = [[0] * 6 for _ in range(2)]
    p.board = [NOPIECE] * 64
    p.color_of = [None] * 64
    fields = fen.split()
    idx = 0
    letters = "PpNnBbRrQqKk"
    for ch in fields[0]:
        if ch == '/':
            continue
        if ch.isdigit():
            idx += int(ch)
            continue
        i = letters.index(ch)
        t, c = i >> 1, i & 1
        r = 7 - (idx >> 3)
        f = idx & 7
        s = sq(f, r)
        p.pieces[c][t] |= bit(s)
        p.board[s] = t
        p.color_of[s] = c
        idx += 1
    p.stm = BLACK if len(fields) > 1 and fields[1] != 'w' else WHITE
    p.castle = 0
    if len(fields) > 2:
        info = {'K': (WHITE, sq(4, 0), sq(7, 0), 1), 'Q': (WHITE, sq(4, 0), sq(0, 0), 2),
                'k': (BLACK, sq(4, 7), sq(7, 7), 4), 'q': (BLACK, sq(4, 7), sq(0, 7), 8)}
        for ch in fields[2]:
            if ch in info:
                c, k, rk, b = info[ch]
                if p.pieces[c][KING] & bit(k) and p.pieces[c][ROOK] & bit(rk):
                    p.castle |= b
    p.color = [0, 0]
    for c in range(2):
        for t in range(6):
            p.color[c] |= p.pieces[c][t]
    p.occ = p.color[0] | p.color[1]
    p.ksq = [lsb(p.pieces[c][KING]) for c in range(2)]
    p.npm = [sum(NonPawnValue[t] * popcount(p.pieces[c][t]) for t in range(6)) for c in range(2)]
    p.count = [[popcount(p.pieces[c][t]) for t in range(6)] for c in range(2)]
    p.pstA = [0, 0]
    p.pstB = [0, 0]
    for c in range(2):
        for t in range(6):
            for s in squares(p.pieces[c][t]):
                p.pstA[c] += PstMg[t][s if c == WHITE else 63 - s]
                p.pstB[c] += PstEg[t][s]
    return p


def slider_blockers(p, q, c):
    """Pieces of either colour that alone block a line from a slider of c to q."""
    res = 0
    cand = ((p.pieces[c][BISHOP] | p.pieces[c][QUEEN]) & PseudoBishop[q]) | \
           ((p.pieces[c][ROOK] | p.pieces[c][QUEEN]) & PseudoRook[q])
    for s in squares(cand):
        b = Between[s][q] & p.occ
        if b and not (b & (b - 1)):
            res |= b
    return res


# ---------------------------------------------------------------- attack info
class AttackInfo:
    pass


def build_attack_info(p):
    ai = AttackInfo()
    ai.piece_attacks = {}
    ai.by = [0, 0]
    ai.twice = [0, 0]
    ai.by_type = [[0] * 6 for _ in range(2)]
    for c in range(2):
        pa = 0
        for s in squares(p.pieces[c][PAWN]):
            pa |= PawnAttacks[c][s]
        ai.by[c] = pa
        ai.by_type[c][PAWN] = pa
        for t in (KNIGHT, BISHOP, ROOK, QUEEN, KING):
            for s in squares(p.pieces[c][t]):
                if t == KNIGHT:
                    a = KnightAttacks[s]
                elif t == BISHOP:
                    a = bishop_attacks(s, p.occ & ~p.pieces[c][QUEEN])
                elif t == ROOK:
                    a = rook_attacks(s, p.occ & ~p.pieces[c][QUEEN] & ~p.pieces[c][ROOK])
                elif t == QUEEN:
                    a = rook_attacks(s, p.occ) | bishop_attacks(s, p.occ)
                else:
                    a = KingAttacks[s]
                ai.piece_attacks[s] = a
                ai.by_type[c][t] |= a
                ai.twice[c] |= a & ai.by[c]
                ai.by[c] |= a
    ai.king_safe = [KingAttacks[p.ksq[c]] & ~ai.by[c ^ 1] & ~p.color[c] for c in range(2)]
    ai.pinned = (slider_blockers(p, p.ksq[WHITE], BLACK) & p.color[WHITE]) | \
                (slider_blockers(p, p.ksq[BLACK], WHITE) & p.color[BLACK])
    return ai


# ---------------------------------------------------------------- pawns
# Reading of "both pawn targets hold own pawns" for a pawn on the a- or h-file,
# which has a single target: "count2" demands two own pawns (never true on the
# edge), "all" demands that every target holds one.
BOTH_TARGETS = os.environ.get("EVALREF_BOTH_TARGETS", "count2")


def evaluate_pawns(p, c, T):
    them = c ^ 1
    own = p.pieces[c][PAWN]
    enemy = p.pieces[them][PAWN]
    allp = own | enemy
    passed = 0
    mg = eg = 0
    push = 1 if c == WHITE else -1
    for s in squares(own):
        f = file_of(s)
        r = rel_rank(c, s)
        mg += 200
        eg += 257
        doubled = own & ForwardFile[c][s]
        opposed = enemy & ForwardFile[c][s]
        blockers = enemy & PassedPawnMask[c][s]
        neighbours = own & AdjacentFiles[f]
        supporters = own & PawnSupportMask[c][s]
        lever = enemy & PawnAttacks[c][s]
        if not blockers and not doubled:
            passed |= bit(s)
        backward = False
        if blockers and neighbours and not supporters and not (own & PawnAttackSpan[them][s]) and not lever:
            x = allp & PawnAttackSpan[c][s]
            if x:
                pick = lsb(x) if c == WHITE else msb(x)
                rr = rank_of(pick)
                ranks = RankMask[rr]
                if 0 <= rr + push <= 7:
                    ranks |= RankMask[rr + push]
                if enemy & PawnAttackSpan[c][s] & ranks:
                    backward = True
                    cov('pawn.backward')
        candidate = False
        if blockers and neighbours and not backward and not opposed:
            ahead = s + push
            backers = own & PawnAttackSpan[them][ahead]
            sentries = enemy & PawnAttackSpan[c][s]
            if backers and popcount(backers) >= popcount(sentries):
                candidate = True
                cov('pawn.candidate.r%d' % r)
        if not neighbours:
            cov('pawn.isolated.opp%d' % bool(opposed))
            mg -= IsolatedMg[1 if opposed else 0][f]
            eg -= 21 if opposed else 30
        if doubled:
            nearest = lsb(doubled) if c == WHITE else msb(doubled)
            d = abs(rank_of(nearest) - rank_of(s))
            cov('pawn.doubled.d%d' % min(d, 4))
            mg += tdiv(-27, d)
            eg += tdiv(-47, d)
        if backward:
            mg -= 23 if opposed else 46
            eg -= 29
        if supporters:
            mg += 8 * (r - 1) * (r - 2)
            eg += 4 * (r - 1) * (r - 2)
        else:
            targets = PawnAttacks[c][s]
            if BOTH_TARGETS == "count2":
                both = popcount(targets & own) == 2
            else:
                both = (targets & own) == targets
            if both:
                cov('pawn.wedge')
                mg -= 5
                eg -= 20
        if candidate:
            mg += CandidateMg[r]
            eg += CandidateEg[r]
        if lever:
            cov('pawn.lever.r%d' % r)
            mg += LeverMg[r]
            eg += LeverEg[r]
    return mg, eg, passed


# ---------------------------------------------------------------- passed pawns
def evaluate_passed(p, ai, c, passed):
    them = c ^ 1
    mg = eg = 0
    push = 1 if c == WHITE else -1
    for s in squares(passed):
        r = rel_rank(c, s)
        F = s + push
        m = PassedBonusMg[r]
        e = PassedBonusEg[r]
        w = (r - 1) * (r - 2)
        if w > 0:
            e += w * (6 * distance(F, p.ksq[them]) - 3 * distance(F, p.ksq[c]))
            if r != 6:
                e -= w * distance(F, p.ksq[c])
            if not (p.occ & bit(F)):
                path = ForwardFile[c][s]
                behind = ForwardFile[them][s]
                ra = rook_attacks(s, p.occ)
                if behind & (p.pieces[them][ROOK] | p.pieces[them][QUEEN]) & ra:
                    cov('passed.xray.enemy')
                    unsafe = path
                else:
                    unsafe = path & (p.color[them] | ai.by[them])
                if behind & (p.pieces[c][ROOK] | p.pieces[c][QUEEN]) & ra:
                    cov('passed.xray.own')
                    defended = path
                else:
                    defended = path & ai.by[c]
                if not unsafe:
                    k = 26
                elif not (unsafe & bit(F)):
                    k = 10
                else:
                    k = 0
                if defended == path:
                    k += 15
                    cc = 7
                elif defended & bit(F):
                    k += 6
                    cc = 8
                else:
                    cc = 0
                cov('passed.k%d.c%d' % (k, cc))
                m += cc * w
                e += k * w
        if passed & ~bit(s) & AdjacentFiles[file_of(s)]:
            cov('passed.connected')
            e += 16 * (r - 1)
        mg += m
        eg += e
    return mg, eg


# ---------------------------------------------------------------- pieces
def attack_zone(p, attacker):
    defender = attacker ^ 1
    k = p.ksq[defender]
    f = min(max(file_of(k), 1), 6)
    files = FileMask[f - 1] | FileMask[f] | FileMask[f + 1]
    if attacker == WHITE:
        ranks = RankMask[4] | RankMask[5] | RankMask[6] | RankMask[7]
    else:
        ranks = RankMask[0] | RankMask[1] | RankMask[2] | RankMask[3]
    zone = files & ranks
    for s in squares(p.pieces[defender][PAWN] & zone):
        zone &= ~ForwardFile[defender][s]
    return zone


def evaluate_pieces(p, ai, c, pawn_rams):
    them = c ^ 1
    mg = eg = 0
    weight = count = adjacent = 0
    zone = attack_zone(p, c)
    count += popcount(zone & ai.by_type[c][PAWN])
    own_pawns = p.pieces[c][PAWN]
    enemy_pawns = p.pieces[them][PAWN]
    mob_area = FULL & ~ai.by_type[them][PAWN] & ~own_pawns
    enemy_half = (RankMask[4] | RankMask[5] | RankMask[6] | RankMask[7]) if c == WHITE else \
        (RankMask[0] | RankMask[1] | RankMask[2] | RankMask[3])
    total_pawns = popcount(own_pawns | enemy_pawns)
    for t in (KNIGHT, BISHOP, ROOK, QUEEN):
        for s in squares(p.pieces[c][t]):
            a = ai.piece_attacks[s]
            if ai.pinned & bit(s):
                cov('piece.pinned.%d' % t)
                a &= ray_through(s, p.ksq[c])
            safe = a & mob_area & (~ai.twice[them] | ai.twice[c])
            n = min(popcount(safe), 15)
            cov('mob.%d.%d' % (t, n))
            mg += MobilityMg[t][n]
            eg += MobilityEg[t][n]
            if a & zone:
                count += 1
                weight += AttackWeight[t]
                adjacent += popcount(a & KingAttacks[p.ksq[them]])
            if ai.by_type[them][PAWN] & bit(s):
                cov('piece.harass.%d' % t)
                mg -= HarassMg[t]
                eg -= HarassEg[t]
            if t in (KNIGHT, BISHOP):
                if not (enemy_pawns & PawnAttackSpan[c][s]):
                    b = Outpost[t][s if c == WHITE else 63 - s]
                    if b != 0 and ai.by_type[c][PAWN] & bit(s):
                        cov('piece.outpost.defended.%d' % b)
                        b += tdiv(b, 2)
                    mg += b
                    eg += b
                if t == BISHOP:
                    colour_sq = DarkSquares if DarkSquares & bit(s) else ~DarkSquares & FULL
                    k = popcount(own_pawns & colour_sq)
                    mg -= 11 * k + BishopRamPenalty[pawn_rams]
                    eg -= 14 * k + BishopRamPenalty[pawn_rams]
                if not (safe & enemy_half):
                    cov('piece.passive')
                    mg -= 15
                    eg -= 10
                if not (safe & ~ai.by[them]) and not (safe & ai.twice[c]):
                    cov('piece.caught.%s' % ('empty' if not safe else 'nonempty'))
                    mg -= 20
                    eg -= 60
            elif t == ROOK:
                mg += RookPawnCount[total_pawns]
                ff = FileMask[file_of(s)]
                if not (own_pawns & ff):
                    mg += 29
                    eg += 8
                    if not (enemy_pawns & ff):
                        mg += 29
                        eg += 8
                rr = rel_rank(c, s)
                if rr >= 4:
                    pc = popcount(enemy_pawns & RankMask[rank_of(s)])
                    mg += 21 * pc
                    eg += 26 * pc
                    if rr == 6 and rel_rank(c, p.ksq[them]) == 7:
                        cov('rook.seventh')
                        mg += 12
                        eg += 40
                k = p.ksq[c]
                if n <= 3 and (own_pawns & ff) and (rank_of(k) == rank_of(s) or rel_rank(c, k) == 0):
                    kf, rf = file_of(k), file_of(s)
                    if (kf <= 3 and rf < kf) or (kf >= 4 and rf >= kf):
                        cov('rook.trapped.%d' % n)
                        mg += 8 * n - 90
            else:
                rr = rel_rank(c, s)
                if rr >= 4:
                    pc = popcount(enemy_pawns & RankMask[rank_of(s)])
                    mg -= 15 * pc
                    eg += 79 * pc
                    if rr == 6 and rel_rank(c, p.ksq[them]) == 7:
                        cov('queen.seventh')
                        mg -= 34
                        eg += 30
    return mg, eg, (weight, count, adjacent)


# ---------------------------------------------------------------- king safety
def king_shelter(p, c, k):
    them = c ^ 1
    f = min(max(file_of(k), 1), 6)
    kr = rank_of(k)
    region = 0
    for r in range(8):
        if (c == WHITE and r >= kr) or (c == BLACK and r <= kr):
            region |= RankMask[r]
    own = p.pieces[c][PAWN]
    enemy = p.pieces[them][PAWN]
    score = 266
    for ff in (f - 1, f, f + 1):
        o = own & region & FileMask[ff]
        if o:
            s = lsb(o) if c == WHITE else msb(o)
            r = rel_rank(c, s)
            behind_rank = rank_of(s) - 1 if c == WHITE else rank_of(s) + 1
            defended = 0 <= behind_rank <= 7 and bool(own & AdjacentFiles[ff] & RankMask[behind_rank])
        else:
            r = 0
            defended = False
        e = enemy & region & FileMask[ff]
        if e:
            s = lsb(e) if c == WHITE else msb(e)
            t = 7 - rank_of(s) if c == WHITE else rank_of(s)
            behind_rank = rank_of(s) + 1 if c == WHITE else rank_of(s) - 1
            supported = 0 <= behind_rank <= 7 and bool(enemy & AdjacentFiles[ff] & RankMask[behind_rank])
        else:
            t = 0
            supported = False
        score -= ShelterPenalty[int(defended)][r] + StormPenalty[int(supported)][t]
    return score


def evaluate_king_safety(p, ai, c, tally):
    them = c ^ 1
    k = p.ksq[c]
    S = king_shelter(p, c, k)
    if c == WHITE:
        if p.castle & 1:
            S = max(S, king_shelter(p, c, sq(6, 0)))
        if p.castle & 2:
            S = max(S, king_shelter(p, c, sq(2, 0)))
    else:
        if p.castle & 4:
            S = max(S, king_shelter(p, c, sq(6, 7)))
        if p.castle & 8:
            S = max(S, king_shelter(p, c, sq(2, 7)))
    mg = S
    weight, count, adjacent = tally
    if S != king_shelter(p, c, k):
        cov('king.shelter.castle')
    if count == 0:
        return mg, S, None
    danger = tdiv(weight * count, 3) + 3 * adjacent - tdiv(S, 32)
    W = KingAttacks[k] & ~p.color[them] & ~ai.twice[c]
    danger += 15 * popcount(W & ai.by_type[them][QUEEN] & ai.twice[them])
    danger += 13 * popcount(W & ai.by_type[them][ROOK] & (RankMask[rank_of(k)] | FileMask[file_of(k)]) & ai.twice[them])
    safe = FULL & ~ai.by[c] & ~p.color[them]
    R = rook_attacks(k, p.occ) & safe
    B = bishop_attacks(k, p.occ) & safe
    N = KnightAttacks[k] & safe
    danger += 9 * popcount((R | B) & ai.by_type[them][QUEEN]) + 13 * popcount(R & ai.by_type[them][ROOK]) + \
        2 * popcount(B & ai.by_type[them][BISHOP]) + 3 * popcount(N & ai.by_type[them][KNIGHT])
    danger = tdiv(danger * KingSafeFactor[popcount(ai.king_safe[c])], 256)
    cov('king.danger.%s' % ('neg' if danger < 0 else 'big' if danger > 99 else 'mid'))
    danger = min(max(danger, 0), 99)
    mg -= KingDanger[danger]
    return mg, S, danger


# ---------------------------------------------------------------- threats
def evaluate_threats(p, ai, c):
    them = c ^ 1
    mg = eg = 0
    weak = p.color[them] & ~ai.by_type[them][PAWN] & ai.by[c]
    if not weak:
        return 0, 0
    if weak & p.pieces[them][QUEEN]:
        v = 4
    elif weak & p.pieces[them][ROOK]:
        v = 3
    elif weak & p.pieces[them][KNIGHT]:
        v = 1
    elif weak & p.pieces[them][BISHOP]:
        v = 2
    else:
        v = 0
    cov('threat.v%d' % v)
    if (ai.by_type[c][PAWN] | ai.by_type[c][KNIGHT] | ai.by_type[c][BISHOP]) & weak:
        mg += MinorThreatMg[v]
        eg += MinorThreatEg[v]
    if (ai.by_type[c][ROOK] | ai.by_type[c][QUEEN]) & weak:
        mg += MajorThreatMg[v]
        eg += MajorThreatEg[v]
    n = popcount(weak & ~ai.by[them])
    mg += 33 * n
    eg += 44 * n
    if n:
        cov('threat.hanging')
    if ai.by_type[c][KING] & weak & p.pieces[them][PAWN]:
        cov('threat.king')
        mg += 214
        eg += 67
    if p.count[them][QUEEN] == 1:
        q = lsb(p.pieces[them][QUEEN])
        S = ((RankMask[rank_of(q)] | FileMask[file_of(q)]) & ai.by_type[c][ROOK]) | \
            (PseudoBishop[q] & ai.by_type[c][BISHOP])
        S &= ai.piece_attacks[q] & ~ai.by_type[them][PAWN] & ai.by[c]
        if S:
            cov('threat.queenchase')
        mg += 40 * popcount(S)
        eg += 20 * popcount(S)
    return mg, eg


# ---------------------------------------------------------------- space
def evaluate_space(p, ai, c):
    them = c ^ 1
    M = sum(p.count[x][KNIGHT] + p.count[x][BISHOP] for x in range(2))
    own_pawns = p.pieces[c][PAWN]
    zone = SpaceZone[c]
    S = zone & ~ai.by_type[them][PAWN] & ~own_pawns & ((FULL & ~ai.by[them]) | ai.by[c])
    behind = 0
    for s in squares(own_pawns):
        f, r = file_of(s), rank_of(s)
        for d in (1, 2, 3):
            rr = r - d if c == WHITE else r + d
            if 0 <= rr <= 7:
                behind |= bit(sq(f, rr))
    B = S & behind
    far = CenterFiles & ((RankMask[4] | RankMask[5] | RankMask[6]) if c == WHITE else
                         (RankMask[3] | RankMask[2] | RankMask[1]))
    F = far & ai.by[c] & ~ai.by[them] & ~own_pawns
    cov('space')
    mg = tdiv(M * M * (popcount(S) + popcount(B) + popcount(F) // 2) * 36, 256)
    mg += 14 * popcount(zone & ~p.occ)
    return mg


# ---------------------------------------------------------------- endgames
_KPK = None


def kpk_index(sk, wk, weak_to_move, psq):
    return sk | (wk << 6) | (weak_to_move << 12) | (file_of(psq) << 13) | ((6 - rank_of(psq)) << 15)


def build_kpk():
    INVALID, UNKNOWN, DRAW, WIN = 0, 1, 2, 4
    N = 196608
    res = bytearray(N)
    for i in range(N):
        sk = i & 63
        wk = (i >> 6) & 63
        stm_weak = (i >> 12) & 1
        pf = (i >> 13) & 3
        pr = 6 - (i >> 15)
        psq = sq(pf, pr)
        if distance(sk, wk) <= 1 or sk == psq or wk == psq:
            res[i] = INVALID
            continue
        if not stm_weak:
            if PawnAttacks[WHITE][psq] & bit(wk):
                res[i] = INVALID
                continue
            promo = psq + 1
            if pr == 6 and sk != promo and (distance(wk, promo) > 1 or distance(sk, promo) == 1):
                res[i] = WIN
            else:
                res[i] = UNKNOWN
        else:
            attacked = PawnAttacks[WHITE][psq] | KingAttacks[sk]
            if not (KingAttacks[wk] & ~attacked) or \
                    (distance(wk, psq) == 1 and distance(sk, psq) != 1):
                res[i] = DRAW
            else:
                res[i] = UNKNOWN
    unknown = [i for i in range(N) if res[i] == UNKNOWN]
    king_steps = [list(squares(KingAttacks[s])) for s in range(64)]
    while True:
        changed = False
        still = []
        for i in unknown:
            sk = i & 63
            wk = (i >> 6) & 63
            base = i & ~0xFFF & ~(1 << 12)
            if (i >> 12) & 1:
                # weak side to move: successors with strong side to move
                any_unknown = False
                draw = False
                for w2 in king_steps[wk]:
                    v = res[base | sk | (w2 << 6)]
                    if v == DRAW:
                        draw = True
                        break
                    if v == UNKNOWN:
                        any_unknown = True
                if draw:
                    res[i] = DRAW
                elif any_unknown:
                    still.append(i)
                    continue
                else:
                    res[i] = WIN
                changed = True
            else:
                pf = (i >> 13) & 3
                pr = 6 - (i >> 15)
                psq = sq(pf, pr)
                succ = [base | (1 << 12) | s2 | (wk << 6) for s2 in king_steps[sk]]
                if pr < 6:
                    succ.append(kpk_index(sk, wk, 1, psq + 1))
                    if pr == 1 and sk != psq + 1 and wk != psq + 1:
                        succ.append(kpk_index(sk, wk, 1, psq + 2))
                any_unknown = False
                win = False
                for j in succ:
                    v = res[j]
                    if v == WIN:
                        win = True
                        break
                    if v == UNKNOWN:
                        any_unknown = True
                if win:
                    res[i] = WIN
                elif any_unknown:
                    still.append(i)
                    continue
                else:
                    res[i] = DRAW
                changed = True
        unknown = still
        if not changed:
            break
    return bytes(1 if v == WIN else 0 for v in res)


def kpk_table():
    global _KPK
    if _KPK is None:
        cache = os.path.join(os.environ.get("TMPDIR", "/tmp"), "evalref_kpk.bin")
        if os.path.exists(cache) and os.path.getsize(cache) == 196608:
            with open(cache, "rb") as fh:
                _KPK = fh.read()
        else:
            _KPK = build_kpk()
            with open(cache, "wb") as fh:
                fh.write(_KPK)
    return _KPK


def probe_kpk(p, strong):
    weak = strong ^ 1
    sk, wk = p.ksq[strong], p.ksq[weak]
    psq = lsb(p.pieces[strong][PAWN])

    def mirror_file(s):
        return sq(7 - file_of(s), rank_of(s))

    def mirror_rank(s):
        return sq(file_of(s), 7 - rank_of(s))

    if file_of(psq) >= 4:
        sk, wk, psq = mirror_file(sk), mirror_file(wk), mirror_file(psq)
    if strong == BLACK:
        sk, wk, psq = mirror_rank(sk), mirror_rank(wk), mirror_rank(psq)
    weak_to_move = 1 if p.stm == weak else 0
    idx = kpk_index(sk, wk, weak_to_move, psq)
    if kpk_table()[idx]:
        v = 10931 - rank_of(psq)
        return v if p.stm == strong else -v
    return 0


def knight_rook_pawn(p, strong):
    weak = strong ^ 1
    P = lsb(p.pieces[strong][PAWN])
    f = file_of(P)
    rr = rel_rank(strong, P)
    push = 1 if strong == WHITE else -1
    eighth = RankMask[7 if strong == WHITE else 0]
    seventh = RankMask[6 if strong == WHITE else 1]
    sk, wk = p.ksq[strong], p.ksq[weak]
    if rr == 6 and f in (0, 7):
        Q = sq(f, 7 if strong == WHITE else 0)
        if distance(wk, P) == 1 and (bit(wk) & (seventh | eighth)):
            cov('knp.a')
            return 0
        if sk == Q and (eighth & KingAttacks[sk] & KingAttacks[wk]):
            cov('knp.b')
            return 0
        return SCORE_NONE
    if rr == 5 and f in (0, 7):
        Bq = P + push
        if p.pieces[weak][PAWN] & bit(Bq):
            if distance(wk, Bq) == 1 and (bit(wk) & eighth):
                cov('knp.c')
                return 0
            if (eighth & KingAttacks[Bq] & KingAttacks[wk]) and \
                    not any(KnightAttacks[n] & bit(Bq) for n in squares(p.pieces[strong][KNIGHT])) and \
                    p.stm == strong:
                cov('knp.d')
                return 0
        return SCORE_NONE
    return SCORE_NONE


def special_endgame(p, sf):
    """Returns (score or SCORE_NONE, scale factor slot)."""
    Mw = 200 * p.count[WHITE][PAWN] + p.npm[WHITE]
    Mb = 200 * p.count[BLACK][PAWN] + p.npm[BLACK]
    strong = WHITE if Mw > Mb else BLACK
    weak = strong ^ 1
    sp, wp = p.count[strong][PAWN], p.count[weak][PAWN]
    sn, wn = p.npm[strong], p.npm[weak]
    weak_bare = wp == 0 and wn == 0
    if sp == 1 and sn == 0 and weak_bare:
        v = probe_kpk(p, strong)
        cov('eg.kpk.%s' % ('win' if v else 'draw'))
        return v, sf
    if sn == 1300 and wn == 1300:
        if wp == 0 or sp + wp > 6:
            return SCORE_NONE, sf
        t = sp + wp
        d = sp - wp
        sf = tdiv(sf * t, 6) + tdiv(sf * d, 2)
        cov('eg.rook.t%d.d%d' % (t, d))
        return SCORE_NONE, sf
    if sp == 1:
        if sn == 840 and weak_bare:
            P = lsb(p.pieces[strong][PAWN])
            Q = sq(file_of(P), 7 if strong == WHITE else 0)
            b = lsb(p.pieces[strong][BISHOP])
            same = bool(DarkSquares & bit(b)) == bool(DarkSquares & bit(Q))
            if file_of(P) in (0, 7) and not same and distance(p.ksq[weak], Q) <= 1:
                cov('eg.kbpk.draw')
                return 0, sf
            return SCORE_NONE, sf
        if sn == 1680 and weak_bare:
            wk = p.ksq[weak]
            dc = min(distance(wk, c) for c in (sq(0, 0), sq(7, 0), sq(0, 7), sq(7, 7)))
            v = CornerBonus[dc] + CornerBonus[distance(wk, p.ksq[strong])]
            cov('eg.kbbpk')
            return (10667 + v if p.stm == strong else -10667 - v), sf
        if sn == 820 and wn == 0 and wp <= 1:
            v = knight_rook_pawn(p, strong)
            cov('eg.knp.%s' % ('none' if v == SCORE_NONE else 'draw'))
            return v, sf
        return SCORE_NONE, sf
    if sp == 0:
        if sn == 2521 and wp >= 1 and wn == 1300:
            wk = p.ksq[weak]
            for s in squares(p.pieces[weak][PAWN]):
                f = file_of(s)
                if distance(wk, s) == 1 and (rel_rank(weak, s) == 1 or f in (1, 6)) and f not in (0, 7):
                    cov('eg.kqkrp.draw')
                    return 0, sf
            return SCORE_NONE, sf
        if sn == 1640:
            if weak_bare:
                cov('eg.knnk')
                return 0, sf
            if wp == 1 and wn == 0:
                cov('eg.knnkp')
                return SCORE_NONE, tdiv(sf, 8)
            return SCORE_NONE, sf
        if sn == 1660 and weak_bare:
            b = lsb(p.pieces[strong][BISHOP])
            corners = (sq(0, 0), sq(7, 7)) if DarkSquares & bit(b) else (sq(0, 7), sq(7, 0))
            wk = p.ksq[weak]
            cov('eg.kbnk')
            v = CornerBonus[min(distance(wk, c) for c in corners)] + tdiv(CornerBonus[distance(wk, p.ksq[strong])], 2)
            return (10667 + v if p.stm == strong else -10667 - v), sf
        return SCORE_NONE, sf
    return SCORE_NONE, sf


def endgame_scale_factor(p, strong):
    weak = strong ^ 1
    s = 256
    Sn, Wn = p.npm[strong], p.npm[weak]
    pc = p.count[strong][PAWN]
    if pc == 0:
        if Sn - Wn > 840:
            pass
        elif Sn < 1300 or Sn == Wn:
            cov('sf.p0.zero')
            return 0
        elif not (EdgeSquares & bit(p.ksq[weak])):
            nb = p.count[strong][BISHOP]
            s = 16 if nb == 0 else (32 if nb == 1 else 128)
            cov('sf.p0.%d' % s)
    elif pc <= 2:
        if Sn - Wn >= 840:
            pass
        elif Sn < 1300 or Sn == Wn:
            s = tdiv(PawnCountScale[pc] * 256, 100)
            cov('sf.p%d' % pc)
    if Wn == 0 and Sn == 840:
        sp = p.pieces[strong][PAWN]
        for f in (0, 7):
            if sp and not (sp & ~FileMask[f]):
                Q = sq(f, 7 if strong == WHITE else 0)
                b = lsb(p.pieces[strong][BISHOP])
                same = bool(DarkSquares & bit(b)) == bool(DarkSquares & bit(Q))
                if not same and distance(p.ksq[weak], Q) <= 1:
                    cov('sf.wrongbishop')
                    return 0
        return s
    if p.count[WHITE][BISHOP] == 1 and p.count[BLACK][BISHOP] == 1:
        wb = lsb(p.pieces[WHITE][BISHOP])
        bb = lsb(p.pieces[BLACK][BISHOP])
        if bool(DarkSquares & bit(wb)) != bool(DarkSquares & bit(bb)):
            cov('sf.ocb.%s' % (Sn + Wn == 1680))
            if Sn + Wn == 1680:
                total = p.count[WHITE][PAWN] + p.count[BLACK][PAWN]
                return tdiv(s, 8) if total == 1 else tdiv(s, 2)
            return tdiv(s * 80, 100)
    return s


def _king_grow(region):
    g = region
    for s in squares(region):
        g |= KingAttacks[s]
    return g


def blocked_pawn_ending(p, ai, strong):
    weak = strong ^ 1
    own = p.pieces[strong][PAWN]
    enemy = p.pieces[weak][PAWN]
    push = 1 if strong == WHITE else -1
    last = RankMask[7 if strong == WHITE else 0]
    enemy_attacks = ai.by_type[weak][PAWN]

    def rams_of(en):
        r = 0
        for s in squares(own):
            t = s + push
            if 0 <= rank_of(s) + push <= 7 and en & bit(t):
                r |= bit(s)
        return r

    def wall_of(rams):
        wall = rams
        for _ in range(4):
            ext = 0
            for s in squares(wall):
                rr = rank_of(s) - push
                if 0 <= rr <= 7 and own & bit(s - push):
                    ext |= bit(s - push)
            wall |= ext
        return wall | enemy_attacks

    rams = rams_of(enemy)
    if popcount(rams) < 3:
        return False
    cov('pawnending.rams3')
    wall = wall_of(rams)
    region = KingAttacks[p.ksq[strong]] & ~wall
    grown = _king_grow(region) & ~wall
    if grown == region:
        cov('blockade.at_once')
        return True
    region = grown
    while True:
        if region & last:
            cov('blockade.reaches_last_rank')
            return False
        if region & enemy:
            cov('blockade.captures')
            enemy &= ~region
            rams = rams_of(enemy)
            if popcount(rams) < 3:
                cov('blockade.rams_gone')
                return False
            wall = wall_of(rams)
        grown = _king_grow(region) & ~wall
        if grown == region:
            cov('blockade.shut_in')
            return True
        region = grown


# ---------------------------------------------------------------- driver
def evaluate(fen):
    p = parse_fen(fen)
    terms = {}
    T = p.npm[WHITE] + p.npm[BLACK]
    if T >= 14282:
        phase = 256
    else:
        phase = max(0, tdiv((T - 3320) * 256, 10962))
    terms['phase'] = phase
    sf = 256
    if T <= 5042:
        v, sf = special_endgame(p, sf)
        if v != SCORE_NONE:
            terms['special'] = v
            return v, terms
    terms['sf_slot'] = sf
    ai = build_attack_info(p)
    mg = [0, 0]
    eg = [0, 0]

    def add(name, c, m, e):
        terms.setdefault(name, [[0, 0], [0, 0]])
        terms[name][c][0] += m
        terms[name][c][1] += e
        mg[c] += m
        eg[c] += e

    passed = [0, 0]
    for c in range(2):
        m, e, passed[c] = evaluate_pawns(p, c, T)
        add('Pawns', c, m, e)
    for c in range(2):
        m, e = evaluate_passed(p, ai, c, passed[c])
        add('Passed pawns', c, m, e)
    pawn_rams = popcount(p.pieces[WHITE][PAWN] & (p.pieces[BLACK][PAWN] >> 1) & ~RankMask[7])
    tallies = [None, None]
    for c in range(2):
        m, e, tallies[c] = evaluate_pieces(p, ai, c, pawn_rams)
        add('Pieces', c, m, e)
        add('Piece-square', c, p.pstA[c], p.pstB[c])
    terms['tally'] = tallies
    D = sum(p.count[WHITE][t] for t in (KNIGHT, BISHOP, ROOK, QUEEN)) - \
        sum(p.count[BLACK][t] for t in (KNIGHT, BISHOP, ROOK, QUEEN))
    if D > 0:
        add('Imbalance', WHITE, D * p.count[BLACK][PAWN] * 21, D * p.count[BLACK][PAWN] * 15)
    else:
        add('Imbalance', BLACK, -D * p.count[WHITE][PAWN] * 21, -D * p.count[WHITE][PAWN] * 15)
    for c in range(2):
        if p.count[c][BISHOP] > 1:
            add('Bishop pair', c, 94, 94)
    if phase > 0:
        for c in range(2):
            m, S, danger = evaluate_king_safety(p, ai, c, tallies[c ^ 1])
            terms.setdefault('shelter', [0, 0])[c] = S
            terms.setdefault('danger', [None, None])[c] = danger
            add('King safety', c, m, 0)
    for c in range(2):
        m, e = evaluate_threats(p, ai, c)
        add('Threats', c, m, e)
    if phase == 256:
        for c in range(2):
            add('Space', c, evaluate_space(p, ai, c), 0)
    delta = p.npm[WHITE] - p.npm[BLACK]
    add('Material and tempo', WHITE, delta + (25 if p.stm == WHITE else -25), delta + (23 if p.stm == WHITE else -23))
    if T == 0:
        add('Pawn ending', WHITE, 0, (p.count[WHITE][PAWN] - p.count[BLACK][PAWN]) * 200)
        diff = eg[WHITE] - eg[BLACK]
        blocked = False
        if diff > 0:
            blocked = blocked_pawn_ending(p, ai, WHITE)
        elif diff < 0:
            blocked = blocked_pawn_ending(p, ai, BLACK)
        terms['blocked'] = blocked
        cov('pawnending.blocked.%s' % blocked)
        if blocked:
            add('Blockade', WHITE, 0, -eg[WHITE])
            add('Blockade', BLACK, 0, -eg[BLACK])
        for c in range(2):
            them = c ^ 1
            for s in squares(passed[c]):
                f = file_of(s)
                q = sq(f, 7 if c == WHITE else 0)
                if distance(q, p.ksq[them]) - distance(q, s) >= 2 or \
                        (KingAttacks[p.ksq[c]] & ForwardFile[c][s]):
                    cov('pawnending.unstoppable')
                    add('Unstoppable passers', c, 0, 60 * rel_rank(c, s))
    mgDiff = mg[WHITE] - mg[BLACK]
    egDiff = eg[WHITE] - eg[BLACK]
    terms['mgDiff'] = mgDiff
    terms['egDiff'] = egDiff
    if egDiff != 0:
        strong = BLACK if egDiff < 0 else WHITE
        s = min(endgame_scale_factor(p, strong), sf)
        terms['scale'] = s
        egDiff = tdiv(egDiff * s, 256)
    terms['egScaled'] = egDiff
    total_pawns = p.count[WHITE][PAWN] + p.count[BLACK][PAWN]
    L = tdiv((12 - total_pawns) * 29, 5)
    if egDiff > 0:
        egFinal = max(egDiff - L, tdiv(egDiff, 2))
    else:
        egFinal = min(egDiff + L, tdiv(egDiff, 2))
    terms['egFinal'] = egFinal
    v = tdiv(mgDiff * phase + egFinal * (256 - phase), 256)
    if p.stm == BLACK:
        v = -v
    return v, terms


def format_terms(terms):
    lines = []
    for name in ('Material and tempo', 'Imbalance', 'Bishop pair', 'Pawns', 'Passed pawns', 'Pieces', 'Piece-square',
                 'King safety', 'Threats', 'Space', 'Pawn ending', 'Blockade', 'Unstoppable passers'):
        if name in terms:
            (wm, we), (bm, be) = terms[name]
            lines.append("%-20s | %6d %6d | %6d %6d | %6d %6d" % (name, wm, we, bm, be, wm - bm, we - be))
    for k in ('phase', 'special', 'sf_slot', 'scale', 'mgDiff', 'egDiff', 'egScaled', 'egFinal', 'tally', 'shelter',
              'danger', 'blocked'):
        if k in terms:
            lines.append("%s: %s" % (k, terms[k]))
    return "\n".join(lines)


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        v, t = evaluate(arg)
        print(arg)
        print(format_terms(t))
        print("Final evaluation:", v)
