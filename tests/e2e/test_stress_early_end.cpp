// Searches ended early in every way a client ends them, one after another in
// one process, from positions that random moves reach.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

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
    EngineProcess referee{engineUnderTest(), WithPerft};
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

TEST(StressEarlyEnd, SearchesFromRandomPositions) { EarlyEndRun(27).run(30); }

// The soak's share ("make soak").
TEST(StressEarlyEnd, SlowThousandSearchesFromRandomPositions) { EarlyEndRun(2027).run(1000); }
