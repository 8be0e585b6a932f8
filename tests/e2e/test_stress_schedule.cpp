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
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

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
    EngineProcess referee{engineUnderTest(), WithPerft};
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
            const char* const lines[] = {"go infinite", "go", "go searchmoves e2e4 infinite", "go wtime 500 infinite"};
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
