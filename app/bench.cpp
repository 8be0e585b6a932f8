#include "app/bench.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <sstream>
#include <vector>

#include "app/options.h"
#include "app/output.h"
#include "search/search.h"
#include "search/tt.h"

const char* const BenchPositions[BenchPositionCount] = {
    "8/1p3k2/p3p1p1/P3P1Kp/1PB2P2/6P1/2b5/8 w - - 0 54",
    "r1bq1r1k/p1pnbpp1/1p2p3/6p1/3PB3/5N2/PPPQ1PPP/2KR3R w - -",
    "r1b2rk1/1p1nbppp/pq1p4/3B4/P2NP3/2N1p3/1PP3PP/R2Q1R1K w - -",
    "2q2r2/3n1p2/p2p2k1/3PpRp1/P1n1P3/2P2QB1/1rB1R1P1/6K1 w - -",
    "r3r1kb/1npb1p1p/2q2np1/4p1B1/ppP1P2Q/1P2RNNP/P1B2PP1/3R2K1 w - -",
    "1rbq1rk1/p1b1nppp/1p2p3/8/1B1pN3/P2B4/1P3PPP/2RQ1R1K w - -",
    "2r4k/pB4bp/1p4p1/6q1/1P1n4/2N5/P4PPP/2R1Q1K1 b - -",
    "r2q1r1k/1b1nN2p/pp3pp1/8/Q7/PP5P/1BP2RPN/7K w - -",
    "r3k2r/pbn2ppp/8/1P1pP3/P1qP4/5B2/3Q1PPP/R3K2R w KQkq -",
    "3r2k1/ppq2pp1/4p2p/3n3P/3N2P1/2P5/PP2QP2/K2R4 b - -",
    "1r1q1rk1/pb1p1pbp/1p1Pp1p1/2p5/2PN1Bn1/P1NQ2P1/1P2PPBP/R4RK1 b - -",
    "rnbqk2r/p3bppp/4p3/8/2BPn3/5N2/5PPP/RNBQR1K1 b kq -",
    "5rk1/p2nb1pp/4b3/4pp2/B7/4B1P1/PrPN1P1P/R3R1K1 b - -",
    "r1bq1rk1/pp2bppp/2Nppn2/6B1/4P3/2N5/PPPQ1PPP/2KR1B1R b - -",
    "2B2k2/1R6/2p2p2/p7/3P1P2/b1r3P1/6K1/8 w - -",
    "r1r1q1k1/pp1nbp1p/2b1p1pP/3pP1N1/P2P4/2PB1QP1/3B1P2/R4RK1 w - -",
    "5nk1/6pp/1n1Bp3/1p6/p4p2/3BNP2/5P1P/5K2 w - -",
    "3k4/8/7p/2B2R1P/5P1r/3K4/1r3P2/8 w - -",
    "r2q1rk1/1p2ppbp/3nb1p1/p1QpN3/3P4/6P1/PP1BPPBP/R2R2K1 w ",
};

namespace {

constexpr int32_t DefaultDepth = 12;
constexpr int32_t DefaultRuns = 1;
// Two-sided 95% range of a normal distribution, in standard deviations.
constexpr double Confidence95 = 1.96;

// The system clock in ticks of 100 ns.
int64_t wallTicks() {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double ticksToSeconds(int64_t ticks) { return double(ticks) * 100 * 1e-9; }

// Truncation toward zero into 32 bits, saturating instead of overflowing.
int32_t truncate32(double x) {
    if (!(x == x)) return 0;
    if (x >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (x <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return int32_t(x);
}

template <typename T>
void printValue(const char* label, const T& value) {
    std::ostringstream line;
    line << label << value;
    writeLine(line.str());
}

}  // namespace

BenchTotals benchCommand(std::istream& words, GameRecord& record) {
    int32_t depth = DefaultDepth;
    int32_t runs = DefaultRuns;
    int32_t value;
    if (words >> value) {
        depth = value;
        if (words >> value) runs = value;
    }
    if (depth < 1) depth = 1;
    if (runs < 1) runs = 1;

    const int64_t benchStart = wallTicks();
    std::vector<int32_t> rates;
    uint64_t totalNodes = 0;

    auto thread = std::make_unique<SearchThread>();
    for (int32_t run = 0; run < runs; run++) {
        // Every run starts from an empty table; the pawn and evaluation caches stay.
        clearTT();
        const int64_t runStart = wallTicks();
        uint64_t runNodes = 0;
        for (const char* fen : BenchPositions) {
            // A fixed depth on this thread: the search answers as soon as it
            // ends, and the info lines measure their time from here.
            setFromFen(fen, record.pos);
            clearSearchLimits(record.limits);
            record.limits.depthLimit = depth;
            record.limits.depthGiven = true;
            record.limits.untimed = true;
            copyOptionsInto(record.limits);
            startSearchControl(record.limits);
            prepareSearchThread(*thread, record);
            mainSearch(*thread);
            runNodes += Control.nodes.load(std::memory_order_relaxed);
        }
        int64_t elapsed = wallTicks() - runStart;
        if (elapsed <= 0) elapsed = 1;
        rates.push_back(truncate32(double(runNodes) / ticksToSeconds(elapsed)));
        totalNodes += runNodes;
    }

    printValue("Time     : ", ticksToSeconds(wallTicks() - benchStart));
    printValue("Nodes    : ", totalNodes);
    printValue("T1:      : ", 0.0);
    double sum = 0;
    for (int32_t rate : rates) sum += double(rate);
    const double mean = sum / runs;
    printValue("NPS(Mean): ", truncate32(mean));

    if (runs >= 2) {
        for (int32_t i = 0; i < runs; i++) {
            std::ostringstream line;
            line << "nps[" << i << "]" << rates[i];
            writeLine(line.str());
        }
        double squares = 0;
        for (int32_t rate : rates) squares += (double(rate) - mean) * (double(rate) - mean);
        const double sd = std::sqrt(squares / (runs - 1));
        printValue("StandDev : ", sd);
        std::ostringstream line;
        line << "95% Conf: " << mean - Confidence95 * sd << " - " << mean + Confidence95 * sd;
        writeLine(line.str());
    }
    return {totalNodes, truncate32(mean)};
}
