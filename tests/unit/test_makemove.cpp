#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/tables.h"
#include "test_common.h"

namespace {

// Builds the move code for a move on the given board, reading the moving and
// captured piece from it ("e7e8q" style text).
Move moveOn(const Position& pos, const std::string& text) {
    Square from = sq(text.c_str()), to = sq(text.c_str() + 2);
    int promotion = NoPiece;
    if (text.size() > 4) promotion = text[4] == 'n' ? Knight : text[4] == 'b' ? Bishop : text[4] == 'r' ? Rook : Queen;
    int piece = pos.board[from];
    int captured = pos.board[to];
    if (piece == Pawn && to == pos.epSquare) captured = Pawn;
    return makeMoveCode(from, to, piece, captured, promotion);
}

// Every field of the board state, and the undo records in use; stale records
// beyond historyLength are not state.
::testing::AssertionResult sameState(const Position& a, const Position& b) {
#define SAME_FIELD(f) \
    if (std::memcmp(&a.f, &b.f, sizeof(a.f)) != 0) return ::testing::AssertionFailure() << "field " #f " differs";
    SAME_FIELD(pieceBB)
    SAME_FIELD(board)
    SAME_FIELD(pieceCount)
    SAME_FIELD(sideToMove)
    SAME_FIELD(occupied)
    SAME_FIELD(colorBB)
    SAME_FIELD(kingSquare)
    SAME_FIELD(historyLength)
    SAME_FIELD(key)
    SAME_FIELD(pawnKey)
    SAME_FIELD(castleRights)
    SAME_FIELD(epSquare)
    SAME_FIELD(rule50)
    SAME_FIELD(nonPawnMaterial)
    SAME_FIELD(pstA)
    SAME_FIELD(pstB)
    SAME_FIELD(historyDropped)
#undef SAME_FIELD
    if (std::memcmp(a.history, b.history, size_t(a.historyLength) * sizeof(UndoRecord)) != 0)
        return ::testing::AssertionFailure() << "undo records differ";
    return ::testing::AssertionSuccess();
}

// Plays the move, checks the position, takes it back and checks that every
// field is restored; then plays it again so that the caller can inspect it.
void makeChecked(Position& pos, Move m) {
    auto before = std::make_unique<Position>(pos);
    makeMove(pos, m);
    ASSERT_TRUE(positionIsConsistent(pos));
    ASSERT_EQ(pos.historyLength, before->historyLength + 1);
    unmakeMove(pos);
    ASSERT_TRUE(positionIsConsistent(pos));
    ASSERT_TRUE(sameState(pos, *before));
    makeMove(pos, m);
}

class MakeMove : public ::testing::Test {
protected:
    void SetUp() override { initTestTables(); }
};

}  // namespace

TEST_F(MakeMove, DoubleStepWithoutEnemyPawnLeavesNoEpSquare) {
    auto pos = fromFen(StartFen);
    uint64_t startKey = pos->key;
    makeChecked(*pos, moveOn(*pos, "e2e4"));
    EXPECT_EQ(pos->epSquare, NoSquare);
    EXPECT_EQ(pos->key,
              startKey ^ ZobristPiece[White][Pawn][sq("e2")] ^ ZobristPiece[White][Pawn][sq("e4")] ^ ZobristSide);
    EXPECT_EQ(pos->sideToMove, Black);
    EXPECT_EQ(pos->history[0].key, startKey);
    EXPECT_EQ(pos->history[0].castleRights, 15);
}

TEST_F(MakeMove, DoubleStepRecordsEpSquareOnlyBesideEnemyPawn) {
    struct Case {
        const char* fen;
        const char* move;
        Square ep;
    } cases[] = {
        {"4k3/8/8/8/5p2/8/4P3/4K3 w - - 0 1", "e2e4", sq("e3")},
        {"4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", "e2e4", sq("e3")},
        {"4k3/8/8/8/1p6/8/P7/4K3 w - - 0 1", "a2a4", sq("a3")},
        {"4k3/8/8/8/6p1/8/7P/4K3 w - - 0 1", "h2h4", sq("h3")},
        {"4k3/7p/8/P7/8/8/8/4K3 b - - 0 1", "h7h5", NoSquare},    // a5 is not beside h5
        {"4k3/p7/8/7P/8/8/8/4K3 b - - 0 1", "a7a5", NoSquare},    // nor h5 beside a5
        {"4k3/8/8/8/3P4/8/4P3/4K3 w - - 0 1", "e2e4", NoSquare},  // own pawn
        {"4k3/8/8/8/8/5p2/4P3/4K3 w - - 0 1", "e2e4", NoSquare},  // not beside
        {"4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", "d7d5", sq("d6")},
    };
    for (const Case& c : cases) {
        auto pos = fromFen(c.fen);
        makeChecked(*pos, moveOn(*pos, c.move));
        EXPECT_EQ(pos->epSquare, c.ep) << c.fen;
        EXPECT_EQ(ttIndexKey(*pos), pos->key ^ ZobristCastle[0] ^ zobristEp(c.ep)) << c.fen;
    }
}

TEST_F(MakeMove, EnPassantCapture) {
    auto pos = fromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 5 1");
    ASSERT_EQ(pos->epSquare, sq("d6"));
    Move m = makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, NoPiece);
    makeChecked(*pos, m);
    EXPECT_EQ(pos->board[sq("d5")], NoPiece);
    EXPECT_EQ(pos->board[sq("d6")], Pawn);
    EXPECT_EQ(pos->pieceCount[Black][Pawn], 0);
    EXPECT_EQ(pos->pawnKey, ZobristPiece[White][Pawn][sq("d6")]);
    EXPECT_EQ(pos->rule50, 0);
    EXPECT_EQ(pos->epSquare, NoSquare);
    unmakeMove(*pos);
    EXPECT_EQ(pos->board[sq("d5")], Pawn);
    EXPECT_TRUE((pos->colorBB[Black] >> sq("d5")) & 1);
    EXPECT_EQ(pos->rule50, 5);
    EXPECT_EQ(pos->epSquare, sq("d6"));

    auto black = fromFen("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
    makeChecked(*black, makeMoveCode(sq("d4"), sq("e3"), Pawn, Pawn, NoPiece));
    EXPECT_EQ(black->board[sq("e4")], NoPiece);
    EXPECT_EQ(black->pieceCount[White][Pawn], 0);
}

TEST_F(MakeMove, CastlingAllFourWays) {
    struct Case {
        const char* fen;
        const char* move;
        const char* rookFrom;
        const char* rookTo;
        int rightsAfter;
    } cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 1", "e1g1", "h1", "f1", 12},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 3 1", "e1c1", "a1", "d1", 12},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 3 1", "e8g8", "h8", "f8", 3},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 3 1", "e8c8", "a8", "d8", 3},
    };
    for (const Case& c : cases) {
        auto pos = fromFen(c.fen);
        auto before = std::make_unique<Position>(*pos);
        Move m = moveOn(*pos, c.move);
        makeChecked(*pos, m);
        EXPECT_EQ(pos->board[sq(c.move + 2)], King) << c.move;
        EXPECT_EQ(pos->kingSquare[before->sideToMove], sq(c.move + 2));
        EXPECT_EQ(pos->board[sq(c.rookFrom)], NoPiece) << c.move;
        EXPECT_EQ(pos->board[sq(c.rookTo)], Rook) << c.move;
        EXPECT_EQ(pos->castleRights, c.rightsAfter) << c.move;
        EXPECT_EQ(pos->rule50, 4);
        unmakeMove(*pos);
        EXPECT_TRUE(sameState(*pos, *before)) << c.move;
    }
    // A plain king step of one file is no castling.
    auto pos = fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    makeChecked(*pos, moveOn(*pos, "e1f1"));
    EXPECT_EQ(pos->board[sq("h1")], Rook);
    EXPECT_EQ(pos->castleRights, 12);
}

TEST_F(MakeMove, RookMovesAndCapturesRemoveRights) {
    auto pos = fromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    makeChecked(*pos, moveOn(*pos, "h1h8"));
    EXPECT_EQ(pos->castleRights, WhiteQueenside | BlackQueenside);
    EXPECT_EQ(pos->nonPawnMaterial[Black], 1300);
    EXPECT_EQ(pos->rule50, 0);
    makeChecked(*pos, moveOn(*pos, "a8a1"));
    EXPECT_EQ(pos->castleRights, 0);
    unmakeMove(*pos);
    unmakeMove(*pos);
    EXPECT_EQ(pos->castleRights, 15);
    EXPECT_TRUE(positionIsConsistent(*pos));
}

TEST_F(MakeMove, PromotionWithCapture) {
    auto pos = fromFen("4k2r/6P1/8/8/8/8/8/4K3 w k - 0 1");
    ASSERT_EQ(pos->castleRights, BlackKingside);
    auto before = std::make_unique<Position>(*pos);
    makeChecked(*pos, moveOn(*pos, "g7h8q"));
    EXPECT_EQ(pos->board[sq("h8")], Queen);
    EXPECT_EQ(pos->board[sq("g7")], NoPiece);
    EXPECT_EQ(pos->nonPawnMaterial[White], 2521);
    EXPECT_EQ(pos->nonPawnMaterial[Black], 0);
    EXPECT_EQ(pos->pieceCount[White][Pawn], 0);
    EXPECT_EQ(pos->pieceCount[White][Queen], 1);
    EXPECT_EQ(pos->pawnKey, 0u);
    EXPECT_EQ(pos->castleRights, 0);
    EXPECT_EQ(pos->pstA[White], PieceSquareMg[King][sq("e1")] + PieceSquareMg[Queen][sq("h8")]);
    unmakeMove(*pos);
    EXPECT_TRUE(sameState(*pos, *before));

    auto black = fromFen("4k3/8/8/8/8/8/1p6/R3K3 b Q - 0 1");
    makeChecked(*black, moveOn(*black, "b2a1n"));
    EXPECT_EQ(black->board[sq("a1")], Knight);
    EXPECT_EQ(black->nonPawnMaterial[Black], 820);
    EXPECT_EQ(black->nonPawnMaterial[White], 0);
    EXPECT_EQ(black->castleRights, 0);
    makeChecked(*black, moveOn(*black, "e1d2"));
    makeChecked(*black, moveOn(*black, "a1b3"));
    EXPECT_EQ(black->rule50, 2);
}

TEST_F(MakeMove, HalfMoveClock) {
    auto pos = fromFen("4k3/4p3/8/8/8/8/4P3/1N2K3 w - - 10 30");
    makeChecked(*pos, moveOn(*pos, "b1c3"));
    EXPECT_EQ(pos->rule50, 11);
    makeChecked(*pos, moveOn(*pos, "e8d8"));
    EXPECT_EQ(pos->rule50, 12);
    makeChecked(*pos, moveOn(*pos, "e2e3"));
    EXPECT_EQ(pos->rule50, 0);
    makeChecked(*pos, moveOn(*pos, "d8e8"));
    makeChecked(*pos, moveOn(*pos, "c3d5"));
    makeChecked(*pos, moveOn(*pos, "e8f8"));
    EXPECT_EQ(pos->rule50, 3);
    makeChecked(*pos, moveOn(*pos, "d5e7"));
    EXPECT_EQ(pos->rule50, 0);
    for (int i = 0; i < 7; i++) unmakeMove(*pos);
    EXPECT_TRUE(sameState(*pos, *fromFen("4k3/4p3/8/8/8/8/4P3/1N2K3 w - - 10 30")));
}

TEST_F(MakeMove, NullMove) {
    auto pos = fromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 9 1");
    auto before = std::make_unique<Position>(*pos);
    makeNullMove(*pos);
    EXPECT_TRUE(positionIsConsistent(*pos));
    EXPECT_EQ(pos->sideToMove, Black);
    EXPECT_EQ(pos->key, before->key ^ ZobristSide);
    EXPECT_EQ(pos->epSquare, NoSquare);
    EXPECT_EQ(pos->rule50, 0);
    EXPECT_EQ(pos->historyLength, 1);
    EXPECT_EQ(pos->history[0].move, MoveNull);
    EXPECT_EQ(pos->history[0].epSquare, sq("d6"));
    makeChecked(*pos, moveOn(*pos, "e8d7"));
    unmakeMove(*pos);
    unmakeNullMove(*pos);
    EXPECT_TRUE(sameState(*pos, *before));
}

namespace {

// Knights shuffle between two squares each (b1-d2 and g8-e7), so that every
// four plies repeat; every 37th ply, while one is left, a pawn push of the
// side to move is played instead.
Move nextShuffleMove(const Position& pos, int ply, bool withPawns) {
    int us = pos.sideToMove;
    if (withPawns && ply % 37 == 0) {
        for (Bitboard pawns = pos.pieceBB[us][Pawn]; pawns;) {
            Square s = popLsb(pawns);
            Square to = s + pawnPush(us);
            if (relativeRank(us, to) < 7 && pos.board[to] == NoPiece)
                return makeMoveCode(s, to, Pawn, NoPiece, NoPiece);
        }
    }
    const char* squaresOf[2][2] = {{"b1", "d2"}, {"g8", "e7"}};
    Square a = sq(squaresOf[us][0]), b = sq(squaresOf[us][1]);
    return pos.board[a] == Knight ? makeMoveCode(a, b, Knight, NoPiece, NoPiece)
                                  : makeMoveCode(b, a, Knight, NoPiece, NoPiece);
}

// Whether a repetition distance d (4, 6, ... up to rule50) finds an equal key,
// judged from the game's full key record.
int firstRepetition(const std::vector<uint64_t>& keys, uint64_t key, int rule50) {
    int n = int(keys.size());
    for (int d = 4; d <= rule50 && n - d >= 0; d += 2)
        if (keys[n - d] == key) return d;
    return 0;
}

int firstRepetition(const Position& pos) {
    for (int d = 4; d <= pos.rule50 && pos.historyLength - d >= 0; d += 2)
        if (pos.history[pos.historyLength - d].key == pos.key) return d;
    return 0;
}

}  // namespace

TEST_F(MakeMove, LongGamesKeepRepetitionsAfterCompaction) {
    for (bool withPawns : {false, true}) {
        auto pos = fromFen("4k1n1/5ppp/8/8/8/8/PPP5/1N2K3 w - - 0 1");
        std::vector<uint64_t> keys;  // key before each game move
        const int plies = 1500;
        for (int ply = 0; ply < plies; ply++) {
            keys.push_back(pos->key);
            makeMove(*pos, nextShuffleMove(*pos, ply, withPawns));
            compactHistory(*pos);
            ASSERT_LE(pos->historyLength, HistoryCapacity - HistoryReserve);
            ASSERT_EQ(pos->historyLength + pos->historyDropped, ply + 1);
            ASSERT_EQ(firstRepetition(*pos), firstRepetition(keys, pos->key, pos->rule50)) << "ply " << ply;
            for (int i = 0; i < pos->historyLength; i++)
                ASSERT_EQ(pos->history[i].key, keys[pos->historyDropped + i]) << "ply " << ply;
        }
        EXPECT_TRUE(positionIsConsistent(*pos));
        EXPECT_GT(pos->historyDropped, 0);
        // The pawn pushes really reset the clock along the way.
        if (withPawns) {
            EXPECT_EQ(pos->pieceCount[White][Pawn], 3);
            EXPECT_NE(pos->board[sq("a2")], Pawn);
        }
        // A search line from the compacted game still has its room.
        auto before = std::make_unique<Position>(*pos);
        for (int ply = 0; ply < HistoryReserve; ply++) makeMove(*pos, nextShuffleMove(*pos, 1, false));
        EXPECT_EQ(pos->historyDropped, before->historyDropped);
        for (int ply = 0; ply < HistoryReserve; ply++) unmakeMove(*pos);
        EXPECT_TRUE(sameState(*pos, *before));
    }
}

TEST_F(MakeMove, FullHistoryDropsOldestRecord) {
    auto pos = fromFen("4k1n1/8/8/8/8/8/8/1N2K3 w - - 0 1");
    const int plies = HistoryCapacity + 300;
    for (int ply = 0; ply < plies; ply++) {
        makeMove(*pos, nextShuffleMove(*pos, ply, false));
        ASSERT_LE(pos->historyLength, HistoryCapacity);
    }
    EXPECT_EQ(pos->historyLength, HistoryCapacity);
    EXPECT_EQ(pos->historyDropped, plies - HistoryCapacity);
    EXPECT_EQ(pos->history[pos->historyLength - 4].key, pos->key);
    EXPECT_TRUE(positionIsConsistent(*pos));
    auto before = std::make_unique<Position>(*pos);
    makeNullMove(*pos);
    EXPECT_EQ(pos->historyLength, HistoryCapacity);
    unmakeNullMove(*pos);
    for (int ply = 0; ply < 10; ply++) unmakeMove(*pos);
    EXPECT_TRUE(positionIsConsistent(*pos));
    EXPECT_EQ(pos->historyLength, HistoryCapacity - 11);
}
