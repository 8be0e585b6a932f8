#!/usr/bin/env python3
"""Plays the engine through polyglot, the adapter that lets xboard/WinBoard
clients use UCI engines, and checks what arrives at the client.

    tests/client/polyglot_test.py build/64/ostrevalk

The script is the xboard client: it speaks protocol version 2 to polyglot,
which speaks UCI to the engine. It plays short games on a clock with
pondering on (a ponder hit and a ponder miss), sets up positions whose best
move is a promotion for either side, analyses, forces a move with "?" and
quits. Every "move" that reaches the client must be legal in the game so far.

Legal moves come from a second engine process ("perft 1" lists them); the
referee is not taken on trust, because polyglot keeps its own board and checks
both directions: an illegal engine move makes it resign the game on the
engine's behalf, and a move of ours that it holds illegal is answered with
"Illegal move". Either line fails the test.

polyglot logs both sides of the conversation; the log shows what it sent to
the engine (the ponder move, "ponderhit", "stop") and what came back, so the
test can check that a ponder or infinite search gives no "bestmove" before it
is told to.

Without polyglot the script skips (exit 0), unless OSTREVALK_REQUIRE_POLYGLOT
is set: then a missing polyglot fails it. Debian installs polyglot as
/usr/games/polyglot, often not on PATH; that place is searched too.
"""

import os
import re
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
# White to move queens at once: Black's pawn on f3 would queen two moves
# later, so anything slower than b7b8 loses the race.
WHITE_PROMOTES_FEN = "7K/1P6/8/8/8/5p2/8/k7 w - - 0 1"
# The same race with colours swapped: Black queens on b1.
BLACK_PROMOTES_FEN = "K7/8/5P2/8/8/8/1p6/7k b - - 0 1"

CLOCK_CENTISECONDS = 500  # five seconds a side: quick moves, real clock handling
MOVE_TIMEOUT = 10.0       # longest wait for an engine move on that clock
# Our thinking time while the engine ponders: well above the engine's budget
# on that clock, so a ponder search that wrongly ran on the clock would have
# answered within it.
PONDER_PAUSE = 0.4
TOTAL_TIMEOUT = 90        # the whole run, whatever hangs

MOVE_WORD = re.compile(r"^[a-h][1-8][a-h][1-8][qrbn]?$")
PERFT_LINE = re.compile(r"^([a-h][1-8][a-h][1-8][QRBNqrbn]?): \d+$")
THINKING_LINE = re.compile(r"^\s*\d+\s+[-+]?\d+\s+\d+\s+\d+\s+\S")


class Failure(Exception):
    pass


def find_polyglot():
    found = shutil.which("polyglot")
    if found:
        return found
    if os.access("/usr/games/polyglot", os.X_OK):
        return "/usr/games/polyglot"
    return None


class LineReader:
    """Lines from a child's output, every wait with a deadline."""

    def __init__(self, process, name):
        self.process = process
        self.name = name
        self.buffer = b""
        self.ended = False
        self.seen = []

    def read_line(self, deadline):
        while b"\n" not in self.buffer:
            remaining = deadline - time.monotonic()
            if self.ended or remaining <= 0:
                return None
            ready, _, _ = select.select([self.process.stdout], [], [], remaining)
            if not ready:
                return None
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                self.ended = True
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        text = line.decode("utf-8", "replace").rstrip("\r")
        self.seen.append(text)
        return text

    def send(self, text):
        try:
            self.process.stdin.write((text + "\n").encode())
            self.process.stdin.flush()
        except BrokenPipeError:
            raise Failure(f"{self.name} no longer reads its input (sending {text!r})")


class Referee:
    """A second engine process that lists the legal moves of a position."""

    def __init__(self, engine):
        self.io = LineReader(
            subprocess.Popen([engine, "--diagnostics"], stdin=subprocess.PIPE, stdout=subprocess.PIPE), "referee")

    def legal_moves(self, fen, moves):
        self.io.send(f"position fen {fen}" + (" moves " + " ".join(moves) if moves else ""))
        self.io.send("perft 1")
        self.io.send("isready")
        legal = set()
        deadline = time.monotonic() + 10
        while True:
            line = self.io.read_line(deadline)
            if line is None:
                raise Failure("the referee engine did not answer \"perft 1\"")
            if line == "readyok":
                return legal
            match = PERFT_LINE.match(line)
            if match:
                legal.add(match.group(1).lower())

    def close(self):
        try:
            self.io.send("quit")
            self.io.process.wait(timeout=10)
        except (Failure, subprocess.TimeoutExpired):
            self.io.process.kill()


class Session:
    """polyglot in xboard mode with the engine behind it."""

    def __init__(self, polyglot, engine, workdir):
        self.log_path = os.path.join(workdir, "polyglot.log")
        ini = os.path.join(workdir, "ostrevalk.ini")
        with open(ini, "w") as f:
            f.write("[PolyGlot]\n"
                    f"EngineDir = {workdir}\n"
                    f"EngineCommand = {shlex.quote(os.path.abspath(engine))}\n"
                    "Log = true\n"
                    f"LogFile = {self.log_path}\n"
                    "[Engine]\n"
                    "Hash = 16\n")
        self.process = subprocess.Popen([polyglot, ini], cwd=workdir,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        self.io = LineReader(self.process, "polyglot")
        self.log_checked = 0  # log lines already searched for ponder searches

    def send(self, *lines):
        for line in lines:
            self.io.send(line)

    def expect(self, predicate, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            line = self.io.read_line(deadline)
            if line is None:
                raise Failure(f"no {what} within {timeout:g} s")
            if "illegal engine move" in line or line.startswith("Illegal move"):
                raise Failure(f"polyglot reports: {line}")
            if predicate(line):
                return line

    def expect_move(self, timeout=MOVE_TIMEOUT):
        line = self.expect(lambda l: l.startswith("move "), timeout, "engine move")
        word = line.split()[1]
        if not MOVE_WORD.match(word):
            raise Failure(f"malformed move at the client: {line!r}")
        return word

    def log_lines(self):
        with open(self.log_path, errors="replace") as f:
            return [line.rstrip("\n") for line in f]

    def wait_log(self, pattern, timeout, start=0):
        """Index of the first log line from start on that matches pattern."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        while True:
            lines = self.log_lines()
            for i in range(start, len(lines)):
                if regex.search(lines[i]):
                    return i
            if time.monotonic() > deadline:
                return None
            time.sleep(0.02)


def to_engine(text):
    return r" Adapter->Engine: " + re.escape(text)


def check_handshake(session):
    session.send("xboard", "protover 2")
    features = []
    session.expect(lambda l: features.append(l) or "done=1" in l, 10, "\"feature ... done=1\"")
    text = "\n".join(features)
    if 'myname="Ostrevalk 2.5 (' not in text:
        raise Failure("the engine's name did not reach the client: " + text)
    # polyglot turns the engine's spin options into xboard option features.
    for option in ("PawnHash -spin 8 1 1024", "MoveOverhead -spin 50 0 2000"):
        if f'feature option="{option}"' not in text:
            raise Failure(f"option {option!r} missing from the features")
    session.send("ping 1")
    session.expect(lambda l: l == "pong 1", 5, "\"pong 1\"")


def check_ponder_search(session, moves):
    """Waits for the ponder search polyglot starts after an engine move and
    returns the move pondered on (None when the engine gave none)."""
    position = "position startpos moves " + " ".join(moves)
    found = session.wait_log(to_engine(position + " ") + r"[a-h][1-8]\S*$", 3, session.log_checked)
    if found is None:
        return None
    go = session.wait_log(to_engine("go ") + ".* ponder$", 3, found)
    if go is None:
        raise Failure("polyglot sent a ponder position but no \"go ... ponder\"")
    session.log_checked = go + 1
    return session.log_lines()[found].split()[-1]


def check_no_early_bestmove(session, search_start, ending):
    """Between a ponder or infinite "go" and the command that ends it, the
    engine must stay silent about its move."""
    end = session.wait_log(to_engine(ending) + "$", 3, search_start)
    for line in session.log_lines()[search_start:end]:
        if "Engine->Adapter: bestmove" in line:
            raise Failure(f"the engine answered before {ending!r}: {line}")
    if end is None:
        raise Failure(f"polyglot never sent {ending!r}")


def play_clock_game(session, referee):
    """Engine as Black on a five-second clock, pondering on: a ponder hit, a
    ponder miss, and every reply legal."""
    session.send("new", "hard", "post", "level 0 0:05 0")
    moves = []
    hits = misses = 0
    ponder = None
    for turn in range(4):
        legal = referee.legal_moves(START_FEN, moves)
        if turn == 0:
            ours = "e2e4"
        elif turn % 2 == 1 and ponder in legal:
            ours = ponder  # play what the engine expects
        else:
            ours = min(m for m in legal if m != ponder)
        if ponder is not None:
            time.sleep(PONDER_PAUSE)
            search_start = session.log_checked
        session.send(f"time {CLOCK_CENTISECONDS}", f"otim {CLOCK_CENTISECONDS}", f"usermove {ours}")
        if ponder is not None:
            hit = ours == ponder
            check_no_early_bestmove(session, search_start, "ponderhit" if hit else "stop")
            hits += hit
            misses += not hit
        moves.append(ours)
        reply = session.expect_move()
        if reply not in referee.legal_moves(START_FEN, moves):
            raise Failure(f"illegal reply {reply} after {' '.join(moves)}")
        moves.append(reply)
        ponder = check_ponder_search(session, moves)
    if hits == 0 or misses == 0:
        raise Failure(f"expected a ponder hit and a ponder miss, had {hits} and {misses}")
    return moves


def check_promotion(session, referee, fen, expected):
    """The engine's best move is a promotion: it must arrive intact, and the
    game must go on from the promoted queen."""
    session.send("new", "easy", "force", f"setboard {fen}",
                 f"time {CLOCK_CENTISECONDS}", f"otim {CLOCK_CENTISECONDS}", "go")
    move = session.expect_move()
    if move != expected:
        raise Failure(f"expected \"move {expected}\" at the client, got \"move {move}\"")
    # The client's answer and the engine's next move: polyglot now sends the
    # promotion back to the engine in its own (lower-case) spelling.
    ours = min(referee.legal_moves(fen, [move]))
    start = len(session.log_lines())
    session.send(f"time {CLOCK_CENTISECONDS}", f"otim {CLOCK_CENTISECONDS}", f"usermove {ours}")
    reply = session.expect_move()
    if reply not in referee.legal_moves(fen, [move, ours]):
        raise Failure(f"illegal reply {reply} after the promotion {move} {ours}")
    if session.wait_log(to_engine(f"position fen {fen} moves {move} {ours}") + "$", 3, start) is None:
        raise Failure("polyglot did not pass the promotion back to the engine")


def check_analysis(session):
    """"analyze" runs an infinite search that answers only after "exit"."""
    session.send("new", "force", "usermove e2e4", "post")
    start = len(session.log_lines())
    session.send("analyze")
    session.expect(lambda l: THINKING_LINE.match(l) is not None, 5, "analysis output")
    go = session.wait_log(to_engine("go infinite") + "$", 3, start)
    if go is None:
        raise Failure("polyglot did not start an infinite search")
    time.sleep(0.5)
    session.send("exit")
    check_no_early_bestmove(session, go, "stop")
    if session.wait_log(r"Engine->Adapter: bestmove ", 3, go) is None:
        raise Failure("no bestmove after the analysis was stopped")


def check_move_now(session, referee):
    """"?" makes a long fixed-time search move at once."""
    session.send("new", "easy", "st 30", "go")
    session.expect(lambda l: THINKING_LINE.match(l) is not None, 5, "thinking output")
    asked = time.monotonic()
    session.send("?")
    move = session.expect_move(timeout=5)
    if move not in referee.legal_moves(START_FEN, []):
        raise Failure(f"illegal move {move} from the start position")
    return time.monotonic() - asked


def check_quit(session):
    session.send("quit")
    try:
        code = session.process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("polyglot did not exit within 10 s of \"quit\"")
    if code != 0:
        raise Failure(f"polyglot exited with code {code}")
    if session.wait_log(r"Child exited with status 0\.", 1) is None:
        raise Failure("the engine did not exit with status 0")


def run(polyglot, engine, workdir):
    session = Session(polyglot, engine, workdir)
    referee = Referee(engine)
    steps = [
        ("handshake", lambda: check_handshake(session)),
        ("clock game with pondering", lambda: " ".join(play_clock_game(session, referee))),
        ("white promotes", lambda: check_promotion(session, referee, WHITE_PROMOTES_FEN, "b7b8q")),
        ("black promotes", lambda: check_promotion(session, referee, BLACK_PROMOTES_FEN, "b2b1q")),
        ("analysis", lambda: check_analysis(session)),
        ("move now", lambda: f"moved {check_move_now(session, referee):.2f} s after \"?\""),
        ("quit", lambda: check_quit(session)),
    ]
    try:
        for name, step in steps:
            started = time.monotonic()
            detail = step()
            print(f"ok   {name} ({time.monotonic() - started:.1f} s)" + (f": {detail}" if detail else ""))
        return 0
    except Failure as failure:
        print(f"FAIL {name}: {failure}")
        print("--- last client lines:")
        print("\n".join(session.io.seen[-15:]))
        if os.path.exists(session.log_path):
            print("--- end of the polyglot log:")
            print("\n".join(session.log_lines()[-30:]))
        return 1
    finally:
        referee.close()
        if session.process.poll() is None:
            session.process.kill()
            session.process.wait()


def main():
    if len(sys.argv) != 2 or not os.access(sys.argv[1], os.X_OK):
        print("usage: polyglot_test.py ENGINE (path of the built engine)", file=sys.stderr)
        return 2
    polyglot = find_polyglot()
    if polyglot is None:
        if os.environ.get("OSTREVALK_REQUIRE_POLYGLOT"):
            print("FAIL polyglot not found (OSTREVALK_REQUIRE_POLYGLOT is set)")
            return 1
        print("SKIP polyglot not found (apt-get install polyglot); set "
              "OSTREVALK_REQUIRE_POLYGLOT to make this a failure")
        return 0
    # A hang anywhere ends the run instead of blocking CI.
    signal.signal(signal.SIGALRM, lambda *_: (print("FAIL the whole run took too long"), os._exit(1)))
    signal.alarm(TOTAL_TIMEOUT)
    with tempfile.TemporaryDirectory(prefix="ostrevalk-polyglot-") as workdir:
        return run(polyglot, sys.argv[1], workdir)


if __name__ == "__main__":
    sys.exit(main())
