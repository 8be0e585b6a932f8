#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "test_common.h"

namespace {

// The moves of one kind in generation order.
std::vector<Move> generated(const Position& pos, GenKind kind) {
    CheckInfo ci = checkInfoOf(pos);
    Move moves[MaxMoves];
    const int n = generateMoves(kind, pos, ci, moves, 0);
    return std::vector<Move>(moves, moves + n);
}

}  // namespace

TEST(MoveGen, StartPositionQuietOrder) {
    Position& pos = positionOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    const std::vector<std::string> expected = {"b1a3", "b1c3", "g1f3", "g1h3", "a2a3", "b2b3", "c2c3",
                                               "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                                               "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4"};
    EXPECT_EQ(texts(generated(pos, GenKind::Quiets)), expected);
    EXPECT_EQ(texts(generated(pos, GenKind::All)), expected);
    EXPECT_TRUE(generated(pos, GenKind::Tactical).empty());
    // Black mirrors White: knights, single pushes, double pushes, in bit order.
    setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", pos);
    const std::vector<std::string> black = {"b8a6", "b8c6", "g8f6", "g8h6", "a7a6", "b7b6", "c7c6",
                                            "d7d6", "e7e6", "f7f6", "g7g6", "h7h6", "a7a5", "b7b5",
                                            "c7c5", "d7d5", "e7e5", "f7f5", "g7g5", "h7h5"};
    EXPECT_EQ(texts(generated(pos, GenKind::Quiets)), black);
}

TEST(MoveGen, PromotionOrder) {
    // The pushes come first and each promotion runs Q, R, B, N; the capture
    // list alone has no promotion pushes.
    Position& pos = positionOf("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    const std::vector<Move> tactical = generated(pos, GenKind::Tactical);
    EXPECT_EQ(texts(tactical),
              (std::vector<std::string>{"b7b8Q", "b7b8R", "b7b8B", "b7b8N", "b7a8Q", "b7a8R", "b7a8B", "b7a8N"}));
    EXPECT_EQ(tactical[4], makeMoveCode(sq("b7"), sq("a8"), Pawn, Rook, Queen));
    EXPECT_EQ(texts(generated(pos, GenKind::Captures)), (std::vector<std::string>{"b7a8Q", "b7a8R", "b7a8B", "b7a8N"}));
    EXPECT_EQ(std::count_if(tactical.begin(), tactical.end(), isQuiet), 0);
    // Black promotes on the first rank.
    setFromFen("4k3/8/8/8/8/8/6p1/4K2N b - - 0 1", pos);
    EXPECT_EQ(texts(generated(pos, GenKind::Tactical)),
              (std::vector<std::string>{"g2g1Q", "g2g1R", "g2g1B", "g2g1N", "g2h1Q", "g2h1R", "g2h1B", "g2h1N"}));
}

TEST(MoveGen, CaptureOrder) {
    // Pawn captures: all towards the a-file first, then towards the h-file;
    // then knights, bishops, rooks, queens, king; en passant last.
    Position& pos = positionOf("4k3/8/8/2pPp3/1n1Q1r2/2P1P3/8/4K3 w - c6 0 1");
    ASSERT_EQ(pos.epSquare, sq("c6"));
    const std::vector<Move> captures = generated(pos, GenKind::Captures);
    EXPECT_EQ(texts(captures), (std::vector<std::string>{"c3b4", "e3f4", "d4b4", "d4c5", "d4e5", "d4f4", "d5c6"}));
    ASSERT_EQ(captures.size(), 7u);
    EXPECT_EQ(captures[5], makeMoveCode(sq("d4"), sq("f4"), Queen, Rook, NoPiece));
    // En passant names the pawn it takes, though the target square is empty.
    EXPECT_EQ(captures[6], makeMoveCode(sq("d5"), sq("c6"), Pawn, Pawn, NoPiece));
}

TEST(MoveGen, PawnCapturesAtTheEdges) {
    // Pawns on the a- and h-files capture only inwards, and the pass towards
    // the a-file comes first for both colours.
    Position& pos = positionOf("4k3/8/8/8/8/1n4n1/P6P/4K3 w - - 0 1");
    EXPECT_EQ(texts(generated(pos, GenKind::Captures)), (std::vector<std::string>{"h2g3", "a2b3"}));
    setFromFen("4k3/p2p3p/1N2N1N1/8/8/8/8/4K3 b - - 0 1", pos);
    EXPECT_EQ(texts(generated(pos, GenKind::Captures)), (std::vector<std::string>{"h7g6", "a7b6", "d7e6"}));
}

TEST(MoveGen, CastlingSquares) {
    // Through an attacked f1: not generated.
    Position& pos = positionOf("4k3/8/8/8/2b5/8/8/4K2R w K - 0 1");
    const Move shortCastle = makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece);
    std::vector<Move> quiets = generated(pos, GenKind::Quiets);
    EXPECT_EQ(std::count(quiets.begin(), quiets.end(), shortCastle), 0);
    // Into an attacked g1: generated, then rejected by the legality test.
    setFromFen("4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", pos);
    quiets = generated(pos, GenKind::Quiets);
    EXPECT_EQ(std::count(quiets.begin(), quiets.end(), shortCastle), 1);
    CheckInfo ci = checkInfoOf(pos);
    EXPECT_FALSE(isLegal(shortCastle, pos, ci));
    // Queen side: an attacked b1 does not matter, a piece on b1 does.
    const Move longCastle = makeMoveCode(sq("e1"), sq("c1"), King, NoPiece, NoPiece);
    setFromFen("1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1", pos);
    quiets = generated(pos, GenKind::Quiets);
    ASSERT_EQ(std::count(quiets.begin(), quiets.end(), longCastle), 1);
    computeCheckInfo(ci, pos);
    EXPECT_TRUE(isLegal(longCastle, pos, ci));
    setFromFen("4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", pos);
    quiets = generated(pos, GenKind::Quiets);
    EXPECT_EQ(std::count(quiets.begin(), quiets.end(), longCastle), 0);
    // Both sides castle first, king side before queen side.
    setFromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", pos);
    quiets = generated(pos, GenKind::Quiets);
    EXPECT_EQ(moveToText(quiets[0]), "e1g1");
    EXPECT_EQ(moveToText(quiets[1]), "e1c1");
    setFromFen("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", pos);
    quiets = generated(pos, GenKind::Quiets);
    EXPECT_EQ(moveToText(quiets[0]), "e8g8");
    EXPECT_EQ(moveToText(quiets[1]), "e8c8");
}

TEST(MoveGen, DoubleCheckGivesOnlyKingMoves) {
    // Knight f3 and rook e8 both check the king on e1: the king steps off the
    // rook's line (never to e2) and off its own pieces.
    Position& pos = positionOf("4r2k/8/8/8/8/5n2/3P4/R3K2R w KQ - 0 1");
    CheckInfo ci = checkInfoOf(pos);
    ASSERT_EQ(ci.checkerCount, 2);
    for (GenKind kind : {GenKind::Evasions, GenKind::All})
        EXPECT_EQ(texts(generated(pos, kind)), (std::vector<std::string>{"e1d1", "e1f1", "e1f2"}));
}

TEST(MoveGen, EvasionsIncludeEnPassant) {
    // The bishop on c8 checks through d7, which the double step opened: the
    // en-passant capture is produced but does not resolve the check.
    Position& pos = positionOf("2b1k3/8/8/3pP3/8/7K/8/8 w - d6 0 1");
    ASSERT_EQ(pos.epSquare, sq("d6"));
    const Move ep = makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, NoPiece);
    CheckInfo ci = checkInfoOf(pos);
    ASSERT_EQ(ci.checkerCount, 1);
    std::vector<Move> g = generated(pos, GenKind::Evasions);
    EXPECT_EQ(std::count(g.begin(), g.end(), ep), 1);
    EXPECT_FALSE(isLegal(ep, pos, ci));
    // Here the pawn that made the double step is the checker, and en passant removes it.
    setFromFen("4k3/8/8/3pP3/4K3/8/8/8 w - d6 0 1", pos);
    computeCheckInfo(ci, pos);
    ASSERT_EQ(ci.checkerCount, 1);
    g = generated(pos, GenKind::All);
    EXPECT_EQ(std::count(g.begin(), g.end(), ep), 1);
    EXPECT_TRUE(isLegal(ep, pos, ci));
}

TEST(MoveGen, EvasionOrder) {
    // The rook on a8 checks the king on h8 along the eighth rank: king steps,
    // captures of the checker (pawns with their promotions, then knights,
    // bishops, rooks, queens), then interpositions (pawn pushes, promotion
    // pushes, then knights, bishops, rooks, queens).
    Position& pos = positionOf("r6K/1PP1P3/1N3Q2/8/8/4k2B/8/R7 w - - 0 1");
    EXPECT_EQ(texts(generated(pos, GenKind::Evasions)),
              (std::vector<std::string>{"h8g7",  "h8h7",  "b7a8Q", "b7a8R", "b7a8B", "b7a8N", "b6a8",  "a1a8",
                                        "b7b8Q", "b7b8R", "b7b8B", "b7b8N", "c7c8Q", "c7c8R", "c7c8B", "c7c8N",
                                        "e7e8Q", "e7e8R", "e7e8B", "e7e8N", "b6c8",  "h3c8",  "f6f8"}));
}

TEST(MoveGen, QuietChecks) {
    // Discovered checks by the knight that shields the e-file (f6 is guarded
    // by the g7 pawn, d6 is occupied), the pawn push to d7, then direct
    // checks by the bishop and the queen. No king moves, no captures.
    Position& pos = positionOf("4k3/6p1/3P4/8/4N3/3B4/8/K3R2Q w - - 0 1");
    const std::vector<Move> checks = generated(pos, GenKind::QuietChecks);
    EXPECT_EQ(texts(checks), (std::vector<std::string>{"e4c3", "e4c5", "e4d2", "e4f2", "e4g3", "e4g5", "d6d7", "d3b5",
                                                       "h1h5", "h1h8"}));
    // Every one of them does give check.
    for (Move m : checks) EXPECT_TRUE(givesCheck(m, pos)) << moveToText(m);
}

TEST(MoveGen, QuietChecksBlack) {
    // Mirrored for Black: the knight shields the e-file from the rook on e8
    // (the c3 pawn guards b4 and d4, not the knight's squares), then the push
    // d3-d2, from where the pawn attacks the king.
    Position& pos = positionOf("k3r3/8/8/4n3/8/2Pp4/8/4K3 b - - 0 1");
    EXPECT_EQ(texts(generated(pos, GenKind::QuietChecks)),
              (std::vector<std::string>{"e5c4", "e5c6", "e5d7", "e5f3", "e5f7", "e5g4", "e5g6", "d3d2"}));
}

// Random play from the public perft positions: at every position reached the
// generator's legal moves must equal, as a set of full move codes, those of
// the simple mailbox generator.
TEST(MoveGen, MatchesSimpleGeneratorOnRandomPlay) {
    initTestTables();
    const std::vector<PerftCase> cases = readPerftCases();
    ASSERT_FALSE(cases.empty());
    static Position pos;
    RandomSource random(20240517);
    int positions = 0, specials = 0;
    for (int round = 0; round < 3; round++) {
        for (const PerftCase& c : cases) {
            setFromFen(c.fen, pos);
            for (int ply = 0; ply < 12; ply++) {
                Move moves[MaxMoves];
                const int n = generateLegalMoves(pos, moves);
                std::vector<Move> ours(moves, moves + n);
                std::vector<Move> simple = simplegen::legalMoves(simplegen::fromPosition(pos));
                std::sort(ours.begin(), ours.end());
                std::sort(simple.begin(), simple.end());
                ASSERT_EQ(ours, simple) << c.fen << " after " << ply << " random plies";
                positions++;
                if (n == 0) break;
                const Move m = moves[random.below(n)];
                if (isPromotion(m) || movePiece(m) == King || (movePiece(m) == Pawn && moveTo(m) == pos.epSquare))
                    specials++;
                makeMove(pos, m);
            }
        }
    }
    EXPECT_GT(positions, 3000);
    EXPECT_GT(specials, 300);
}

namespace {

// Every field of the position that make and unmake touch, and the undo
// records in use.
struct Snapshot {
    Position fields;
    std::vector<UndoRecord> history;
};

void takeSnapshot(const Position& pos, Snapshot& s) {
    std::memcpy(s.fields.pieceBB, pos.pieceBB, sizeof pos.pieceBB);
    std::memcpy(s.fields.board, pos.board, sizeof pos.board);
    std::memcpy(s.fields.pieceCount, pos.pieceCount, sizeof pos.pieceCount);
    s.fields.sideToMove = pos.sideToMove;
    s.fields.occupied = pos.occupied;
    std::memcpy(s.fields.colorBB, pos.colorBB, sizeof pos.colorBB);
    std::memcpy(s.fields.kingSquare, pos.kingSquare, sizeof pos.kingSquare);
    s.fields.historyLength = pos.historyLength;
    s.fields.key = pos.key;
    s.fields.pawnKey = pos.pawnKey;
    s.fields.castleRights = pos.castleRights;
    s.fields.epSquare = pos.epSquare;
    s.fields.rule50 = pos.rule50;
    std::memcpy(s.fields.nonPawnMaterial, pos.nonPawnMaterial, sizeof pos.nonPawnMaterial);
    std::memcpy(s.fields.pstA, pos.pstA, sizeof pos.pstA);
    std::memcpy(s.fields.pstB, pos.pstB, sizeof pos.pstB);
    s.fields.historyDropped = pos.historyDropped;
    s.history.assign(pos.history, pos.history + pos.historyLength);
}

bool matches(const Position& pos, const Snapshot& s) {
    const Position& f = s.fields;
    return std::memcmp(f.pieceBB, pos.pieceBB, sizeof pos.pieceBB) == 0 &&
           std::memcmp(f.board, pos.board, sizeof pos.board) == 0 &&
           std::memcmp(f.pieceCount, pos.pieceCount, sizeof pos.pieceCount) == 0 && f.sideToMove == pos.sideToMove &&
           f.occupied == pos.occupied && std::memcmp(f.colorBB, pos.colorBB, sizeof pos.colorBB) == 0 &&
           std::memcmp(f.kingSquare, pos.kingSquare, sizeof pos.kingSquare) == 0 &&
           f.historyLength == pos.historyLength && f.key == pos.key && f.pawnKey == pos.pawnKey &&
           f.castleRights == pos.castleRights && f.epSquare == pos.epSquare && f.rule50 == pos.rule50 &&
           std::memcmp(f.nonPawnMaterial, pos.nonPawnMaterial, sizeof pos.nonPawnMaterial) == 0 &&
           std::memcmp(f.pstA, pos.pstA, sizeof pos.pstA) == 0 && std::memcmp(f.pstB, pos.pstB, sizeof pos.pstB) == 0 &&
           f.historyDropped == pos.historyDropped &&
           (s.history.empty() ||
            std::memcmp(s.history.data(), pos.history, s.history.size() * sizeof(UndoRecord)) == 0);
}

}  // namespace

// Random legal games (fixed seed) from the start position and the public
// perft positions: every legal move made and unmade at every ply restores
// the position bit for bit, and the incremental fields (keys, material,
// piece-square sums) equal their from-scratch values all along the game.
TEST(MoveGen, RandomGamesMakeUnmakeRestore) {
    initTestTables();
    const std::vector<PerftCase> cases = readPerftCases();
    static Position pos;
    static Snapshot before;
    RandomSource random(9001);
    int plies = 0, tried = 0;
    for (int game = 0; game < 2000; game++) {
        setFromFen(game % 2 ? cases[(game / 2) % cases.size()].fen
                            : "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                   pos);
        for (int ply = 0; ply < 60; ply++) {
            ASSERT_TRUE(positionIsConsistent(pos)) << "game " << game << " ply " << ply;
            Move moves[MaxMoves];
            const int n = generateLegalMoves(pos, moves);
            if (n == 0) break;
            takeSnapshot(pos, before);
            for (int i = 0; i < n; i++) {
                makeMove(pos, moves[i]);
                unmakeMove(pos);
                ASSERT_TRUE(matches(pos, before)) << "game " << game << " ply " << ply << " " << moveToText(moves[i]);
                tried++;
            }
            makeMove(pos, moves[random.below(n)]);
            plies++;
        }
    }
    EXPECT_GT(plies, 50000);
    EXPECT_GT(tried, 1000000);
}
