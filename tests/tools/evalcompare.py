#!/usr/bin/env python3
"""Compares the engine's static evaluation with the reference model evalref.py.

    evalcompare.py ENGINE [FILE.epd ...] [--limit K] [--random N --plies P]
                   [--endgames N] [--targeted N] [--chaos N] [--kpk | --kpk-sample N]
                   [--seed S] [--coverage] [--emit FILE]

Positions: the first four fields of every EPD line given (at most K per file);
random endgames (--endgames), endgames aimed at the recognised configurations,
locked pawn chains and scale factors (--targeted), scattered material with
promoted pieces, pins and castling rights (--chaos), every KPK position
(--kpk); the colour-flipped twin of each with the other side to move; and N
random walks of up to P plies from every position, which the engine plays
itself through "position fen ... moves ..." (its "perft 1" lists the legal
moves), so that its incremental updates are checked too.

For each position the engine is asked for "display" and "trace"; a position
the engine refused (its board differs) is counted apart, otherwise the value
of the trace's last line is compared with the model. Mismatches are printed
with both term tables; the exit code is 1 when any position disagrees.
--coverage counts how often each rule of the model fired; --emit writes the
agreeing positions as "value;FEN[;moves]" lines for tests/data.
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
        self.proc = subprocess.Popen([path, "--diagnostics"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)

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

    def traces(self, items):
        """items: FEN texts, or (start FEN, move list, resulting FEN) walks
        that the engine plays itself through "position fen ... moves ..."."""
        fens = items
        for item in items:
            if isinstance(item, tuple):
                self.send("position fen %s moves %s" % (item[0], " ".join(item[1])))
            else:
                self.send("position fen " + item)
            self.send("display")
            self.send("trace")
        self.proc.stdin.flush()
        out = []
        for _ in fens:
            lines = self.read_until(lambda l: l.startswith("Final evaluation:"))
            value = int(lines[-1].split()[2])
            out.append((value, lines))
        return out

    def legal_moves(self, fen):
        """The engine's legal moves, or [] when it does not take the FEN."""
        self.send("position fen " + fen)
        self.send("display")
        self.send("perft 1")
        self.proc.stdin.flush()
        lines = self.read_until(lambda l: l.startswith("Nodes searched"))
        if display_board(lines) != fen_to_board(fen)[0]:
            return []
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


def display_board(lines):
    """The placement shown by "display" (rank 1 first, file h on the left)."""
    board = {}
    for line in lines:
        if len(line) == 10 and line[0] in "12345678" and line[1] == " ":
            r = int(line[0]) - 1
            for i, ch in enumerate(line[2:]):
                if ch != "-":
                    board[(7 - i, r)] = ch
    return board


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


def _place(rng, board, ch, files=range(8), ranks=range(8)):
    for _ in range(200):
        c, r = rng.choice(list(files)), rng.choice(list(ranks))
        if (c, r) not in board:
            board[(c, r)] = ch
            return (c, r)
    return None


def _finish(rng, board, stm=None):
    ks = [k for k, v in board.items() if v in "Kk"]
    if len(ks) != 2 or max(abs(ks[0][0] - ks[1][0]), abs(ks[0][1] - ks[1][1])) <= 1:
        return None
    if sum(v == "P" for v in board.values()) > 8 or sum(v == "p" for v in board.values()) > 8:
        return None
    fen = board_to_fen(board, stm or rng.choice("wb"), "-", "-")
    if in_check_illegal(fen):
        return None
    return fen


def _near(rng, board, ch, centre, radius):
    f0, r0 = centre
    files = [f for f in range(f0 - radius, f0 + radius + 1) if 0 <= f < 8]
    ranks = [r for r in range(r0 - radius, r0 + radius + 1) if 0 <= r < 8]
    return _place(rng, board, ch, files, ranks)


def targeted_endgame(rng):
    """Endgames aimed at the rarely met special rules and scale factors."""
    kind = rng.randrange(9)
    board = {}
    if kind == 0:
        # Locked pawn chains in a pure pawn ending.
        files = rng.sample(range(8), rng.randrange(3, 6))
        for f in files:
            r = rng.randrange(1, 6)
            board[(f, r)] = "P"
            board[(f, r + 1)] = "p"
            if rng.random() < 0.4 and r >= 2 and (f, r - 1) not in board:
                board[(f, r - 1)] = "P"
        for _ in range(rng.randrange(0, 3)):
            _place(rng, board, rng.choice("Pp"), ranks=range(1, 7))
        _place(rng, board, "K")
        _place(rng, board, "k")
    elif kind == 1:
        # Knight and rook pawn, the pawn on the sixth or seventh rank.
        f = rng.choice((0, 7))
        r = rng.choice((5, 6))
        board[(f, r)] = "P"
        if r == 5 and rng.random() < 0.7:
            board[(f, 6)] = "p"
        _near(rng, board, "k", (f, 7), rng.choice((1, 2)))
        if rng.random() < 0.5:
            board[(f, 7)] = board.get((f, 7)) or "K"
        if "K" not in board.values():
            _near(rng, board, "K", (f, r), 2)
        _place(rng, board, "N")
    elif kind == 2:
        # Bishop and rook pawns against a king in the corner.
        f = rng.choice((0, 7))
        for r in rng.sample(range(1, 7), rng.randrange(1, 4)):
            board[(f, r)] = "P"
        _place(rng, board, "B")
        _near(rng, board, "k", (f, 7), 1)
        _place(rng, board, "K")
    elif kind == 3:
        # Queen against rook and pawns near the lone king.
        _place(rng, board, "k", ranks=range(5, 8))
        k = [s for s, v in board.items() if v == "k"][0]
        for _ in range(rng.randrange(1, 3)):
            _near(rng, board, "p", k, 1)
        board = {s: v for s, v in board.items() if not (v == "p" and s[1] in (0, 7))}
        _near(rng, board, "r", k, 2)
        _place(rng, board, "Q")
        _place(rng, board, "K")
    elif kind == 4:
        # Rook endings with few pawns.
        for _ in range(rng.randrange(1, 5)):
            _place(rng, board, "P", ranks=range(1, 7))
        for _ in range(rng.randrange(0, 4)):
            _place(rng, board, "p", ranks=range(1, 7))
        for ch in "RrKk":
            _place(rng, board, ch)
    elif kind == 5:
        # Two bishops or minor pieces against a lesser piece.
        for ch in rng.choice(("BB", "BN", "RB", "RN", "BBP", "NNP", "RR")):
            _place(rng, board, ch, ranks=range(1, 7) if ch == "P" else range(8))
        _place(rng, board, rng.choice("rnbq"))
        _place(rng, board, "K")
        _place(rng, board, "k")
    elif kind == 6:
        # Opposite-coloured bishops with pawns and sometimes more pieces.
        dark = [(f, r) for f in range(8) for r in range(8) if (f + r) % 2 == 0]
        light = [(f, r) for f in range(8) for r in range(8) if (f + r) % 2 == 1]
        a, b = rng.choice(dark), rng.choice(light)
        if a == b:
            return None
        board[a] = "B"
        board[b] = "b"
        for _ in range(rng.randrange(0, 4)):
            _place(rng, board, rng.choice("Pp"), ranks=range(1, 7))
        if rng.random() < 0.3:
            _place(rng, board, rng.choice("RrNnQq"))
        _place(rng, board, "K")
        _place(rng, board, "k")
    elif kind == 7:
        # Passed-pawn races: few pawns, kings anywhere, pieces sometimes.
        for _ in range(rng.randrange(1, 4)):
            _place(rng, board, rng.choice("Pp"), ranks=range(1, 7))
        if rng.random() < 0.5:
            _place(rng, board, rng.choice("RrQqNnBb"))
        _place(rng, board, "K")
        _place(rng, board, "k")
    else:
        # Two knights against a pawn, or knight-and-bishop mates.
        for ch in rng.choice(("NN", "BN", "BBP", "NP")):
            _place(rng, board, ch, ranks=range(1, 7) if ch == "P" else range(8))
        if rng.random() < 0.6:
            _place(rng, board, "p", ranks=range(1, 7))
        _place(rng, board, "K")
        _place(rng, board, "k")
    if any(v in "Pp" and s[1] in (0, 7) for s, v in board.items()):
        return None
    if rng.random() < 0.5:
        fen = _finish(rng, board)
        return flip_fen(fen) if fen else None
    return _finish(rng, board)


def chaos_position(rng):
    """Random material scattered over the board: promoted pieces, batteries,
    pins, exposed kings and castling rights that games rarely show."""
    board = {}
    for side in (0, 1):
        pawns = rng.randrange(0, 9)
        extra = rng.randrange(0, 9 - pawns) if pawns < 8 else 0
        pieces = "K" + "P" * pawns
        for ch, hi in (("Q", 1), ("R", 2), ("B", 2), ("N", 2)):
            pieces += ch * rng.randrange(0, hi + 1)
        pieces += "".join(rng.choice("QRBN") for _ in range(rng.randrange(0, extra + 1) if rng.random() < 0.3 else 0))
        for ch in pieces:
            ch = ch if side == 0 else ch.lower()
            if ch in "Pp":
                _place(rng, board, ch, ranks=range(1, 7))
            elif ch == "K" and rng.random() < 0.5:
                _place(rng, board, ch, files=range(8), ranks=(0, 1))
            elif ch == "k" and rng.random() < 0.5:
                _place(rng, board, ch, files=range(8), ranks=(6, 7))
            else:
                _place(rng, board, ch)
    fen = _finish(rng, board)
    if not fen:
        return None
    castle = ""
    for ch, k, r in (("K", (4, 0), (7, 0)), ("Q", (4, 0), (0, 0)), ("k", (4, 7), (7, 7)), ("q", (4, 7), (0, 7))):
        white = ch.isupper()
        if board.get(k) == ("K" if white else "k") and board.get(r) == ("R" if white else "r") and rng.random() < 0.8:
            castle += ch
    f = fen.split()
    f[2] = castle or "-"
    return " ".join(f)


def all_kpk():
    """Every KPK position with the pawn on files a to d, both sides to move."""
    out = []
    for pf in range(4):
        for pr in range(1, 7):
            for sk in range(64):
                for wk in range(64):
                    board = {(pf, pr): "P", (sk >> 3, sk & 7): "K"}
                    if (wk >> 3, wk & 7) in board:
                        continue
                    board[(wk >> 3, wk & 7)] = "k"
                    for stm in "wb":
                        fen = _finish(None, dict(board), stm)
                        if fen:
                            out.append(fen)
    return out


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
    ap.add_argument("--random", type=int, default=0, help="random walks from every position")
    ap.add_argument("--plies", type=int, default=6)
    ap.add_argument("--endgames", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--limit", type=int, default=0, help="positions per EPD file")
    ap.add_argument("--fen", action="append", default=[])
    ap.add_argument("--show", type=int, default=5, help="mismatches printed in full")
    ap.add_argument("--no-flip", action="store_true")
    ap.add_argument("--coverage", action="store_true")
    ap.add_argument("--targeted", type=int, default=0)
    ap.add_argument("--chaos", type=int, default=0)
    ap.add_argument("--kpk", action="store_true", help="every KPK position")
    ap.add_argument("--kpk-sample", type=int, default=0, help="this many random KPK positions")
    ap.add_argument("--emit", help="write every agreeing position with its value to this file")
    args = ap.parse_args()

    rng = random.Random(args.seed)
    eng = Engine(args.engine)
    fens = list(args.fen)
    for path in args.epd:
        fens += read_epd(path, args.limit)
    for _ in range(args.endgames):
        fens.append(random_endgame(rng))
    while args.targeted > 0:
        fen = targeted_endgame(rng)
        if fen:
            fens.append(fen)
            args.targeted -= 1
    while args.chaos > 0:
        fen = chaos_position(rng)
        if fen:
            fens.append(fen)
            args.chaos -= 1
    if args.kpk:
        fens += all_kpk()
    elif args.kpk_sample:
        fens += rng.sample(all_kpk(), args.kpk_sample)
    walks = []
    for fen in fens:
        for _ in range(args.random):
            cur = fen
            played = []
            for _ in range(rng.randrange(1, args.plies + 1)):
                moves = eng.legal_moves(cur)
                if not moves:
                    break
                mv = rng.choice(moves)
                played.append(mv)
                cur = make_move(cur, mv)
            if played:
                walks.append((fen, played, cur))
    if not args.no_flip:
        fens += [flip_fen(f) for f in fens] + [flip_fen(w[2]) for w in walks]
    fens += walks

    emit = open(args.emit, "w") if args.emit else None
    mismatches = 0
    rejected = 0
    shown = 0
    batch = 200
    total = 0
    for i in range(0, len(fens), batch):
        chunk = fens[i:i + batch]
        for item, (value, lines) in zip(chunk, eng.traces(chunk)):
            total += 1
            fen = item[2] if isinstance(item, tuple) else item
            ref, terms = evalref.evaluate(fen)
            if display_board(lines) != fen_to_board(fen)[0]:
                rejected += 1
                print("REJECTED %s" % fen)
                continue
            if ref == value and emit is not None:
                if isinstance(item, tuple):
                    emit.write("%d;%s;%s\n" % (ref, item[0], " ".join(item[1])))
                else:
                    emit.write("%d;%s\n" % (ref, fen))
            if ref != value:
                mismatches += 1
                print("MISMATCH %s engine %d reference %d" % (fen, value, ref))
                if isinstance(item, tuple):
                    print("  reached from %s by %s" % (item[0], " ".join(item[1])))
                if shown < args.show:
                    shown += 1
                    print("\n".join(lines))
                    print(evalref.format_terms(terms))
                    print()
    eng.close()
    if emit:
        emit.close()
    if args.coverage:
        for k in sorted(evalref.COVERAGE):
            print("coverage %-28s %d" % (k, evalref.COVERAGE[k]))
    print("%d positions compared, %d mismatches, %d rejected by the engine" % (total - rejected, mismatches, rejected))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
