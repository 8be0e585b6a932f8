// Searches started, signalled and ended in rapid, seeded schedules, with
// option changes and new positions in between, against one engine process.
// Every reply is checked against what the protocol promises: one "bestmove"
// per "go", a legal move of the position searched, limits kept, "readyok" at
// once, a clean exit whatever is running.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

using Lines = std::vector<std::string>;

// Margins over a search's own limit, generous for a loaded two-core machine.
constexpr int MoveTimeMarginMs = 600 * SanitizerSlowdown;
constexpr int ClockMarginMs = 500 * SanitizerSlowdown;
constexpr int ReadyLatencyMs = 2000 * SanitizerSlowdown;
constexpr int SearchTimeoutMs = 20000 * SanitizerSlowdown;
constexpr int ExitTimeoutMs = 5000 * SanitizerSlowdown;
// How long a search that must wait for a command is watched for a bestmove
// of its own.
constexpr int QuietWatchMs = 300;
// The deepest fixed-depth search of a schedule: quick with eight threads
// and four lines even in a sanitizer build.
constexpr int MaxScheduleDepth = SanitizerSlowdown > 1 ? 3 : 4;
// "bench" searches this many positions, one bestmove each.
constexpr int BenchPositionCount = 19;

const char* const KingsOnly = "position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1";
const char* const Checkmated = "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";

// Positions of the schedules: quiet and sharp ones, both sides to move,
// castling and en passant, promotions, a single legal reply, and roots with
// no legal move at all (checkmate, stalemate).
const char* const SchedulePositions[] = {
    "position startpos",
    "position startpos moves e2e4",
    "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
    "position startpos moves d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5 f8e7",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1 moves a2a4",
    "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
    "position fen 8/1P4k1/8/8/8/8/5Kp1/8 w - - 0 1",
    "position fen 8/1P4k1/8/8/8/8/5Kp1/8 b - - 0 1",
    "position fen 4k3/8/8/8/8/8/4q3/4K3 w - - 0 1",
    "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1",
    KingsOnly,
    Checkmated,
    "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
};

enum class JobKind { Depth, Nodes, MoveTime, Clock, Unbounded, Ponder, Bench };

// One "go" (or "bench") and what has happened to it so far.
struct Job {
    JobKind kind = JobKind::Depth;
    std::string position;        // the position command in force at the "go"
    bool awaitsCommand = false;  // may answer only after stop, ponderhit, go, bench or quit
    bool unending = false;       // ends only by a command in practice: a following go stops it
    int limit = 0;               // depth, move time or clock time in ms
    long long sentAt = 0;
    bool released = false;  // a command that may end it was sent after it
    bool stopSent = false;  // it may have been cut short
    long long ponderhitAt = 0;
    int deepestInfo = 0;
    int lines = 1;  // MultiPv in force at the "go"
    Lines output;   // its info lines, then its bestmove
    int benchBestmoves = 0;
    long long doneAt = 0;
};

// One engine session driven by a seeded schedule, plus a second engine that
// tells which moves are legal where.
struct ScheduleRun {
    ScheduleRun(uint32_t seed_, int maxThreads_) : seed(seed_), maxThreads(maxThreads_), rng(seed_) {}

    uint32_t seed;
    int maxThreads;
    std::mt19937 rng;
    std::unique_ptr<EngineProcess> engine;
    EngineProcess referee;
    std::map<std::string, std::set<std::string>> legalCache;
    std::vector<Job> jobs;
    size_t firstOpen = 0;
    struct Ready {
        long long sentAt;
        int afterJob;  // index of the last job sent before it, -1 for none
    };
    std::deque<Ready> readies;
    std::deque<std::string> log;
    std::string position = "position startpos";
    int multiPv = 1;
    bool failed = false;
    int cycle = 0;
    int goCount = 0;
    int bestmoveCount = 0;
    int readyCount = 0;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    void note(const char* direction, const std::string& text) {
        log.push_back(std::to_string(monotonicMs() % 1000000) + " " + direction + " " + text.substr(0, 140));
        if (log.size() > 40) log.pop_front();
    }

    void fault(const std::string& what) {
        if (failed) return;
        failed = true;
        std::string tail;
        for (const std::string& entry : log) tail += "  " + entry + "\n";
        ADD_FAILURE() << what << "\nseed " << seed << ", cycle " << cycle << "; last lines sent (>) and read (<):\n"
                      << tail;
    }

    bool idle() const { return firstOpen == jobs.size(); }

    void start() {
        engine = std::make_unique<EngineProcess>();
        jobs.clear();
        firstOpen = 0;
        readies.clear();
        position = "position startpos";
        multiPv = 1;
        if (!engine->running()) fault("the engine did not start");
    }

    void send(const std::string& text) {
        note(">", text);
        if (!engine->send(text, 10000 * SanitizerSlowdown)) fault("the engine stopped reading: " + text);
        const std::string multiPvOption = "setoption name MultiPv value ";
        if (startsWith(text, multiPvOption)) multiPv = std::atoi(text.c_str() + multiPvOption.size());
        const long long now = monotonicMs();
        for (size_t i = firstOpen; i < jobs.size(); i++) {
            Job& job = jobs[i];
            if (startsWith(text, "go") || startsWith(text, "bench") || text == "quit") {
                job.released = true;  // stops an unbounded search, waits for a bounded one
                if (job.unending) job.stopSent = true;
            } else if (text == "stop") {
                job.released = job.stopSent = true;
            } else if (text == "ponderhit") {
                job.released = true;
                job.ponderhitAt = now;
            }
        }
    }

    // A search that awaits a command is unending; so is one with a depth of
    // 100 or more, which may answer by itself once its iterations run out.
    void startJob(JobKind kind, const std::string& line, bool awaits, int limit) {
        send(line);
        Job job;
        job.kind = kind;
        job.position = position;
        job.awaitsCommand = awaits;
        job.unending = awaits || (kind == JobKind::Depth && limit >= 100);
        job.limit = limit;
        job.lines = multiPv;
        job.sentAt = monotonicMs();
        jobs.push_back(job);
        if (kind != JobKind::Bench) goCount++;
    }

    void askReady() {
        send("isready");
        readies.push_back({monotonicMs(), int(jobs.size()) - 1});
    }

    const std::set<std::string>& legalMoves(const std::string& positionCommand) {
        auto found = legalCache.find(positionCommand);
        if (found != legalCache.end()) return found->second;
        bool ok = false;
        referee.send(positionCommand);
        std::set<std::string> moves = legalMovesOfCurrent(referee, ok);
        if (!ok) fault("the referee engine gave no move list for " + positionCommand);
        return legalCache[positionCommand] = moves;
    }

    // Reads and checks output for ms milliseconds.
    void pump(int ms) {
        const long long end = monotonicMs() + ms;
        while (!failed) {
            const long long left = end - monotonicMs();
            auto line = engine->readLine(int(std::max(0LL, left)));
            if (!line) break;
            handle(*line);
        }
    }

    // Reads until every job has answered and every "isready" is answered.
    void drain(int timeoutMs) {
        const long long end = monotonicMs() + timeoutMs;
        while (!failed && (!idle() || !readies.empty())) {
            const long long left = end - monotonicMs();
            if (left <= 0) return fault("no answer within " + std::to_string(timeoutMs) + " ms");
            auto line = engine->readLine(int(left));
            if (!line) {
                if (engine->outputEnded) return fault("the engine's output ended");
                continue;
            }
            handle(*line);
        }
    }

    void handle(const std::string& line) {
        if (startsWith(line, "info ")) {
            if (idle()) return fault("an info line with no search running: " + line);
            if (startsWith(line, "info depth ")) {
                Job& job = jobs[firstOpen];
                job.deepestInfo = std::max(job.deepestInfo, std::atoi(line.c_str() + 11));
                if (job.kind != JobKind::Bench) job.output.push_back(line);
            }
            return;
        }
        note("<", line);
        if (line == "readyok") return readyAnswered();
        if (startsWith(line, "bestmove")) {
            if (idle()) return fault("a bestmove with no search running");
            Job& job = jobs[firstOpen];
            if (job.kind != JobKind::Bench) return searchAnswered(job, line);
            if (++job.benchBestmoves > BenchPositionCount) fault("too many bestmoves from bench");
            return;
        }
        for (const char* stat : {"Time     : ", "Nodes    : ", "T1:      : ", "NPS(Mean): "}) {
            if (!startsWith(line, stat)) continue;
            if (idle() || jobs[firstOpen].kind != JobKind::Bench) return fault("bench output with no bench");
            if (startsWith(line, "NPS(Mean): ")) {
                Job& job = jobs[firstOpen];
                if (job.benchBestmoves != BenchPositionCount) fault("bench ended with too few bestmoves");
                job.doneAt = monotonicMs();
                firstOpen++;
            }
            return;
        }
        fault("unexpected output: " + line);
    }

    void readyAnswered() {
        const long long now = monotonicMs();
        if (readies.empty()) return fault("a readyok nobody asked for");
        const Ready ready = readies.front();
        readies.pop_front();
        readyCount++;
        // The loop reads "isready" only after the "go" before it has
        // started, that is after the search before that "go" has ended; a
        // bench occupies the loop until it is done.
        long long from = ready.sentAt;
        if (ready.afterJob >= 0) {
            const int waited = jobs[ready.afterJob].kind == JobKind::Bench ? ready.afterJob : ready.afterJob - 1;
            if (waited >= 0) {
                if (jobs[waited].doneAt == 0) return fault("readyok before the search it had to wait for ended");
                from = std::max(from, jobs[waited].doneAt);
            }
        }
        if (now - from > ReadyLatencyMs) fault("readyok took " + std::to_string(now - from) + " ms");
    }

    void searchAnswered(Job& job, const std::string& line) {
        const long long now = monotonicMs();
        const size_t index = firstOpen++;
        job.doneAt = now;
        bestmoveCount++;
        if (job.awaitsCommand && !job.released) return fault("a search that waits for a command ended by itself");
        // The agreement of bestmove and pv is a single-line promise.
        job.output.push_back(line);
        const std::string answer = answerFault(job.output, job.lines == 1);
        if (!answer.empty()) return fault(answer);

        std::string best, ponder;
        splitBestmove(line, best, ponder);
        const std::set<std::string>& legal = legalMoves(job.position);
        if (legal.empty()) {
            if (line != "bestmove (none)") return fault("no legal move in " + job.position + ", yet " + line);
        } else {
            if (!legal.count(best)) return fault(best + " is not a legal move in " + job.position);
            if (!ponder.empty() && !legalMoves(withMove(job.position, best)).count(ponder))
                return fault("ponder move " + ponder + " is not a legal reply to " + best + " in " + job.position);
        }

        // A search starts when the one before it has ended.
        long long startedAt = job.sentAt;
        if (index > 0) startedAt = std::max(startedAt, jobs[index - 1].doneAt);
        const long long took = now - startedAt;
        if (job.kind == JobKind::MoveTime && took > job.limit + MoveTimeMarginMs)
            fault("movetime " + std::to_string(job.limit) + " took " + std::to_string(took) + " ms");
        if (job.kind == JobKind::Clock && took > job.limit + ClockMarginMs)
            fault("a clock of " + std::to_string(job.limit) + " ms took " + std::to_string(took) + " ms");
        // A "ponderhit" sent while the ponder search still waited behind
        // another one takes effect when the ponder search starts.
        const long long hitAt = std::max(job.ponderhitAt, startedAt);
        if (job.kind == JobKind::Ponder && job.ponderhitAt != 0 && !job.stopSent &&
            now - hitAt > job.limit + ClockMarginMs)
            fault("after ponderhit a clock of " + std::to_string(job.limit) + " ms took " +
                  std::to_string(now - hitAt) + " ms");
        if (job.kind == JobKind::Depth && !job.stopSent && job.ponderhitAt == 0 && !legal.empty() &&
            job.deepestInfo != job.limit)
            fault("go depth " + std::to_string(job.limit) + " ended at depth " + std::to_string(job.deepestInfo));
    }

    std::string randomOption() {
        switch (pick(0, 6)) {
            case 0:
                return "setoption name Hash value " + std::to_string(1 << pick(0, 5));
            case 1:
                return "setoption name PawnHash value " + std::to_string(1 << pick(0, 3));
            case 2:
                return "setoption name EvalHash value " + std::to_string(1 << pick(0, 2));
            case 3:
                return "setoption name MultiPv value " + std::to_string(pick(1, 4));
            case 4:
                return "setoption name Clear Hash";
            case 5:
                return "setoption name hash value " + std::to_string(pick(1, 40));
            default:
                return "setoption name Threads value " + std::to_string(pick(1, maxThreads));
        }
    }

    // A search of a random kind; returns whether it must be told to end.
    bool randomSearch() {
        const int r = pick(0, 99);
        if (r < 22) {
            const int depth = pick(1, MaxScheduleDepth);
            startJob(JobKind::Depth, "go depth " + std::to_string(depth), false, depth);
            return false;
        }
        if (r < 34) {
            startJob(JobKind::Nodes, "go nodes " + std::to_string(pick(1, 40000)), false, 0);
            return false;
        }
        if (r < 52) {
            const int ms = pick(5, 80);
            startJob(JobKind::MoveTime, "go movetime " + std::to_string(ms), false, ms);
            return false;
        }
        if (r < 70) {
            const int ms = pick(200, 1500), inc = pick(0, 30);
            std::string line = "go wtime " + std::to_string(ms) + " btime " + std::to_string(ms) + " winc " +
                               std::to_string(inc) + " binc " + std::to_string(inc);
            if (pick(0, 2) == 0) line += " movestogo " + std::to_string(pick(1, 30));
            startJob(JobKind::Clock, line, false, ms);
            return false;
        }
        if (r < 84) {
            const char* const lines[] = {"go infinite", "go", "go  ", "go wtime 500 infinite"};
            const int which = pick(0, 4);
            if (which == 4)
                startJob(JobKind::Depth, "go depth 100", false, 100);
            else
                startJob(JobKind::Unbounded, lines[which], true, 0);
            return true;
        }
        if (r < 98) {
            const int ms = pick(300, 1500);
            startJob(JobKind::Ponder, "go ponder wtime " + std::to_string(ms) + " btime " + std::to_string(ms), true,
                     ms);
            return true;
        }
        startJob(JobKind::Bench, "bench 1", false, 0);
        // Bench leaves the last benchmark position behind.
        position = SchedulePositions[pick(0, int(std::size(SchedulePositions)) - 1)];
        send(position);
        return false;
    }

    void runCycle() {
        // 1. Set the stage: positions, options, signals with nothing to
        //    signal, questions.
        for (int n = pick(0, 3); n > 0; n--) {
            const int r = pick(0, 99);
            if (r < 40) {
                position = SchedulePositions[pick(0, int(std::size(SchedulePositions)) - 1)];
                send(position);
            } else if (r < 72) {
                send(randomOption());
            } else if (r < 80) {
                send("newgame");
            } else if (r < 92 || !idle()) {
                askReady();
            } else {
                send(pick(0, 1) ? "stop" : "ponderhit");
            }
        }

        // 2. The search, and 3. what happens to it.
        const bool needsEnding = randomSearch();
        const bool ponder = jobs.back().kind == JobKind::Ponder;
        const int r = pick(0, 99);
        if (r < 30) {
            pump(pick(0, 40));
            if (ponder && pick(0, 1))
                send("ponderhit");
            else if (needsEnding)
                send("stop");
            drain(SearchTimeoutMs);
        } else if (r < 55) {
            pump(pick(0, 25));
            send(ponder && pick(0, 1) ? "ponderhit" : "stop");
        } else if (r < 70) {
            for (int n = pick(1, 6); n > 0; n--) askReady();
        }
        // Otherwise the next "go" meets this search still running.

        // Keep the queue of waiting commands short.
        if (jobs.size() - firstOpen >= 3) {
            if (jobs.back().unending && !jobs.back().released) send("stop");
            drain(SearchTimeoutMs);
        }
        pump(0);
    }

    // Ends the session by "quit" or end of input, often mid-search.
    void finish() {
        const int r = pick(0, 5);
        bool closeInput = false;
        if (r == 0) {
            startJob(JobKind::MoveTime, "go movetime 300", false, 300);
            pump(pick(0, 50));
            send("quit");  // the bounded search prints its move first
        } else if (r == 1) {
            startJob(JobKind::Unbounded, "go infinite", true, 0);
            pump(pick(0, 50));
            send("quit");
        } else if (r == 2) {
            startJob(JobKind::Depth, "go depth 2", false, 2);
            closeInput = true;  // a bounded search finishes, then the engine exits
        } else if (r == 3) {
            startJob(JobKind::Ponder, "go ponder wtime 1000 btime 1000", true, 1000);
            closeInput = true;
        } else {
            send("quit");
        }
        if (closeInput) {
            note(">", "<end of input>");
            for (size_t i = firstOpen; i < jobs.size(); i++)
                if (jobs[i].unending) jobs[i].released = jobs[i].stopSent = true;
            engine->closeInput();
        }
        const long long begin = monotonicMs();
        const std::optional<int> code = engine->waitExit(ExitTimeoutMs);
        if (code != 0)
            fault("exit code " + (code ? std::to_string(*code) : std::string("missing")) + " after " +
                  std::to_string(monotonicMs() - begin) + " ms");
        while (!failed) {
            auto line = engine->readLine(0);
            if (!line) break;
            handle(*line);
        }
        if (!idle()) fault("a search gave no bestmove before the exit");
    }

    void run(int sessions, int cyclesPerSession) {
        for (int s = 0; s < sessions && !failed; s++) {
            start();
            for (int c = 0; c < cyclesPerSession && !failed; c++, cycle++) runCycle();
            if (!failed) finish();
        }
        if (!failed) {
            EXPECT_EQ(bestmoveCount, goCount) << "seed " << seed;
        }
    }
};

// Reads for ms milliseconds; fails on a bestmove among the lines.
void expectNoBestmoveFor(EngineProcess& engine, int ms) {
    const long long end = monotonicMs() + ms;
    while (monotonicMs() < end) {
        auto line = engine.readLine(int(end - monotonicMs()));
        if (!line) break;
        EXPECT_FALSE(startsWith(*line, "bestmove")) << "the search answered by itself: " << *line;
    }
}

// Reads until a line starts with prefix; the lines on the way are counted
// into bestmoves when they are bestmove lines, and the last one is kept.
std::optional<std::string> waitCounting(EngineProcess& engine, const std::string& prefix, int& bestmoves,
                                        std::string* lastBest = nullptr) {
    const long long end = monotonicMs() + SearchTimeoutMs;
    for (;;) {
        const long long left = end - monotonicMs();
        if (left <= 0) return std::nullopt;
        auto line = engine.readLine(int(left));
        if (!line) return std::nullopt;
        if (startsWith(*line, "bestmove")) {
            bestmoves++;
            if (lastBest) *lastBest = *line;
        }
        if (startsWith(*line, prefix)) return line;
    }
}

// Searches ended early in every way a client ends them (a move time of a
// few milliseconds, a short clock, a node limit, "stop" at a random moment
// of an infinite or ponder search), one after another in one process, from
// positions that random moves reach. Each answer is read as a client reads
// it: answerFault, a legal bestmove, a ponder move that is a legal reply.
struct EarlyEndRun {
    explicit EarlyEndRun(uint32_t seed_) : seed(seed_), rng(seed_) {}

    uint32_t seed;
    std::mt19937 rng;
    EngineProcess engine;
    EngineProcess referee;
    std::string position = "position startpos";
    int plies = 0;
    bool gameOver = false;
    int searches = 0;
    int faults = 0;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    std::set<std::string> legalMoves(const std::string& positionCommand) {
        bool ok = false;
        referee.send(positionCommand);
        std::set<std::string> moves = legalMovesOfCurrent(referee, ok);
        EXPECT_TRUE(ok) << "the referee engine gave no move list for " << positionCommand;
        return moves;
    }

    // A few random moves further into the game, or a fresh one; a game that
    // has ended starts again.
    std::set<std::string> nextPosition() {
        if (gameOver || plies > 160 || pick(0, 15) == 0) {
            position =
                pick(0, 1) ? "position startpos" : SchedulePositions[pick(0, int(std::size(SchedulePositions)) - 1)];
            plies = 0;
        }
        std::set<std::string> legal = legalMoves(position);
        for (int n = pick(1, 4); n > 0 && !legal.empty(); n--) {
            auto move = legal.begin();
            std::advance(move, pick(0, int(legal.size()) - 1));
            position = withMove(position, *move);
            plies++;
            legal = legalMoves(position);
        }
        gameOver = legal.empty();
        return legal;
    }

    void fault(const std::string& what, const Lines& output) {
        if (++faults > 5) return;
        std::string tail;
        for (size_t i = output.size() > 4 ? output.size() - 4 : 0; i < output.size(); i++)
            tail += "  " + output[i] + "\n";
        ADD_FAILURE() << what << "\nseed " << seed << ", search " << searches << ", " << position << "\n" << tail;
    }

    void search() {
        const std::set<std::string> legal = nextPosition();
        engine.send(position);
        const int kind = pick(0, 4);
        const int ms = pick(1, 40);
        Lines output;
        if (kind == 0) {
            engine.send("go movetime " + std::to_string(ms));
        } else if (kind == 1) {
            const std::string clock = std::to_string(pick(20, 400));
            engine.send("go wtime " + clock + " btime " + clock);
        } else if (kind == 2) {
            engine.send("go nodes " + std::to_string(pick(1, 30000)));
        } else {
            engine.send(kind == 3 ? "go infinite" : "go ponder wtime 5000 btime 5000");
            const long long stopAt = monotonicMs() + pick(0, 80);
            for (long long left; (left = stopAt - monotonicMs()) > 0;)
                if (auto line = engine.readLine(int(left))) output.push_back(*line);
            engine.send("stop");
        }
        searches++;
        // "go nodes" may reach its limit only at the end of an iteration, and
        // the positions reached include quick ones: stop whatever still runs.
        auto best = engine.waitFor("bestmove", 3000 * SanitizerSlowdown, &output);
        if (!best) {
            engine.send("stop");
            best = engine.waitFor("bestmove", SearchTimeoutMs, &output);
        }
        if (!best) return fault("no bestmove", output);
        const std::string answer = answerFault(output);
        if (!answer.empty()) return fault(answer, output);
        std::string move, ponder;
        splitBestmove(*best, move, ponder);
        if (legal.empty()) {
            if (*best != "bestmove (none)") fault("a move with none legal: " + *best, output);
            return;
        }
        if (!legal.count(move)) return fault(move + " is not legal", output);
        if (!ponder.empty() && !legalMoves(withMove(position, move)).count(ponder))
            fault("ponder move " + ponder + " is not a legal reply to " + move, output);
    }

    void run(int count) {
        ASSERT_TRUE(engine.running() && referee.running());
        // Every search is counted; only the first faults are described.
        while (searches < count && !engine.outputEnded) search();
        EXPECT_EQ(faults, 0) << faults << " of " << searches << " early-ended searches broke a promise";
        EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
    }
};

}  // namespace

TEST(StressSchedule, SingleThreadCycles) {
    ScheduleRun run(20240611, 1);
    run.run(3, 150 / SanitizerSlowdown + 5);
}

// Up to eight search threads sharing the caches while the loop resizes and
// clears them. "make tsan" runs it under ThreadSanitizer.
TEST(StressSchedule, ThreadsCycles) {
    ScheduleRun run(977, 8);
    run.run(3, 130 / SanitizerSlowdown + 5);
}

TEST(StressSchedule, SlowThousandsOfCycles) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        ScheduleRun run(seed, 8);
        run.run(5, 300);
    }
}

TEST(StressEarlyEnd, SearchesFromRandomPositions) { EarlyEndRun(27).run(30); }

// The soak's share ("make soak").
TEST(StressEarlyEnd, SlowThousandSearchesFromRandomPositions) { EarlyEndRun(2027).run(1000); }

TEST(StressGo, GoRightAfterAnUnboundedSearch) {
    EngineProcess engine;
    bool ok = false;
    const std::set<std::string> legal = legalMovesOfCurrent(engine, ok);
    ASSERT_TRUE(ok);
    // Each pair: the first search can only end by a command, the second
    // line starts right behind it. Neither may deadlock or lose a bestmove.
    const std::vector<std::pair<const char*, const char*>> pairs = {
        {"go infinite", "go depth 1"},        {"go", "go movetime 20"},
        {"go ponder", "go nodes 100"},        {"go infinite", "go infinite"},
        {"go ponder wtime 999", "go ponder"}, {"go depth 100", "go wtime 300 btime 300"},
    };
    for (int round = 0; round < 5; round++) {
        for (const auto& [first, second] : pairs) {
            engine.send(first);
            engine.send(second);
            engine.send("stop");  // ends the second when it is unbounded too
            for (int i = 0; i < 2; i++) {
                auto best = engine.waitFor("bestmove", SearchTimeoutMs);
                ASSERT_TRUE(best) << first << " / " << second;
                std::string move, ponder;
                splitBestmove(*best, move, ponder);
                EXPECT_TRUE(legal.count(move)) << *best;
            }
            bool ready = false;
            EXPECT_EQ(engine.roundTrip("", ReadyLatencyMs, &ready).size(), 0u) << first << " / " << second;
            EXPECT_TRUE(ready);
        }
    }
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

TEST(StressGo, BenchRightAfterASearch) {
    EngineProcess engine;
    for (const char* go : {"go infinite", "go", "go ponder wtime 1000 btime 1000", "go depth 3"}) {
        engine.send("position startpos moves e2e4");
        engine.send(go);
        engine.send("bench 1");
        int bestmoves = 0;
        std::string first;
        Lines seen;
        // The search answers first (a bounded one after its last iteration),
        // then the benchmark runs its positions.
        auto best = engine.waitFor("bestmove", SearchTimeoutMs, &seen);
        ASSERT_TRUE(best) << go;
        if (std::string(go) == "go depth 3") {
            EXPECT_NE(std::find_if(seen.begin(), seen.end(),
                                   [](const std::string& l) { return startsWith(l, "info depth 3 "); }),
                      seen.end());
        }
        ASSERT_TRUE(waitCounting(engine, "NPS(Mean): ", bestmoves)) << go;
        EXPECT_EQ(bestmoves, BenchPositionCount) << go;
        EXPECT_EQ(engine.roundTrip(""), Lines{}) << go;
    }
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

// Two kings only: every line is a draw at once, so the iterations reach
// depth 100 within milliseconds. A checkmated side has no move at all.
TEST(StressPonder, IterationsRunOutThenTheCommandAnswersAtOnce) {
    EngineProcess engine;
    struct Case {
        const char* position;
        const char* go;
        const char* wake;
        const char* lastInfo;  // nullptr: no info line (no legal move)
    };
    const Case cases[] = {
        {KingsOnly, "go infinite", "stop", "info depth 100 "},
        {KingsOnly, "go ponder", "ponderhit", "info depth 100 "},
        {KingsOnly, "go ponder wtime 100000 btime 100000", "ponderhit", "info depth 100 "},
        {"position startpos", "go ponder depth 3", "ponderhit", "info depth 3 "},
        {Checkmated, "go ponder", "ponderhit", nullptr},
        {Checkmated, "go infinite", "stop", nullptr},
    };
    for (const Case& c : cases) {
        engine.send(c.position);
        engine.send(c.go);
        if (c.lastInfo) {
            ASSERT_TRUE(engine.waitFor(c.lastInfo, SearchTimeoutMs)) << c.go;
        }
        expectNoBestmoveFor(engine, QuietWatchMs);
        const long long woken = monotonicMs();
        engine.send(c.wake);
        auto best = engine.waitFor("bestmove", SearchTimeoutMs);
        ASSERT_TRUE(best) << c.go;
        EXPECT_LT(monotonicMs() - woken, 500 * SanitizerSlowdown) << c.go;
        if (c.lastInfo == nullptr) {
            EXPECT_EQ(*best, "bestmove (none)");
        } else {
            EXPECT_NE(*best, "bestmove (none)");
        }
    }
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

TEST(StressIdle, StopAndPonderhitWithNoSearchAreHarmless) {
    EngineProcess engine;
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(engine.roundTrip("stop"), Lines{});
        EXPECT_EQ(engine.roundTrip("ponderhit"), Lines{});
    }
    // A raised flag left over from idle time touches no later search: the
    // depth search runs all its iterations, the move time is used, and an
    // infinite search still waits for its own "stop".
    engine.send("go depth 4");
    ASSERT_TRUE(engine.waitFor("info depth 4 ", SearchTimeoutMs));
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs));
    engine.send("stop");
    const long long start = monotonicMs();
    engine.send("go movetime 300");
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs));
    EXPECT_GE(monotonicMs() - start, 250);
    engine.send("ponderhit");
    engine.send("stop");
    engine.send("go infinite");
    expectNoBestmoveFor(engine, QuietWatchMs);
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SanitizerSlowdown));
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

// A burst of commands while two threads search: every "isready" answered,
// and the position commands in between applied in order.
TEST(StressIsready, BurstDuringASearchThreads) {
    EngineProcess engine;
    const std::string start = engine.roundTrip("hash").at(0);
    const std::string e4 = engine.roundTrip("position startpos moves e2e4\nhash").at(0);
    ASSERT_NE(start, e4);
    engine.send("setoption name Threads value 2");
    engine.send("position startpos");
    engine.send("go infinite");
    std::string burst;
    for (int i = 0; i < 100; i++) {
        burst += "isready\n";
        if (i % 10 == 9) burst += (i % 20 == 9 ? "position startpos moves e2e4\nhash\n" : "position startpos\nhash\n");
    }
    const long long sent = monotonicMs();
    ASSERT_TRUE(engine.sendRaw(burst));
    std::string order, expected;
    for (int i = 0; i < 100; i++) {
        expected += 'r';
        if (i % 10 == 9) expected += i % 20 == 9 ? 'e' : 's';
    }
    while (order.size() < expected.size()) {
        auto line = engine.readLine(ReadyLatencyMs);
        ASSERT_TRUE(line) << "answered so far: " << order;
        ASSERT_FALSE(startsWith(*line, "bestmove")) << "the search ended by itself";
        if (startsWith(*line, "info ")) continue;
        order += *line == "readyok" ? 'r' : *line == e4 ? 'e' : *line == start ? 's' : '?';
    }
    EXPECT_EQ(order, expected);
    EXPECT_LT(monotonicMs() - sent, ReadyLatencyMs);
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SanitizerSlowdown));
    EXPECT_EQ(engine.quit(ExitTimeoutMs), 0);
}

TEST(StressExit, QuitAndEndOfInputDuringSearchesThreads) {
    // "quit" ends a search that only a command could end at once; one with a
    // limit of its own prints its move when it gets there, then the exit.
    for (const char* go : {"go infinite", "go ponder", "go depth 200", "go", "go movetime 400", "go depth 3",
                           "go wtime 2000 btime 2000", "go nodes 30000"}) {
        EngineProcess engine;
        engine.send("setoption name Threads value 3");
        engine.send(go);
        engine.readLine(50);
        const long long quitAt = monotonicMs();
        engine.send("quit");
        EXPECT_TRUE(engine.waitFor("bestmove", 3000 * SanitizerSlowdown)) << go;
        EXPECT_EQ(engine.waitExit(3000 * SanitizerSlowdown), 0) << go;
        EXPECT_LT(monotonicMs() - quitAt, 3000 * SanitizerSlowdown) << go;
    }
    // End of input stops a search that waits for a command; a bounded one
    // finishes first. Searches queued behind bounded ones all answer.
    for (const char* go : {"go infinite", "go", "go ponder wtime 1000 btime 1000", "go movetime 200",
                           "go depth 3\ngo depth 2\ngo movetime 50\ngo depth 1\ngo infinite"}) {
        EngineProcess engine;
        engine.send("setoption name Threads value 3");
        engine.send(go);
        engine.closeInput();
        const int expected = int(std::count(go, go + std::string(go).size(), '\n')) + 1;
        int bestmoves = 0;
        for (;;) {
            auto line = engine.readLine(5000 * SanitizerSlowdown);
            if (!line) break;
            bestmoves += startsWith(*line, "bestmove");
        }
        EXPECT_EQ(bestmoves, expected) << go;
        EXPECT_EQ(engine.waitExit(3000 * SanitizerSlowdown), 0) << go;
    }
}
