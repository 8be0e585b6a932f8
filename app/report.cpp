#include "app/report.h"

#include "app/dialect.h"
#include "app/output.h"
#include "search/reporter.h"

namespace {

std::string progressText(const SearchProgress& p) {
    return "info depth " + std::to_string(p.depth) + " seldepth " + std::to_string(p.selDepth);
}

std::string ratesText(const SearchProgress& p) {
    return " nodes " + std::to_string(p.nodes) + " nps " + std::to_string(p.nodes * 1000 / uint64_t(p.timeMs)) +
           " time " + std::to_string(p.timeMs);
}

void writeVariation(const SearchProgress& p, int multiPv, int score, const Move* pv, int pvLength) {
    std::string line = progressText(p) + " multipv " + std::to_string(multiPv) + scoreText(score) + ratesText(p) +
                       " hashfull " + std::to_string(p.hashfull) + " pv ";
    for (int i = 0; i < pvLength; i++) line += protocolMoveText(pv[i]) + ' ';
    writeLine(line);
}

// A bound is shown in centipawns even for mate values.
void writeBound(const SearchProgress& p, int score, bool lower, Move first) {
    std::string line = progressText(p) + " multipv 1 score cp " + std::to_string(score * 100 / ScoreUnitsPerPawn) +
                       (lower ? " lowerbound" : " upperbound") + ratesText(p);
    if (lower) line += " hashfull " + std::to_string(p.hashfull);
    line += " pv " + protocolMoveText(first);
    writeLine(line);
}

void writeBestMove(Move best, Move ponder) {
    if (best == MoveNone) {
        writeLine("bestmove (none)");
        return;
    }
    std::string line = "bestmove " + protocolMoveText(best);
    if (ponder != MoveNone) line += " ponder " + protocolMoveText(ponder);
    writeLine(line);
}

}  // namespace

void installReporter() { Reporter = SearchReporter{writeVariation, writeBound, writeBestMove}; }

std::string scoreText(int score) {
    if (score >= ScoreMateThreshold) return " score mate " + std::to_string((ScoreInfinite - score) / 2 + 1);
    if (score <= -ScoreMateThreshold) return " score mate " + std::to_string((-ScoreInfinite - score) / 2);
    return " score cp " + std::to_string(score * 100 / ScoreUnitsPerPawn);
}
