#!/usr/bin/env python3
"""Compares the engine's static evaluation with the reference model evalref.py.

    evalcompare.py ENGINE [--random N] [--seed S] [--limit K] [FILE.epd ...]

Positions: the first four fields of every EPD line given, their colour-flipped
twins with the other side to move, positions reached by short random walks
from them (the engine's "perft 1" lists the legal moves), and a set of
generated endgames. For each one the engine is asked for "trace"; the value of
its last line is compared with the reference. Mismatches are printed with
both term tables; the exit code is 1 when any position disagrees.
"""

import argparse
import random
import subprocess
import sys
import os

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import evalref  # noqa: E402

LETTERS = "PNBRQK"


class Engine:
    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def send(self, line):
        self.proc.stdin.write(line + "\n")

    def read_until(self, predicate):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("engine ended")
            line = line.rstrip("\n")
            lines.append(line)
            if predicate(line):
                return lines

    def traces(self, fens):
        for fen in fens:
            self.send("position fen " + fen)
            self.send("trace")
        self.proc.stdin.flush()
        out = []
        for _ in fens:
            lines = self.read_until(lambda l: l.startswith("Final evaluation:"))
            value = int(lines[-1].split()[2])
            out.append((value, lines))
        return out

    def legal_moves(self, fen):
        self.send("position fen " + fen)
        self.send("perft 1")
        self.proc.stdin.flush()
        lines = self.read_until(lambda l: l.startswith("Nodes searched"))
        return [l.split(":")[0] for l in lines if ":" in l and not l.startswith("Nodes")]

    def close(self):
        try:
            self.send("quit")
            self.proc.stdin.flush()
        except BrokenPipeError:
            pass
        self.proc.wait()


# ---------------------------------------------------------------- FEN helpers
def fen_to_board(fen):
    f = fen.split()
    rows = f[0].split("/")
    board = {}
    for i, row in enumerate(rows):
        r = 7 - i
        c = 0
        for ch in row:
            if ch.isdigit():
                c += int(ch)
            else:
                board[(c, r)] = ch
                c += 1
    stm = f[1] if len(f) > 1 else "w"
    castle = f[2] if len(f) > 2 else "-"
    ep = f[3] if len(f) > 3 else "-"
    return board, stm, castle, ep


def board_to_fen(board, stm, castle, ep):
    rows = []
    for r in range(7, -1, -1):
        row = ""
        empty = 0
        for c in range(8):
            ch = board.get((c, r))
            if ch is None:
                empty += 1
            else:
                if empty:
                    row += str(empty)
                    empty = 0
                row += ch
        if empty:
            row += str(empty)
        rows.append(row)
    return "%s %s %s %s 0 1" % ("/".join(rows), stm, castle or "-", ep)


def flip_fen(fen):
    """Colours swapped and ranks mirrored, the other side to move."""
    board, stm, castle, ep = fen_to_board(fen)
    nb = {(c, 7 - r): (ch.lower() if ch.isupper() else ch.upper()) for (c, r), ch in board.items()}
    nc = "".join(ch.lower() if ch.isupper() else ch.upper() for ch in castle if ch != "-")
    nc = "".join(x for x in "KQkq" if x in nc) or "-"
    nep = "-" if ep == "-" else ep[0] + str(9 - int(ep[1]))
    return board_to_fen(nb, "b" if stm == "w" else "w", nc, nep)


def make_move(fen, mv):
    board, stm, castle, ep = fen_to_board(fen)
    fc, fr = ord(mv[0]) - 97, int(mv[1]) - 1
    tc, tr = ord(mv[2]) - 97, int(mv[3]) - 1
    piece = board.pop((fc, fr))
    white = piece.isupper()
    newep = "-"
    if piece.upper() == "P":
        if ep != "-" and (tc, tr) == (ord(ep[0]) - 97, int(ep[1]) - 1) and fc != tc and (tc, tr) not in board:
            board.pop((tc, fr), None)
        if abs(tr - fr) == 2:
            newep = mv[2] + str((fr + tr) // 2 + 1)
        if len(mv) > 4:
            piece = mv[4].upper() if white else mv[4].lower()
    if piece.upper() == "K" and abs(tc - fc) == 2:
        if tc == 6:
            board[(5, fr)] = board.pop((7, fr))
        else:
            board[(3, fr)] = board.pop((0, fr))
    board[(tc, tr)] = piece
    rights = set(castle) - {"-"}
    for (c, r), lost in (((4, 0), "KQ"), ((7, 0), "K"), ((0, 0), "Q"), ((4, 7), "kq"), ((7, 7), "k"), ((0, 7), "q")):
        if (fc, fr) == (c, r) or (tc, tr) == (c, r):
            rights -= set(lost)
    nc = "".join(x for x in "KQkq" if x in rights) or "-"
    return board_to_fen(board, "b" if stm == "w" else "w", nc, newep)


# ---------------------------------------------------------------- endgame generator
def random_endgame(rng):
    """A random legal-looking position with few pieces."""
    recipes = [
        ("KP", "K"), ("KPP", "KP"), ("KPPP", "KPP"), ("KPPPP", "KPPP"), ("KPPPPP", "KPPPP"),
        ("KBN", "K"), ("KNN", "K"), ("KNN", "KP"), ("KBB", "K"), ("KBBP", "K"), ("KBP", "K"),
        ("KNP", "K"), ("KNP", "KP"), ("KQ", "KRP"), ("KQ", "KRPP"), ("KR", "KR"), ("KRP", "KR"),
        ("KRPP", "KRP"), ("KRPPP", "KRPP"), ("KB", "KB"), ("KBP", "KB"), ("KBPP", "KBP"),
        ("KBPPP", "KBPP"), ("KN", "KP"), ("KR", "KB"), ("KR", "KN"), ("KRP", "KB"), ("KQ", "KR"),
        ("KQP", "KQ"), ("KRB", "KR"), ("KRN", "KR"), ("KB", "KPP"), ("KN", "KN"), ("KRR", "KR"),
        ("KQ", "KP"), ("KR", "KP"), ("KBPP", "K"), ("KNPP", "KP"), ("KRBP", "KRP"), ("KQR", "KQ"),
        ("KPPPPPP", "KPPPPP"), ("KBNP", "KBP"), ("KQB", "KQN"), ("KRRP", "KRRP"), ("K", "K"),
        ("KB", "K"), ("KN", "K"), ("KQ", "K"), ("KR", "K"),
    ]
    while True:
        w, b = rng.choice(recipes)
        if rng.random() < 0.5:
            w, b = b, w
        board = {}
        ok = True
        for side, pieces in ((0, w), (1, b)):
            for ch in pieces:
                for _ in range(100):
                    c = rng.randrange(8)
                    r = rng.randrange(1, 7) if ch == "P" else rng.randrange(8)
                    if (c, r) not in board:
                        break
                else:
                    ok = False
                # rook pawns and advanced pawns more often
                if ch == "P" and rng.random() < 0.25:
                    c = rng.choice((0, 7))
                    if (c, r) in board:
                        ok = False
                board[(c, r)] = ch if side == 0 else ch.lower()
        if not ok:
            continue
        ks = [k for k, v in board.items() if v in "Kk"]
        if len(ks) != 2 or max(abs(ks[0][0] - ks[1][0]), abs(ks[0][1] - ks[1][1])) <= 1:
            continue
        fen = board_to_fen(board, rng.choice("wb"), "-", "-")
        if in_check_illegal(fen):
            continue
        return fen


def in_check_illegal(fen):
    """True when the side not to move is in check (the position cannot arise)."""
    p = evalref.parse_fen(fen)
    them = p.stm ^ 1
    k = p.ksq[them]
    us = p.stm
    if evalref.PawnAttacks[them][k] & p.pieces[us][evalref.PAWN]:
        return True
    if evalref.KnightAttacks[k] & p.pieces[us][evalref.KNIGHT]:
        return True
    if evalref.rook_attacks(k, p.occ) & (p.pieces[us][evalref.ROOK] | p.pieces[us][evalref.QUEEN]):
        return True
    if evalref.bishop_attacks(k, p.occ) & (p.pieces[us][evalref.BISHOP] | p.pieces[us][evalref.QUEEN]):
        return True
    return False


# ---------------------------------------------------------------- main
def read_epd(path, limit):
    fens = []
    with open(path) as fh:
        for line in fh:
            f = line.split()
            if len(f) < 4:
                continue
            f4 = " ".join(f[:4]).rstrip(";")
            fens.append(f4.split(";")[0] + " 0 1")
            if limit and len(fens) >= limit:
                break
    return fens


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("engine")
    ap.add_argument("epd", nargs="*")
    ap.add_argument("--random", type=int, default=0, help="random walks per suite position")
    ap.add_argument("--plies", type=int, default=6)
    ap.add_argument("--endgames", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--limit", type=int, default=0, help="positions per EPD file")
    ap.add_argument("--fen", action="append", default=[])
    ap.add_argument("--show", type=int, default=5, help="mismatches printed in full")
    ap.add_argument("--no-flip", action="store_true")
    args = ap.parse_args()

    rng = random.Random(args.seed)
    eng = Engine(args.engine)
    fens = list(args.fen)
    for path in args.epd:
        fens += read_epd(path, args.limit)
    walks = []
    for fen in fens:
        for _ in range(args.random):
            cur = fen
            for _ in range(rng.randrange(1, args.plies + 1)):
                moves = eng.legal_moves(cur)
                if not moves:
                    break
                cur = make_move(cur, rng.choice(moves))
            walks.append(cur)
    fens += walks
    for _ in range(args.endgames):
        fens.append(random_endgame(rng))
    if not args.no_flip:
        fens += [flip_fen(f) for f in fens]

    mismatches = 0
    shown = 0
    batch = 200
    total = 0
    for i in range(0, len(fens), batch):
        chunk = fens[i:i + batch]
        for fen, (value, lines) in zip(chunk, eng.traces(chunk)):
            total += 1
            ref, terms = evalref.evaluate(fen)
            if ref != value:
                mismatches += 1
                print("MISMATCH %s engine %d reference %d" % (fen, value, ref))
                if shown < args.show:
                    shown += 1
                    print("\n".join(lines))
                    print(evalref.format_terms(terms))
                    print()
    eng.close()
    print("%d positions compared, %d mismatches" % (total, mismatches))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
