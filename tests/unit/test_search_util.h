// Helpers for the search tests: start-up tables, search records on the heap,
// moves by their text, and searches whose output is captured.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/report.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "search/ordering.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tt.h"
#include "test_init.h"

namespace searchtest {

// Board, search, king-danger and KPK tables and every cache, once per binary.
inline void initSearchTestTables() {
    static bool done = false;
    if (done) return;
    initTestTables();
    initSearchTables();
    installReporter();
    buildKpkBitbase();
    if (!ttSlots) allocateTT(16);
    if (!PawnHashTable.words) resizeCache(PawnHashTable, 1ULL << 16, (1ULL << 16) - 1);
    if (!EvalHashTable.words) resizeCache(EvalHashTable, 1ULL << 16, (1ULL << 16) - 1);
    done = true;
}

// A search record (large: the position's undo history) set up from FEN, with
// cleared limits and ordering tables, as the command loop prepares it.
inline std::unique_ptr<SearchThread> makeThread(const std::string& fen) {
    initSearchTestTables();
    auto thread = std::make_unique<SearchThread>();
    *thread = SearchThread{};
    GameRecord record;
    resetGameRecord(record);
    setFromFen(fen, record.pos);
    prepareSearchThread(*thread, record);
    return thread;
}

// The legal move of the position written as text, MoveNone if there is none.
inline Move moveByText(const Position& pos, const std::string& text) {
    Move moves[MaxMoves];
    int n = generateLegalMoves(pos, moves);
    for (int i = 0; i < n; i++)
        if (moveToText(moves[i]) == text) return moves[i];
    return MoveNone;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// Runs mainSearch on the record to the given depth with the flags lowered as
// "go" lowers them; returns every line it printed.
inline std::vector<std::string> runSearch(SearchThread& thread, int depth, int multiPv = 1) {
    thread.limits.depthLimit = depth;
    thread.limits.untimed = true;
    thread.limits.multiPv = multiPv;
    Control.stop = false;
    Control.ponderhit = false;
    Control.done = false;
    Control.nodes = 0;
    Control.startTime = nowMs();
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    mainSearch(thread);
    std::cout.rdbuf(old);
    return splitLines(captured.str());
}

}  // namespace searchtest

// One stage appended as the picker appends it (appendStageKeyed), each new
// entry's key turned back into its ordering score; every key must carry the
// entry's own place.
inline int appendStageScored(Stage stage, const Position& pos, const CheckInfo& ci, const OrderingContext& ctx,
                             Move candidate, Move* moves, int* scores, int count) {
    const int n = appendStageKeyed(stage, pos, ci, ctx, candidate, moves, scores, count);
    for (int i = count; i < n; i++) {
        EXPECT_EQ(orderKeyIndex(scores[i]), i);
        scores[i] = orderKeyScore(scores[i]);
    }
    return n;
}

// The order the picker hands a stage out in: moves[first, last) sorted by
// score, highest first, equal scores in generation order.
inline void sortStage(Move* moves, int* scores, int first, int last) {
    stableInsertionSort(scores, first, first + 1, last, [&](int to, int at) {
        rotateEntry(moves, to, at);
        rotateEntry(scores, to, at);
    });
}
