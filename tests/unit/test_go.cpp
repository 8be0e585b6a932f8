// Parsing the words of a "go" line into the search limits, what the start of
// a search makes of them, and the clearing of the limits by "position".
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "app/go.h"
#include "app/protocol.h"
#include "search/state.h"
#include "test_common.h"

namespace {

// A record after "position": cleared limits, the given side to move.
std::unique_ptr<GameRecord> recordToMove(int side) {
    auto record = std::make_unique<GameRecord>();
    clearSearchLimits(record->limits);
    record->pos.sideToMove = uint8_t(side);
    return record;
}

// A "position" line given to the command as the loop gives it.
void position(const std::string& line, GameRecord& record) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    positionCommand(words, line, record);
}

SearchLimits parsed(const char* words, int side = White) {
    auto record = recordToMove(side);
    std::istringstream stream(words);
    parseGoLimits(stream, *record);
    return record->limits;
}

}  // namespace

TEST(GoLimits, OnlyTheClockOfTheSideToMoveCounts) {
    SearchLimits black = parsed("wtime 900 btime 800 winc 20 binc 10", Black);
    EXPECT_EQ(black.timeLeft, 800);
    EXPECT_EQ(black.increment, 10);
    SearchLimits white = parsed("wtime 900 btime 800 winc 20 binc 10", White);
    EXPECT_EQ(white.timeLeft, 900);
    EXPECT_EQ(white.increment, 20);
    // The other side's number is read as a word of its own and skipped.
    SearchLimits other = parsed("btime 800", White);
    EXPECT_EQ(other.timeLeft, -1);
    EXPECT_FALSE(other.untimed);
    EXPECT_EQ(other.depthLimit, 100);
    EXPECT_EQ(other.nodeLimit, -1);
}

TEST(GoLimits, EveryKeyword) {
    SearchLimits l = parsed("movestogo 12 depth 7 nodes 5000 movetime 250");
    EXPECT_EQ(l.movesToGo, 12);
    EXPECT_EQ(l.depthLimit, 7);
    EXPECT_EQ(l.nodeLimit, 5000);
    EXPECT_EQ(l.moveTime, 250);
    EXPECT_TRUE(l.untimed);
    EXPECT_FALSE(l.ponderStart);

    SearchLimits ponder = parsed("ponder wtime 1000 btime 1000");
    EXPECT_TRUE(ponder.untimed);
    EXPECT_TRUE(ponder.ponderStart);
    EXPECT_EQ(ponder.timeLeft, 1000);

    EXPECT_TRUE(parsed("infinite").untimed);
    EXPECT_EQ(parsed("infinite").depthLimit, 100);
    SearchLimits skipped = parsed("searchmoves e2e4 depth 5");
    EXPECT_EQ(skipped.depthLimit, 5);
}

TEST(GoLimits, BadNumberEndsTheReading) {
    SearchLimits l = parsed("depth x movetime 300");
    EXPECT_EQ(l.depthLimit, 100);
    EXPECT_TRUE(l.untimed);  // the keyword counts even without its number
    EXPECT_EQ(l.moveTime, 0);
    // A number beyond 32 bits does not parse either.
    SearchLimits big = parsed("wtime 99999999999 depth 3");
    EXPECT_EQ(big.timeLeft, -1);
    EXPECT_EQ(big.depthLimit, 100);
    EXPECT_EQ(parsed("wtime -50").timeLeft, -50);
    EXPECT_EQ(parsed("depth").depthLimit, 100);
}

TEST(GoLimits, NothingOfThePreviousGoCarriesOver) {
    auto record = recordToMove(White);
    std::istringstream first("depth 3 nodes 9 movestogo 5 movetime 7 ponder wtime 400 winc 5");
    parseGoLimits(first, *record);
    // A clocked go after an untimed one must search on the clock: a leftover
    // untimed mark would let it run past the clock and lose on time.
    std::istringstream second("btime 900");
    parseGoLimits(second, *record);
    EXPECT_EQ(record->limits.depthLimit, 100);
    EXPECT_EQ(record->limits.nodeLimit, -1);
    EXPECT_EQ(record->limits.movesToGo, 0);
    EXPECT_EQ(record->limits.moveTime, 0);
    EXPECT_FALSE(record->limits.ponderStart);
    EXPECT_FALSE(record->limits.untimed);
    EXPECT_EQ(record->limits.timeLeft, -1);
    EXPECT_EQ(record->limits.increment, 0);

    std::istringstream third("infinite");
    parseGoLimits(third, *record);
    std::istringstream fourth("wtime 10000 btime 10000");
    parseGoLimits(fourth, *record);
    EXPECT_FALSE(record->limits.untimed);
    EXPECT_EQ(record->limits.timeLeft, 10000);
}

namespace {

// The control record as startSearchControl leaves it for the limits of a "go" line.
struct Started {
    bool awaitsCommand;
    bool unbounded;
};

Started startedFor(const char* words) {
    const SearchLimits limits = parsed(words);
    startSearchControl(limits);
    return {Control.awaitsCommand.load(), Control.unbounded.load()};
}

}  // namespace

TEST(GoLimits, WhichSearchesWaitForACommand) {
    // Infinite and ponder searches answer only when told, and only a command ends them.
    for (const char* words : {"infinite", "ponder wtime 1000 btime 1000", "ponder movetime 50"}) {
        const Started s = startedFor(words);
        EXPECT_TRUE(s.awaitsCommand) << words;
        EXPECT_TRUE(s.unbounded) << words;
    }
    // A depth of 100 or more answers by itself but may run for ever.
    Started deep = startedFor("depth 100");
    EXPECT_FALSE(deep.awaitsCommand);
    EXPECT_TRUE(deep.unbounded);
    // Any limit of its own ends the search without a command.
    for (const char* words : {"depth 5", "movetime 100", "nodes 1000", "wtime 1000 btime 1000", "infinite nodes 9"}) {
        const Started s = startedFor(words);
        EXPECT_FALSE(s.awaitsCommand) << words;
        EXPECT_FALSE(s.unbounded) << words;
    }
}

TEST(GoLimits, EveryStartLowersTheFlagsAndCommandsRaiseThem) {
    commandStop();
    Control.done = true;
    Control.nodes = 12345;
    Control.ponderhit = true;
    startedFor("infinite");
    EXPECT_FALSE(Control.stop.load());
    EXPECT_FALSE(Control.stopCommanded.load());
    EXPECT_FALSE(Control.ponderhit.load());
    EXPECT_FALSE(Control.done.load());
    EXPECT_EQ(Control.nodes.load(), 0u);
    EXPECT_LE(Control.startTime.load(), nowMs());

    // "ponderhit" lets the search answer by itself; "stop" ends it.
    commandPonderhit();
    EXPECT_TRUE(Control.ponderhit.load());
    EXPECT_FALSE(Control.awaitsCommand.load());
    EXPECT_FALSE(Control.unbounded.load());
    EXPECT_FALSE(Control.stop.load());
    commandStop();
    EXPECT_TRUE(Control.stop.load());
    EXPECT_TRUE(Control.stopCommanded.load());
    // The waiter does not block once either has come.
    waitForStopOrPonderhit();
    startedFor("depth 1");
}

TEST(GoLimits, PositionSetUpClearsThem) {
    initTestTables();
    auto record = std::make_unique<GameRecord>();
    resetGameRecord(*record);
    setFromFen(StartFen, record->pos);
    record->limits.depthLimit = 7;
    record->limits.untimed = true;
    position("position startpos moves e2e4 e7e5", *record);
    EXPECT_EQ(record->limits.depthLimit, -1);
    EXPECT_EQ(record->limits.timeLeft, -1);
    EXPECT_EQ(record->limits.nodeLimit, -1);
    EXPECT_FALSE(record->limits.untimed);
    EXPECT_EQ(record->pos.sideToMove, White);
    EXPECT_EQ(record->pos.historyLength, 2);

    // No set-up, no clearing: only the moves are played.
    record->limits.depthLimit = 7;
    position("position foo moves g1f3", *record);
    EXPECT_EQ(record->limits.depthLimit, 7);
    EXPECT_EQ(record->pos.historyLength, 3);
    // An invalid FEN leaves everything, the limits included.
    position("position fen 8/8/8 w - - 0 1 moves b8c6", *record);
    EXPECT_EQ(record->limits.depthLimit, 7);
    EXPECT_EQ(record->pos.historyLength, 3);
    position("position fen 8/8/8/8/8/8/8/K6k b - - 0 1", *record);
    EXPECT_EQ(record->limits.depthLimit, -1);
    EXPECT_EQ(record->pos.sideToMove, Black);
    EXPECT_EQ(record->pos.historyLength, 0);
}
