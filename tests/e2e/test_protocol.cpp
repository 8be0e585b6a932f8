// The command loop and the protocol commands, through the engine process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

namespace {

#if defined(OSTREVALK_32BIT)
const char* const ExpectedName = "id name Ostrevalk 2.5 (32-Bit)";
#elif defined(OSTREVALK_POPCOUNT)
const char* const ExpectedName = "id name Ostrevalk 2.5 (64-Bit Popcount)";
#else
const char* const ExpectedName = "id name Ostrevalk 2.5 (64-Bit)";
#endif

const Lines StartBoard = {
    "  hgfedcba", "", "1 RNBKQBNR", "2 PPPPPPPP", "3 --------", "4 --------", "5 --------", "6 --------", "7 pppppppp",
    "8 rnbkqbnr", ""};

}  // namespace

TEST(Protocol, UciBlockExactly) {
    EngineProcess engine;
    const Lines expected = {ExpectedName,
                            "id author Hadrevan",
                            "option name Hash type spin default 32 min 1 max 16384",
                            "option name PawnHash type spin default 8 min 1 max 1024",
                            "option name EvalHash type spin default 2 min 1 max 1024",
                            "option name Threads type spin default 1 min 1 max 128",
                            "option name Ponder type check default true",
                            "option name MultiPv type spin default 1 min 1 max 100",
                            "option name MoveOverhead type spin default 50 min 0 max 2000",
                            "uciok"};
    EXPECT_EQ(engine.roundTrip("uci"), expected);
    EXPECT_EQ(engine.roundTrip("uci  trailing words"), expected);
}

TEST(Protocol, SilentAtStartAndOnNonCommands) {
    EngineProcess engine;
    bool ok = false;
    EXPECT_EQ(engine.roundTrip("", 10000, &ok), Lines{});
    EXPECT_TRUE(ok);
    for (const char* line : {"",
                             "   ",
                             "\t \t",
                             "ISREADY",
                             "Isready",
                             "UCI",
                             "ucinewgame",
                             "uciok",
                             "go_depth",
                             "positionstartpos",
                             "eval",
                             "eval now",
                             "stop",
                             "ponderhit",
                             "newgame",
                             "setoption",
                             "setoption name",
                             "setoption name Ponder value false",
                             "setoption name Foo value 1",
                             "setoption name Move Overhead value 100",
                             "setoption name Hash value 1"})
        EXPECT_EQ(engine.roundTrip(line), Lines{}) << "input: '" << line << "'";
}

TEST(Protocol, IsreadyAnywhereOnItsLine) {
    EngineProcess engine;
    for (const char* line : {"   isready", "\tisready", "isready now please", "isready\r"}) {
        engine.send(line);
        EXPECT_EQ(engine.readLine(5000).value_or("<none>"), "readyok") << line;
    }
    // CR LF line ends are read like LF.
    engine.sendRaw("uci\r\n");
    EXPECT_EQ(engine.readLine(5000).value_or("<none>"), ExpectedName);
    EXPECT_TRUE(engine.waitFor("uciok", 5000));
}

TEST(Protocol, DisplayAndHashOfTheStartPosition) {
    EngineProcess engine;
    EXPECT_EQ(engine.roundTrip("display"), StartBoard);
    const std::string start = hashOf(engine);
    EXPECT_FALSE(start.empty());
    EXPECT_EQ(start.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(hashAfter(engine, "position startpos"), start);

    engine.send("position startpos moves e2e4");
    Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[3], "2 PPP-PPPP");
    EXPECT_EQ(board[5], "4 ---P----");
    EXPECT_NE(hashOf(engine), start);
    // "position startpos" without moves goes back to the start.
    engine.send("position startpos");
    EXPECT_EQ(engine.roundTrip("display"), StartBoard);
}

TEST(Protocol, HashFollowsThePositionNotTheRoute) {
    EngineProcess engine;
    const std::string a = hashAfter(engine, "position startpos moves g1f3 g8f6 b1c3");
    const std::string b = hashAfter(engine, "position startpos moves b1c3 g8f6 g1f3");
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, hashAfter(engine,
                           "position fen "
                           "rnbqkb1r/pppppppp/5n2/8/8/2N2N2/PPPPPPPP/R1BQKB1R b KQkq - 3 2"));
    // The same placement with other castling rights is another position.
    const std::string full = hashAfter(engine, "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const std::string some = hashAfter(engine, "position fen r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1");
    EXPECT_NE(full, some);
    // Two plies later White is to move again, with no en-passant square
    // (no white pawn can take on e6).
    EXPECT_EQ(hashAfter(engine, "position startpos moves e2e4 e7e5"),
              hashAfter(engine,
                        "position fen "
                        "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"));
}

TEST(Protocol, FenWithMoves) {
    EngineProcess engine;
    const Lines expected = {"  hgfedcba",
                            "",
                            "1 k-------",
                            "2 -------K",
                            "3 --------",
                            "4 --------",
                            "5 --------",
                            "6 --------",
                            "7 --------",
                            "8 --------",
                            ""};
    engine.send("position fen 8/8/8/8/8/8/8/K6k w - - 0 1 moves a1a2");
    EXPECT_EQ(engine.roundTrip("display"), expected);
    // Without move counters the word "moves" follows the en-passant field.
    engine.send("position startpos");
    engine.send("position fen 8/8/8/8/8/8/8/K6k w - - moves a1a2");
    EXPECT_EQ(engine.roundTrip("display"), expected);
    // Extra separators around the FEN are not part of it.
    engine.send("position startpos");
    engine.send("position fen    8/8/8/8/8/8/8/K6k w - - 0 1   moves   a1a2  ");
    EXPECT_EQ(engine.roundTrip("display"), expected);
    // Black to move plays Black's moves.
    engine.send("position fen 8/8/8/8/8/8/8/K6k b - - 0 1 moves h1h2 a1b1");
    Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[2], "1 ------K-");
    EXPECT_EQ(board[3], "2 k-------");
}

TEST(Protocol, OtherFirstWordKeepsThePosition) {
    EngineProcess engine;
    engine.send("position startpos moves d2d4");
    engine.send("position foo moves e7e5");
    const std::string both = hashOf(engine);
    EXPECT_EQ(both, hashAfter(engine, "position startpos moves d2d4 e7e5"));
    engine.send("position");
    engine.send("position moves");
    engine.send("position foo");
    EXPECT_EQ(hashOf(engine), both);
}

TEST(Protocol, InvalidFenChangesNothing) {
    EngineProcess engine;
    const std::string before = hashAfter(engine, "position startpos moves e2e4");
    for (const char* line :
         {"position fen", "position fen ", "position fen      ", "position fen moves e7e5", "position fen xyz",
          "position fen 8/8/8/8/8/8/8/8 w - - 0 1", "position fen 8/8/8/8/8/8/8/K6k w KQX - 0 1",
          "position fen 9/8/8/8/8/8/8/K6k w - - 0 1", "position fen 8/8/8/8/8/8/8/K6k/8 w - - 0 1",
          "position fen 8/8/8/8/8/8/8/K5k? w - - 0 1", "position fen 8/8/8/8/8/8/8/KK5k w - - 0 1",
          "position fen P7/8/8/8/8/8/8/K6k w - - 0 1", "position fen 8/8/8/8/8/8/8/K6k w - z9 0 1",
          "position fen 7k/8/8/8/8/8/8/K6q b - - 0 1",  // the side not to move is in check
          "position fen garbage moves e7e5"}) {
        EXPECT_EQ(hashAfter(engine, line), before) << line;
    }
    Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[5], "4 ---P----");
}

TEST(Protocol, MoveListStopsAtTheFirstIllegalWord) {
    EngineProcess engine;
    const std::string start = hashAfter(engine, "position startpos");
    const std::string e4 = hashAfter(engine, "position startpos moves e2e4");
    EXPECT_EQ(hashAfter(engine, "position startpos moves e2e4 e2e4 d7d5"), e4);
    EXPECT_EQ(hashAfter(engine, "position startpos moves e2e4 e7e5x d7d5"), e4);
    for (const char* words : {"e2e5", "e7e5", "0000", "e2", "e", "e2e4e2e4", "i2i4", "e0e1", "a1a8", "e1g1", "b1d2",
                              "\x01\x02\x03\x04", "e2e4q"})
        EXPECT_EQ(hashAfter(engine, std::string("position startpos moves ") + words), start) << words;
    // A promotion letter in either case.
    const std::string upper = hashAfter(engine, "position fen 8/P7/8/8/8/8/8/K6k w - - 0 1 moves a7a8Q");
    const std::string lower = hashAfter(engine, "position fen 8/P7/8/8/8/8/8/K6k w - - 0 1 moves a7a8q");
    EXPECT_EQ(upper, lower);
    EXPECT_EQ(upper, hashAfter(engine, "position fen Q7/8/8/8/8/8/8/K6k b - - 0 1"));
    EXPECT_EQ(hashAfter(engine, "position fen 8/P7/8/8/8/8/8/K6k w - - 0 1 moves a7a8x"),
              hashAfter(engine, "position fen 8/P7/8/8/8/8/8/K6k w - - 0 1"));
}

TEST(Protocol, CastlingAndEnPassantWords) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1");
    Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[2], "1 -KR-QBNR");
    EXPECT_EQ(hashAfter(engine, "position fen 8/8/8/3pP3/8/8/8/K6k w - d6 0 1 moves e5d6"),
              hashAfter(engine, "position fen 8/8/3P4/8/8/8/8/K6k b - - 0 1"));
}

// Knights go out and back, with a pawn step on files b to e now and then, so
// that the game grows far beyond the 1024 records of the undo history.
TEST(Protocol, MoveListLongerThanTheHistory) {
    std::string moves;
    int plies = 0;
    auto shuffle = [&](int cycles) {
        for (int i = 0; i < cycles; i++, plies += 4) moves += " g1h3 g8h6 h3g1 h6g8";
    };
    for (char file : {'b', 'c', 'd', 'e'}) {
        for (int step = 0; step < 2; step++) {
            shuffle(32);
            moves += std::string(" ") + file + char('2' + step) + file + char('3' + step);
            moves += std::string(" ") + file + char('7' - step) + file + char('6' - step);
            plies += 2;
        }
    }
    shuffle(300);
    ASSERT_GT(plies, 2000);

    EngineProcess engine;
    const std::string fen = "position fen rnbqkbnr/p4ppp/8/1pppp3/1PPPP3/8/P4PPP/RNBQKBNR w KQkq - 0 1";
    EXPECT_EQ(hashAfter(engine, "position startpos moves" + moves), hashAfter(engine, fen));
    engine.send("position startpos moves" + moves);
    Lines board = engine.roundTrip("display");
    ASSERT_EQ(board.size(), 11u);
    EXPECT_EQ(board[4], "3 --------");
    EXPECT_EQ(board[5], "4 ---PPPP-");
}

TEST(Protocol, HostileInputNeverStopsTheLoop) {
    EngineProcess engine;
    std::string junk;
    for (int i = 0; i < 4096; i++) {
        const char c = char((i * 7919 + 13) & 0xFF);
        junk += c == '\n' ? 'x' : c;
    }
    const std::vector<std::string> lines = {
        std::string(1 << 20, 'a'),
        "position startpos moves " + std::string(200000, 'e'),
        "position fen " + std::string(100000, '/'),
        "position fen " + std::string(100000, '8'),
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 99999999999999999999 1",
        "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkqKQkqKQkq - -5 -5",
        junk,
        std::string("go\0depth\0", 9),
        "setoption name Hash value -1",
        "setoption name Hash value 0",
        "setoption name Hash value x",
        "setoption name PawnHash value 0",
        // A number beyond 64 bits reads as the maximum. Only one cache is
        // taken to its maximum (1 GiB, faulted in before the answer; for
        // "Hash" it would be 16 GiB and many seconds): the lines after it
        // keep its size.
        "setoption name PawnHash value 99999999999999999999999999999",
        "setoption name PawnHash value 1000000",
        "setoption name PawnHash value 18446744073709551615",
        "setoption name EvalHash value 0",
        "setoption name Threads value -99999999999",
        "setoption name Threads value 2147483647",
        "setoption name MultiPv value -5",
        "setoption name MoveOverhead value 99999999999",
        "setoption name clear",
        "setoption name CLEAR HASH",
        "perft -5",
        "perft x",
        "hash hash hash",
        "display " + std::string(10000, 'z'),
    };
    for (const std::string& line : lines) {
        bool ok = false;
        engine.roundTrip(line, 20000, &ok);
        ASSERT_TRUE(ok) << "no readyok after a line of " << line.size() << " bytes";
    }
    engine.send("position startpos");
    EXPECT_EQ(engine.roundTrip("display"), StartBoard);
    EXPECT_EQ(engine.quit(), 0);
}

TEST(Protocol, ConsoleCommands) {
    // A bare start knows no "perft" or "trace": like any unknown word they
    // print nothing, however deep the count asked for.
    EngineProcess bare;
    for (const char* line : {"eval", "perft 2", "perft 9", "trace"}) EXPECT_EQ(bare.roundTrip(line), Lines{}) << line;

    EngineProcess engine(engineUnderTest(), WithPerft);
    EXPECT_EQ(engine.roundTrip("eval"), Lines{});
    Lines perft = engine.roundTrip("perft 2", 20000);
    ASSERT_FALSE(perft.empty());
    EXPECT_EQ(perft.back(), "Nodes searched: 400");
    Lines trace = engine.roundTrip("trace");
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back().rfind("Final evaluation: ", 0), 0u) << trace.back();
    // None of them changed the position.
    EXPECT_EQ(engine.roundTrip("display"), StartBoard);
}

TEST(Protocol, QuitAndEndOfInputExitCleanly) {
    {
        EngineProcess engine;
        EXPECT_EQ(engine.quit(), 0);
    }
    {
        EngineProcess engine;
        engine.send("quit now");  // surplus words are ignored
        EXPECT_EQ(engine.waitExit(10000), 0);
    }
    {
        EngineProcess engine;
        engine.send("position startpos moves e2e4");
        engine.closeInput();
        EXPECT_EQ(engine.waitExit(10000), 0);
    }
    {
        // A last line without its line feed is still a command.
        EngineProcess engine;
        engine.sendRaw("isready");
        engine.closeInput();
        EXPECT_EQ(engine.readLine(5000).value_or("<none>"), "readyok");
        EXPECT_EQ(engine.waitExit(10000), 0);
    }
}
