// Hostile and malformed input through the engine process: broken FENs, bad
// move words, absurd numbers, missing words, huge lines, odd bytes and line
// ends. Input that is passed over must print nothing and change nothing; after
// every group the engine must still answer, hold the expected position and
// find a legal move in it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

constexpr int QuickAnswerMs = 1500 * SanitizerSlowdown;

const char* const StartPosition = "position startpos";
const char* const AfterE4 = "position startpos moves e2e4";

// Lines of one search up to its bestmove (included); empty on a timeout.
Lines searchLines(EngineProcess& engine, const std::string& go, int timeoutMs = SearchTimeoutMs) {
    Lines seen;
    engine.send(go);
    if (!engine.waitFor("bestmove", timeoutMs, &seen)) seen.clear();
    return seen;
}

int deepestInfo(const Lines& lines) {
    int deepest = 0;
    for (const std::string& line : lines)
        if (startsWith(line, "info depth ")) deepest = std::max(deepest, std::atoi(line.c_str() + 11));
    return deepest;
}

// The highest "multipv" number among the lines.
int linesShown(const Lines& lines) {
    int most = 0;
    for (const std::string& line : lines) {
        const size_t at = line.find(" multipv ");
        if (at != std::string::npos) most = std::max(most, std::atoi(line.c_str() + at + 9));
    }
    return most;
}

// The engine answers, still holds the position with this hash, and a
// "go depth 1" there gives one of its legal moves.
void expectUsable(EngineProcess& engine, const std::string& expectedHash, const std::string& context) {
    SCOPED_TRACE(context);
    ASSERT_EQ(hashOf(engine), expectedHash);
    bool ok = false;
    const std::set<std::string> legal = legalMovesOfCurrent(engine, ok);
    ASSERT_TRUE(ok);
    const Lines seen = searchLines(engine, "go depth 1");
    ASSERT_FALSE(seen.empty()) << "no bestmove";
    std::string best, ponder;
    splitBestmove(seen.back(), best, ponder);
    EXPECT_TRUE(legal.count(best)) << seen.back();
}

// Sends each line and expects no output at all and no change of position.
void expectIgnored(EngineProcess& engine, const std::vector<std::string>& lines, const std::string& hash) {
    for (const std::string& line : lines) {
        bool ok = false;
        EXPECT_EQ(engine.roundTrip(line, 10000 * SanitizerSlowdown, &ok), Lines{}) << line.substr(0, 80);
        ASSERT_TRUE(ok) << "no readyok after: " << line.substr(0, 80);
        EXPECT_EQ(hashOf(engine), hash) << line.substr(0, 80);
    }
}

// A search that may end only by "stop": nothing for a while, then an answer.
void expectWaitsForStop(EngineProcess& engine, const std::string& go) {
    SCOPED_TRACE(go);
    engine.send(go);
    expectNoBestmoveFor(engine, QuietWatchMs);
    engine.send("stop");
    EXPECT_TRUE(engine.waitFor("bestmove", 5000 * SanitizerSlowdown));
}

}  // namespace

TEST(Robustness, MalformedFensLeaveThePosition) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    const std::string before = hashAfter(engine, AfterE4);
    const std::string fen = "position fen ";
    std::vector<std::string> lines;
    for (const char* text : {
             // the board: rank counts, rank lengths, characters
             // (the squares are counted from a8 in one run, so ranks need not
             // have eight; only a count past h1 has no meaning)
             "8/8/8/8/8/8/8/8/K6k w - - 0 1",
             "8/8/8/8/8/8/8/K7k w - - 0 1",
             "9/8/8/8/8/8/8/K6k w - - 0 1",
             "8/8/8/8/8/8/8/K6x w - - 0 1",
             "8/8/8/8/8/8/8/K6- w - - 0 1",
             "8/8/8/8/8/8/8/K6k\xc3\xa9 w - - 0 1",
             "8/8/8/8/8/8/8/K6K w - - 0 1",
             // kings and pawns where no game can have them
             "8/8/8/8/8/8/8/KK5k w - - 0 1",
             "8/8/8/8/8/8/8/7k w - - 0 1",
             "8/8/8/8/8/8/8/K7 w - - 0 1",
             "8/8/8/8/8/8/8/8 w - - 0 1",
             "kk6/8/8/8/8/8/8/K7 w - - 0 1",
             "8/8/8/8/8/8/8/K5Pk w - - 0 1",
             "8/8/8/8/8/8/8/K5pk w - - 0 1",
             "K5pk/8/8/8/8/8/8/8 w - - 0 1",
             "QQQQQQQQ/QQQQQQQQ/8/8/8/8/Q7/K6k w - - 0 1",
             // the side that just moved left its king in check
             "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1",
             "4k3/8/8/8/8/5n2/8/6K1 b - - 0 1",
             // side, castling and en-passant fields
             "8/8/8/8/8/8/8/K6k white - - 0 1",
             "r3k2r/8/8/8/8/8/8/R3K2R w KQxq - 0 1",
             "r3k2r/8/8/8/8/8/8/R3K2R w 1 - 0 1",
             "4k3/8/8/3pP3/8/8/8/4K3 w - d 0 1",
             "4k3/8/8/3pP3/8/8/8/4K3 w - i6 0 1",
             "4k3/8/8/3pP3/8/8/8/4K3 w - d9 0 1",
             "4k3/8/8/3pP3/8/8/8/4K3 w - 66 0 1",
         })
        lines.push_back(fen + text);
    // NUL bytes inside the board and the castling field.
    lines.push_back(fen + std::string("8/8/8/8/8/8/8/K6k\0 w - - 0 1", 27));
    lines.push_back(fen + std::string("r3k2r/8/8/8/8/8/8/R3K2R w K\0 - 0 1", 34));
    // No FEN text at all, and words that only look like a FEN's place.
    for (const char* text : {"position fen", "position fen \t ", "position fen moves", "position fen fen fen"})
        lines.push_back(text);
    // A void FEN voids its move list too.
    lines.push_back("position fen 8/8/8/8/8/8/8/K7 w - - 0 1 moves a1a2");
    expectIgnored(engine, lines, before);
    expectUsable(engine, before, "after malformed FENs");
}

// What the rules of FEN set-up define for missing, odd and surplus fields.
TEST(Robustness, FieldsTheRulesDefine) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    const std::string before = hashAfter(engine, AfterE4);
    auto fenHash = [&](const std::string& text) { return hashAfter(engine, "position fen " + text); };

    // Missing trailing fields take the values of an empty board record.
    const std::string rookWhite = fenHash("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
    EXPECT_NE(rookWhite, before);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R"), rookWhite);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w"), rookWhite);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w -"), rookWhite);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R b"), fenHash("4k3/8/8/8/8/8/8/4K2R b - - 0 1"));
    const std::string shortCastle = fenHash("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    EXPECT_NE(shortCastle, rookWhite);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w K"), shortCastle);
    // Rights whose king or rook is not at home are dropped; repeats count once.
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w KQkq - 0 1"), shortCastle);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w KKKK - 0 1"), shortCastle);
    EXPECT_EQ(fenHash("4k3/8/8/8/8/8/8/4K2R w -K- - 0 1"), shortCastle);
    // An en-passant square nobody can capture on is dropped.
    const std::string withCapturer = fenHash("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_NE(withCapturer, fenHash("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"));
    EXPECT_EQ(fenHash("4k3/8/8/3p4/8/8/8/4K3 w - d6 0 1"), fenHash("4k3/8/8/3p4/8/8/8/4K3 w - - 0 1"));
    // So is one with no pawn in front of it to take; but a capture that is
    // sound keeps its square, even where no double step can have led to it.
    EXPECT_EQ(fenHash("4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1"), fenHash("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1"));
    EXPECT_NE(fenHash("4k3/3n4/8/3pP3/8/8/8/4K3 w - d6 0 1"), fenHash("4k3/3n4/8/3pP3/8/8/8/4K3 w - - 0 1"));
    EXPECT_NE(fenHash("4k3/8/8/8/8/3Pp3/8/4K3 w - e4 0 1"), fenHash("4k3/8/8/8/8/3Pp3/8/4K3 w - - 0 1"));
    // Counters of any size, signs and surplus text after them do not stop
    // the set-up: the position is the board and fields before them.
    const std::string start = fenHash("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    for (const char* counters : {"99999999999999999999 1", "-5 -5", "0 99999999999999999999", "x y", "7 12 and more",
                                 "2147483647 2147483647", "-2147483649 1", "  3   4  "}) {
        hashAfter(engine, AfterE4);
        EXPECT_EQ(fenHash(std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ") + counters), start)
            << counters;
    }
    expectUsable(engine, start, "after odd counters");
    // A four-field FEN followed by a move list plays the moves.
    EXPECT_EQ(fenHash("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - moves e2e4"), before);
    expectUsable(engine, before, "after a FEN without counters");
}

// Odd text whose meaning is defined all the same: an en-passant field read
// by its first two characters, a side letter other than 'w' (Black), and
// squares counted in one run from a8.
TEST(Robustness, OddButDefinedTextIsReadAsWritten) {
    EngineProcess engine;
    EXPECT_EQ(hashAfter(engine, "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d66 0 1"),
              hashAfter(engine, "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"));
    EXPECT_EQ(hashAfter(engine, "position fen 4k3/8/8/8/8/8/8/4K3 x - - 0 1"),
              hashAfter(engine, "position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1"));
    const std::string start = hashAfter(engine, StartPosition);
    for (const char* placement :
         {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/", "rnbqkbnr/pppppppp/44/8/8/8/PPPPPPPP/RNBQKBNR",
          "rnbqkbnr/pppppppp//08/8/8/8/PPPPPPPP/RNBQKBNR", "rnbqkbnrpppppppp44444444PPPPPPPPRNBQKBNR"}) {
        hashAfter(engine, AfterE4);
        EXPECT_EQ(hashAfter(engine, std::string("position fen ") + placement + " w KQkq - 0 1"), start) << placement;
    }
    // Fewer than 64 squares: the rest of the board is empty.
    engine.send("position fen 8/8/8/8/8/8/K6k w - - 0 1");
    const Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[2], "1 --------");
    EXPECT_EQ(board[3], "2 k------K");  // files from h to a
}

TEST(Robustness, TheListEndsAtTheFirstWordThatIsNoLegalMove) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    struct Case {
        const char* given;
        const char* same;  // the position it must equal
    };
    const Case cases[] = {
        {"position startpos moves e2e4 0000 e7e5", AfterE4},
        {"position startpos moves e2e4 E7E5 d2d4", AfterE4},
        {"position startpos moves e2e4 e7e5 E1E2", "position startpos moves e2e4 e7e5"},
        {"position startpos moves e2e4 e7 e5 d2d4", AfterE4},
        {"position startpos moves e2e4 e7e5\xe2\x99\x9e g1f3", AfterE4},
        // the king walking into an attacked square, after checkmate, en
        // passant once its moment has gone
        {"position fen 4k3/8/8/8/8/8/4r3/4K3 w - - 0 1 moves e1d2 e1e2",
         "position fen 4k3/8/8/8/8/8/4r3/4K3 w - - 0 1"},
        {"position startpos moves f2f3 e7e5 g2g4 d8h4 a2a3", "position startpos moves f2f3 e7e5 g2g4 d8h4"},
        {"position startpos moves e2e4 a7a6 e4e5 f7f5 g1f3 b8c6 e5f6 h7h6",
         "position startpos moves e2e4 a7a6 e4e5 f7f5 g1f3 b8c6"},
        // castling written as the king taking its own rook
        {"position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1h1 e8g8",
         "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"},
        {"position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1c1 e8a8 e8c8",
         "position fen r3k2r/8/8/8/8/8/8/2KR3R b kq - 1 1"},
        // a promotion needs its letter, one of N, B, R, Q in either case
        {"position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8 e8d7",
         "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"},
        {"position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8K", "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"},
        {"position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8P", "position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1"},
        {"position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8n", "position fen 1N2k3/8/8/8/8/8/8/4K3 b - - 0 1"},
        {"position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8R", "position fen 1R2k3/8/8/8/8/8/8/4K3 b - - 0 1"},
        // a list with nothing in it
        {"position startpos moves", StartPosition},
        {"position startpos moves      ", StartPosition},
    };
    for (const Case& c : cases) {
        hashAfter(engine, "position fen 8/8/8/8/8/8/8/K6k w - - 0 1");
        EXPECT_EQ(hashAfter(engine, c.given), hashAfter(engine, c.same)) << c.given;
    }
    // The promoted knight is on the board and searched with.
    engine.send("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves b7b8N");
    expectUsable(engine, hashAfter(engine, "position fen 1N2k3/8/8/8/8/8/8/4K3 b - - 0 1"), "after a promotion");
}

TEST(Robustness, OptionValuesOutOfRange) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    auto shown = [&]() { return linesShown(searchLines(engine, "go depth 1")); };
    engine.send("setoption name MultiPv value 3");
    ASSERT_EQ(shown(), 3);
    // A value that is no signed 32-bit number leaves the setting alone.
    for (const char* line : {"setoption name MultiPv value x", "setoption name MultiPv value 99999999999",
                             "setoption name MultiPv value -99999999999", "setoption name MultiPv value",
                             "setoption name MultiPv", "setoption name MultiPv value +-1"}) {
        EXPECT_EQ(engine.roundTrip(line), Lines{}) << line;
        EXPECT_EQ(shown(), 3) << line;
    }
    // The name and value words are not checked, only skipped.
    engine.send("setoption junk multipv junk 2");
    EXPECT_EQ(shown(), 2);
    // Stored as read; the search uses between one line and one per legal move.
    for (const auto& [value, lines] : std::vector<std::pair<const char*, int>>{
             {"-5", 1}, {"0", 1}, {"1000", 20}, {"2147483647", 20}, {"-2147483648", 1}, {"4", 4}}) {
        engine.send(std::string("setoption name MultiPv value ") + value);
        EXPECT_EQ(shown(), lines) << value;
    }
    engine.send("setoption name MultiPv value 1");

    // An overhead beyond any clock leaves no thinking time: iteration 1,
    // which always runs to its end, and no other.
    engine.send("setoption name MoveOverhead value 2147483647");
    const long long start = monotonicMs();
    const Lines clocked = searchLines(engine, "go wtime 1000 btime 1000");
    ASSERT_FALSE(clocked.empty());
    EXPECT_EQ(deepestInfo(clocked), 1);
    EXPECT_LT(monotonicMs() - start, QuickAnswerMs);
    for (const char* line :
         {"setoption name MoveOverhead value -2147483648", "setoption name MoveOverhead value x",
          "setoption name Threads value 99999999999", "setoption name Threads value -2147483648",
          "setoption name Threads value", "setoption name Hash value", "setoption name Hash",
          "setoption name EvalHash value -0", "setoption name PawnHash value +", "setoption name Hash value 1x",
          "setoption name Clear", "setoption name clear cache", "setoption name Ponder value", "setoption",
          "setoption name", "setoption value 5", "setoption name  value 5", "setoption Hash 1"})
        EXPECT_EQ(engine.roundTrip(line), Lines{}) << line;
    expectUsable(engine, hashOf(engine), "after option values out of range");
}

TEST(Robustness, GoWordsOutOfRange) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    const std::string start = hashOf(engine);
    bool ok = false;
    const std::set<std::string> legal = legalMovesOfCurrent(engine, ok);
    ASSERT_TRUE(ok);

    // Searches that end by themselves, and soon.
    struct Bounded {
        const char* go;
        int deepest;  // -1: not checked
    };
    const Bounded bounded[] = {
        {"go depth -3", 0},  // no iteration: the first legal move answers
        {"go depth 0", 0},
        {"go depth -2147483648", 0},
        {"go nodes 0", -1},
        {"go movetime -5", -1},
        {"go wtime -5 btime -5", 1},  // no time left: iteration 1 only
        {"go wtime 0 btime 0 winc -1000 binc -1000", 1},
        {"go wtime 500 btime 500 movestogo 0", -1},
        {"go wtime 500 btime 500 movestogo -1", -1},
        {"go wtime 500 btime 500 movestogo 2147483647", -1},
        // A number that does not parse ends the reading: "infinite" is never
        // seen, and the clock is the cleared one, which allows no time.
        {"go movestogo 99999999999 infinite", 1},
        {"go wtime 99999999999 infinite", 1},
    };
    for (const Bounded& b : bounded) {
        const long long begin = monotonicMs();
        const Lines seen = searchLines(engine, b.go);
        ASSERT_FALSE(seen.empty()) << b.go << ": no bestmove";
        EXPECT_LT(monotonicMs() - begin, QuickAnswerMs) << b.go;
        std::string best, ponder;
        splitBestmove(seen.back(), best, ponder);
        EXPECT_TRUE(legal.count(best)) << b.go << ": " << seen.back();
        if (b.deepest >= 0) {
            EXPECT_EQ(deepestInfo(seen), b.deepest) << b.go;
        }
    }
    // Searches that nothing but "stop" ends in any reasonable time: a keyword
    // whose number does not parse still makes the search untimed, and no
    // limit is left to end it; the last one has a clock of 24 days.
    for (const char* go : {"go movetime 99999999999999999999", "go depth 99999999999", "go depth x", "go nodes -1",
                           "go depth 2147483647", "go movetime",
                           "go wtime 2147483647 btime 2147483647 winc 2147483647 binc 2147483647 movestogo 1000"})
        expectWaitsForStop(engine, go);
    expectUsable(engine, start, "after go words out of range");
}

TEST(Robustness, LongLinesOddBytesAndLineEnds) {
    EngineProcess engine(engineUnderTest(), WithPerft);
    const std::string start = hashOf(engine);
    const std::string e4e5 = hashAfter(engine, "position startpos moves e2e4 e7e5");
    engine.send(StartPosition);

    // Surplus words of any length are ignored; leading white space of any
    // length is skipped.
    const std::string megabyte(1 << 20, ' ');
    for (const std::string& line : {"isready " + std::string(8192, 'x'), megabyte + "isready",
                                    "isready" + megabyte + "junk", "isready " + std::string(1 << 20, '#')}) {
        ASSERT_TRUE(engine.send(line));
        EXPECT_EQ(engine.readLine(5000 * SanitizerSlowdown).value_or("<none>"), "readyok") << line.size();
    }
    std::string longList = "position startpos moves";
    for (int i = 0; i < 200; i++) longList += " g1f3 g8f6 f3g1 f6g8";
    EXPECT_EQ(hashAfter(engine, longList + " e2e4 e7e5 " + std::string(4096, 'z')), e4e5);
    engine.send(StartPosition);

    // Bytes that are not white space belong to the word they touch, which is
    // then no command and no move.
    expectIgnored(engine,
                  {std::string("isready\0", 8), std::string("\0isready", 8), std::string("stop\0go", 7),
                   "isready\xc2\xa0", "\xef\xbb\xbfisready", "\xff\xfe\xfd", std::string(5000, '\x7f'),
                   std::string("position startpos moves e2e4\0", 29)},
                  start);

    // CR LF line ends read like LF: the last word of each line is whole.
    ASSERT_TRUE(engine.sendRaw("position startpos moves e2e4 e7e5\r\nhash\r\n"));
    EXPECT_EQ(engine.readLine(5000).value_or("<none>"), e4e5);
    ASSERT_TRUE(engine.sendRaw("setoption name MultiPv value 2\r\ngo depth 2\r\n"));
    Lines seen;
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs, &seen));
    EXPECT_EQ(deepestInfo(seen), 2);
    EXPECT_EQ(linesShown(seen), 2);
    ASSERT_TRUE(engine.sendRaw("position fen 4k3/8/8/8/8/8/8/4K2R w K\r\n"));
    EXPECT_EQ(hashOf(engine), hashAfter(engine, "position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1"));
    // A carriage return inside a line is white space between words.
    ASSERT_TRUE(engine.sendRaw("isready\rnow\n"));
    EXPECT_EQ(engine.readLine(5000).value_or("<none>"), "readyok");

    // Tabs separate words like spaces.
    engine.send("position\tstartpos\tmoves\te2e4\t e7e5\t");
    EXPECT_EQ(hashOf(engine), e4e5);
    engine.send("setoption\tname\tMultiPv\tvalue\t1");
    seen.clear();
    engine.send("go\tdepth\t3");
    ASSERT_TRUE(engine.waitFor("bestmove", SearchTimeoutMs, &seen));
    EXPECT_EQ(deepestInfo(seen), 3);
    EXPECT_EQ(linesShown(seen), 1);

    // Runs of empty and blank lines.
    expectIgnored(engine, {"", " ", "\t", "\r", std::string(64, '\n')}, e4e5);
    expectUsable(engine, e4e5, "after long lines and odd bytes");
}
