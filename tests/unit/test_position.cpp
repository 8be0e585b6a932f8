#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/tables.h"
#include "test_common.h"

namespace {

class PositionTest : public ::testing::Test {
protected:
    void SetUp() override { initTestTables(); }
};

}  // namespace

TEST_F(PositionTest, StartPosition) {
    auto pos = fromFen(StartFen);
    uint64_t key = 0;
    const int backRank[8] = {Rook, Knight, Bishop, Queen, King, Bishop, Knight, Rook};
    for (int f = 0; f < 8; f++) {
        key ^= ZobristPiece[White][backRank[f]][makeSquare(f, 0)] ^ ZobristPiece[White][Pawn][makeSquare(f, 1)];
        key ^= ZobristPiece[Black][backRank[f]][makeSquare(f, 7)] ^ ZobristPiece[Black][Pawn][makeSquare(f, 6)];
    }
    EXPECT_EQ(pos->key, key);
    EXPECT_EQ(pos->castleRights, 15);
    EXPECT_EQ(pos->epSquare, NoSquare);
    EXPECT_EQ(pos->rule50, 0);
    EXPECT_EQ(pos->sideToMove, White);
    EXPECT_EQ(pos->nonPawnMaterial[White], 8441);
    EXPECT_EQ(pos->nonPawnMaterial[Black], 8441);
    EXPECT_EQ(pos->kingSquare[White], sq("e1"));
    EXPECT_EQ(pos->kingSquare[Black], sq("e8"));
    EXPECT_EQ(pos->board[sq("d8")], Queen);
    EXPECT_EQ(pos->occupied, 0xC3C3C3C3C3C3C3C3ULL);
    EXPECT_EQ(pos->pieceCount[Black][Pawn], 8);
    // Summed by hand from the charts: pawns -34, knights -240, bishops -80,
    // rooks -34, queen -14, king 240 (middle game); knights -178, bishops -52,
    // queen -23, king 135 (end game). Black mirrors White in both.
    EXPECT_EQ(pos->pstA[White], -162);
    EXPECT_EQ(pos->pstA[Black], -162);
    EXPECT_EQ(pos->pstB[White], -118);
    EXPECT_EQ(pos->pstB[Black], -118);
    EXPECT_TRUE(positionIsConsistent(*pos));
}

TEST_F(PositionTest, PieceSquareCharts) {
    EXPECT_EQ(PieceSquareMg[Pawn][sq("d4")], 66);
    EXPECT_EQ(PieceSquareMg[Pawn][sq("e3")], 40);
    EXPECT_EQ(PieceSquareMg[Knight][sq("a8")], -214);
    EXPECT_EQ(PieceSquareMg[Knight][sq("h2")], -103);
    EXPECT_EQ(PieceSquareMg[Bishop][sq("b1")], -46);
    EXPECT_EQ(PieceSquareMg[Rook][sq("d5")], 9);
    EXPECT_EQ(PieceSquareMg[Queen][sq("e3")], 17);
    EXPECT_EQ(PieceSquareMg[King][sq("g1")], 346);
    EXPECT_EQ(PieceSquareMg[King][sq("d8")], 23);
    EXPECT_EQ(PieceSquareEg[Knight][sq("a2")], -89);
    EXPECT_EQ(PieceSquareEg[Knight][sq("h2")], -89);
    EXPECT_EQ(PieceSquareEg[Knight][sq("a7")], -88);
    EXPECT_EQ(PieceSquareEg[Knight][sq("h7")], -88);
    EXPECT_EQ(PieceSquareEg[Bishop][sq("e4")], 17);
    EXPECT_EQ(PieceSquareEg[Queen][sq("a8")], -69);
    EXPECT_EQ(PieceSquareEg[King][sq("d5")], 224);
    for (Square s = 0; s < 64; s++) {
        Square mirror = makeSquare(7 - fileOf(s), rankOf(s));
        Square flipped = makeSquare(fileOf(s), 7 - rankOf(s));
        EXPECT_EQ(PieceSquareEg[Pawn][s], 0);
        EXPECT_EQ(PieceSquareEg[Rook][s], 0);
        for (int t = Pawn; t <= King; t++) {
            EXPECT_EQ(PieceSquareMg[t][s], PieceSquareMg[t][mirror]);
            EXPECT_EQ(PieceSquareEg[t][s], PieceSquareEg[t][mirror]);
            bool knightException =
                t == Knight && (fileOf(s) == 0 || fileOf(s) == 7) && (rankOf(s) == 1 || rankOf(s) == 6);
            if (!knightException) {
                EXPECT_EQ(PieceSquareEg[t][s], PieceSquareEg[t][flipped]);
            }
        }
    }
}

TEST_F(PositionTest, FenFields) {
    auto pos = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(pos->epSquare, NoSquare);  // no black pawn on d4 or f4
    EXPECT_EQ(pos->sideToMove, Black);
    auto white = fromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(pos->key, white->key ^ ZobristSide);

    EXPECT_EQ(fromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1")->epSquare, sq("d6"));
    EXPECT_EQ(fromFen("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1")->epSquare, sq("e3"));
    EXPECT_EQ(fromFen("4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1")->epSquare, NoSquare);
    EXPECT_EQ(fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq - 0 1")->castleRights, 14);
    EXPECT_EQ(fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQ1BNR w KQkq - 0 1")->castleRights, 12);
    EXPECT_EQ(fromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/rNBQKBNR w KQkq - 0 1")->castleRights, 13);
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 x - - 0 1")->sideToMove, Black);
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 7")->rule50, 7);
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 7 12")->rule50, 7);
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 7 12 moves e1e2")->rule50, 7);

    // Missing fields keep the reset values; a rest that is not a number
    // (the moves list of a four-field FEN) counts as 0 and the set-up completes.
    auto bare = fromFen("4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(bare->sideToMove, White);
    EXPECT_EQ(bare->castleRights, 0);
    EXPECT_EQ(bare->occupied, squareBB(sq("e1")) | squareBB(sq("e8")));
    auto moves = fromFen("r3k3/8/8/8/8/8/8/4K2R w Kq - moves e1g1");
    EXPECT_EQ(moves->rule50, 0);
    EXPECT_EQ(moves->castleRights, WhiteKingside | BlackQueenside);
    EXPECT_EQ(moves->occupied, squareBB(sq("e1")) | squareBB(sq("h1")) | squareBB(sq("e8")) | squareBB(sq("a8")));
    EXPECT_TRUE(positionIsConsistent(*moves));
    EXPECT_EQ(fromFen("4k3/8/8/8/8/8/8/4K3 w - - 99999999999 1")->rule50, 0);
}

TEST_F(PositionTest, ResetClearsEverything) {
    auto pos = fromFen("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 12 40");
    pos->historyLength = 17;
    pos->historyDropped = 5;
    resetPosition(*pos);
    EXPECT_EQ(pos->occupied, 0u);
    EXPECT_EQ(pos->key, 0u);
    EXPECT_EQ(pos->epSquare, NoSquare);
    EXPECT_EQ(pos->historyLength, 0);
    EXPECT_EQ(pos->historyDropped, 0);
    EXPECT_EQ(pos->rule50, 0);
    EXPECT_TRUE(positionIsConsistent(*pos));
}

TEST_F(PositionTest, SelfCheckNoticesCorruption) {
    auto pos = fromFen(StartFen);
    Position copy = *pos;
    copy.pstB[Black] += 1;
    EXPECT_FALSE(positionIsConsistent(copy));
    copy = *pos;
    copy.board[sq("e4")] = Knight;
    EXPECT_FALSE(positionIsConsistent(copy));
    copy = *pos;
    copy.key ^= ZobristSide;
    EXPECT_FALSE(positionIsConsistent(copy));
    copy = *pos;
    copy.kingSquare[Black] = sq("e7");
    EXPECT_FALSE(positionIsConsistent(copy));
    copy = *pos;
    copy.occupied &= ~squareBB(sq("a1"));
    EXPECT_FALSE(positionIsConsistent(copy));
}

TEST_F(PositionTest, CheckedFenRejectsMalformedText) {
    const char* bad[] = {
        "",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq - 0 1",    // unknown letter
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN- w KQkq - 0 1",    // '-' in placement
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1",             // 7 ranks
        "rnbqkbnr/pppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",  // 9 ranks
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq - 0 1",   // 65 squares
        "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",    // 65 squares by a digit
        "4k3/8/8/8/8/8/8/4KK2 w - - 0 1",                              // two white kings
        "8/8/8/8/8/8/8/4K3 w - - 0 1",                                 // no black king
        "4k2P/8/8/8/8/8/8/4K3 w - - 0 1",                              // pawn on rank 8
        "4k3/8/8/8/8/8/8/p3K3 b - - 0 1",                              // pawn on rank 1
        "7k/8/8/8/8/8/8/K6R w - - 0 1",                                // could take the king
        "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1",                             // same, rook on e1
        "7k/8/8/8/8/2p1p3/3K4/1N6 w - - 0 1",                          // checked by two pawns
        "7k/8/8/8/8/1n6/3K4/1n6 w - - 0 1",                            // checked by two knights
        "7k/8/8/8/8/4p3/3K4/1n6 w - - 0 1",                            // pawn and knight
        "4k3/8/8/8/8/8/8/4K3 w KQx - 0 1",                             // castling letter
        "4k3/8/8/8/8/8/8/4K3 w - e9 0 1",                              // ep off the board
        "4k3/8/8/8/8/8/8/4K3 w - i6 0 1",                              // ep off the board
        "4k3/8/8/8/8/8/8/4K3 w - e 0 1",                               // ep too short
        " rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // empty placement
    };
    auto target = fromFen("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 12 40");
    target->historyLength = 3;
    Position before = *target;
    for (const char* fen : bad) {
        EXPECT_FALSE(setFromFenChecked(fen, *target)) << fen;
        EXPECT_EQ(std::memcmp(&before, target.get(), sizeof(Position)), 0) << fen;
    }
}

// Text that looks odd but whose meaning the FEN reading defines is set up,
// not refused: the squares are one count from a8, the side is White only for
// 'w', and the en-passant field is named by its first two characters.
TEST_F(PositionTest, CheckedFenReadsOddButDefinedText) {
    auto pos = std::make_unique<Position>();
    const uint64_t startKey = fromFen(StartFen)->key;
    for (const char* same : {"rnbqkbnr/pppppppp/9/7/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq - 0 1",
                             "rnbqkbnr/pppppppp/0008/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                             "rnbqkbnrpppppppp44444444PPPPPPPPRNBQKBNR w KQkq - 0 1"}) {
        ASSERT_TRUE(setFromFenChecked(same, *pos)) << same;
        EXPECT_EQ(pos->key, startKey) << same;
        EXPECT_EQ(pos->castleRights, 15) << same;
    }
    // Fewer than 64 squares: the rest is empty.
    ASSERT_TRUE(setFromFenChecked("8/8/8/8/8/8/8/K5k w - - 0 1", *pos));
    EXPECT_EQ(pos->kingSquare[White], sq("a1"));
    EXPECT_EQ(pos->kingSquare[Black], sq("g1"));
    for (const char* black : {"4k3/8/8/8/8/8/8/4K3 x - - 0 1", "4k3/8/8/8/8/8/8/4K3 W - - 0 1"}) {
        ASSERT_TRUE(setFromFenChecked(black, *pos)) << black;
        EXPECT_EQ(pos->sideToMove, Black) << black;
        EXPECT_EQ(pos->key, fromFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1")->key) << black;
    }
    // "wb": 'w' is the side, the 'b' is the skipped separator.
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 wb - - 0 1", *pos));
    EXPECT_EQ(pos->sideToMove, White);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/3pP3/8/8/8/4K3 w - d66 0 1", *pos));
    EXPECT_EQ(pos->epSquare, sq("d6"));
}

TEST_F(PositionTest, CheckedFenAcceptsSoundText) {
    auto pos = std::make_unique<Position>();
    ASSERT_TRUE(setFromFenChecked(StartFen, *pos));
    // Composed positions outside what a game can reach are still chess
    // positions: nine pawns, a triple check.
    EXPECT_TRUE(setFromFenChecked("4k3/pppppppp/p7/8/8/8/8/4K3 w - - 0 1", *pos));
    EXPECT_TRUE(setFromFenChecked("4k3/8/5N2/1B6/8/8/8/4R1K1 b - - 0 1", *pos));
    EXPECT_EQ(pos->sideToMove, Black);
    // Seventeen men a side could overflow the fixed move lists.
    EXPECT_FALSE(setFromFenChecked("4k3/8/8/8/8/Q7/QQQQQQQQ/QQQQKQQQ b - - 0 1", *pos));
    ASSERT_TRUE(setFromFenChecked(StartFen, *pos));
    EXPECT_EQ(pos->key, fromFen(StartFen)->key);
    EXPECT_EQ(pos->castleRights, 15);

    // The front end passes a trailing moves list along.
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 w - - moves e1e2 e8e7", *pos));
    EXPECT_EQ(pos->rule50, 0);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 b - - 5 9 moves e8e7", *pos));
    EXPECT_EQ(pos->rule50, 5);
    EXPECT_EQ(pos->sideToMove, Black);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 w moves e1e2", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 w - - x", *pos));
    EXPECT_EQ(pos->rule50, 0);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3", *pos));
    EXPECT_EQ(pos->sideToMove, White);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/8/8/8/4K3 w - - -3 1", *pos));
    EXPECT_EQ(pos->rule50, -3);  // as written: it only delays the draw rules

    // The side to move may be in check (twice at most).
    EXPECT_TRUE(setFromFenChecked("4k3/8/5N2/8/8/8/8/4R1K1 b - - 0 1", *pos));
    // En passant: a sound capture is kept, one of a pawn that is not there
    // or onto an occupied square dropped.
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", *pos));
    EXPECT_EQ(pos->epSquare, sq("d6"));
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/3P1P2/8/8/8/4K3 w - e6 0 1", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);  // no black pawn on e5
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/3pP3/8/8/4K3 w - e3 0 1", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/3pP3/8/8/8/4K3 w - e3 0 1", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);
    // Capturing onto an occupied d6 would lose the piece standing there; a
    // piece on d7, where no double step can have started, harms nothing.
    ASSERT_TRUE(setFromFenChecked("4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);
    ASSERT_TRUE(setFromFenChecked("4k3/3n4/8/3pP3/8/8/8/4K3 w - d6 0 1", *pos));
    EXPECT_EQ(pos->epSquare, sq("d6"));
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", *pos));
    EXPECT_EQ(pos->epSquare, sq("d3"));
    ASSERT_TRUE(setFromFenChecked("4k3/8/8/8/3Pp3/8/3N4/4K3 b - d3 0 1", *pos));
    EXPECT_EQ(pos->epSquare, sq("d3"));
    // No capture may reach the last rank: it would have to promote.
    ASSERT_TRUE(setFromFenChecked("k7/3Pp3/8/8/8/8/8/4K3 w - e8 0 1", *pos));
    EXPECT_EQ(pos->epSquare, NoSquare);
}

// Every sound FEN of the perft file sets up exactly as the trusted parser does.
TEST_F(PositionTest, CheckedFenMatchesTrustedParser) {
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/perft.epd");
    ASSERT_TRUE(in.good());
    std::string line;
    int count = 0;
    auto checked = std::make_unique<Position>();
    while (std::getline(in, line)) {
        std::string fen = line.substr(0, line.find(';'));
        if (fen.empty()) continue;
        auto trusted = fromFen(fen);
        ASSERT_TRUE(setFromFenChecked(fen, *checked)) << fen;
        EXPECT_EQ(checked->key, trusted->key) << fen;
        EXPECT_EQ(checked->castleRights, trusted->castleRights) << fen;
        EXPECT_EQ(checked->epSquare, trusted->epSquare) << fen;
        EXPECT_EQ(checked->rule50, trusted->rule50) << fen;
        EXPECT_EQ(std::memcmp(checked->board, trusted->board, sizeof(trusted->board)), 0) << fen;
        EXPECT_TRUE(positionIsConsistent(*trusted)) << fen;
        count++;
    }
    EXPECT_GT(count, 100);
}

// Garbage must never corrupt a position, crash, or be accepted unsoundly.
TEST_F(PositionTest, HostileTextIsHarmless) {
    std::mt19937 rng(2024);
    const std::string alphabet = "PpNnBbRrQqKk-/0123456789 wbxKQkqacdefgh";
    const std::vector<std::string> seeds = {StartFen, "r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 12 40",
                                            "8/8/8/8/8/8/8/8 b - h1 0 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 1"};
    auto pos = std::make_unique<Position>();
    auto checked = std::make_unique<Position>();
    int accepted = 0;
    for (int trial = 0; trial < 6000; trial++) {
        std::string text;
        if (trial % 3 == 0) {
            int length = int(rng() % 90);
            for (int k = 0; k < length; k++) text += char(rng() % 256);
        } else {
            text = seeds[rng() % seeds.size()];
            int edits = 1 + int(rng() % 4);
            for (int k = 0; k < edits && !text.empty(); k++) {
                size_t at = rng() % text.size();
                char ch = alphabet[rng() % alphabet.size()];
                switch (rng() % 3) {
                    case 0:
                        text[at] = ch;
                        break;
                    case 1:
                        text.insert(text.begin() + long(at), ch);
                        break;
                    default:
                        text.erase(at, 1);
                        break;
                }
            }
        }
        setFromFen(text, *pos);
        ASSERT_TRUE(positionIsConsistent(*pos)) << text;
        ASSERT_GE(pos->epSquare, NoSquare);
        ASSERT_LT(pos->epSquare, 64);
        if (setFromFenChecked(text, *checked)) {
            accepted++;
            ASSERT_TRUE(positionIsConsistent(*checked)) << text;
            ASSERT_EQ(checked->pieceCount[White][King], 1) << text;
            ASSERT_EQ(checked->pieceCount[Black][King], 1) << text;
            ASSERT_EQ(checked->key, pos->key) << text;
        }
    }
    EXPECT_GT(accepted, 100);
}
