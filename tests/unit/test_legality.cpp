#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/tables.h"
#include "test_common.h"

namespace {

std::vector<std::string> legalTexts(const Position& pos) {
    Move moves[MaxMoves];
    const int n = generateLegalMoves(pos, moves);
    std::vector<std::string> out;
    for (int i = 0; i < n; i++) out.push_back(moveToText(moves[i]));
    std::sort(out.begin(), out.end());
    return out;
}

bool isSpecial(Move m, const Position& pos) {
    return isPromotion(m) || (movePiece(m) == Pawn && moveTo(m) == pos.epSquare) ||
           (movePiece(m) == King && Distance[moveFrom(m)][moveTo(m)] == 2);
}

// Whether the move really leaves the mover's king safe: play it and look.
bool reallyLegal(Move m, Position& pos) {
    const int us = pos.sideToMove;
    makeMove(pos, m);
    const bool safe = !isSquareAttacked(pos.kingSquare[us], us ^ 1, pos);
    unmakeMove(pos);
    return safe;
}

bool reallyChecks(Move m, Position& pos) {
    const int them = pos.sideToMove ^ 1;
    makeMove(pos, m);
    const bool check = isSquareAttacked(pos.kingSquare[them], them ^ 1, pos);
    unmakeMove(pos);
    return check;
}

// Every position of short random games from the perft positions (fixed seed).
void forRandomPositions(int rounds, int plies, const std::function<void(Position&)>& visit) {
    initTestTables();
    forRandomGamePositions(77, rounds, plies, visit);
}

}  // namespace

TEST(Legality, CheckInfoOfARookCheck) {
    Position& pos = positionOf("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
    CheckInfo ci = checkInfoOf(pos);
    EXPECT_EQ(ci.checkerCount, 1);
    EXPECT_EQ(ci.checkers[0], sq("e8"));
    EXPECT_EQ(ci.kingDanger, squares({"e2", "e3", "e4", "e5", "e6", "e7"}));  // nothing behind e1
    EXPECT_EQ(ci.blockers, 0u);
    // A king in the middle: the square behind it is dangerous too.
    setFromFen("4r2k/8/8/8/4K3/8/8/8 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_EQ(ci.kingDanger, squares({"e7", "e6", "e5", "e3", "e2", "e1"}));
}

TEST(Legality, CheckInfoBlockersAndContactChecks) {
    // The queen checks; the bishop's line to e1 is shielded by the knight alone.
    Position& pos = positionOf("k3q3/8/8/8/1b6/8/3N4/4K3 w - - 0 1");
    CheckInfo ci = checkInfoOf(pos);
    EXPECT_EQ(ci.checkerCount, 1);
    EXPECT_EQ(ci.checkers[0], sq("e8"));
    EXPECT_EQ(ci.blockers, squares({"d2"}));
    // Blockers of either colour count, two pieces on a line are no pin.
    setFromFen("k3q3/8/4p3/8/1b6/2n5/3N4/4K3 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_EQ(ci.checkerCount, 0);
    EXPECT_EQ(ci.blockers, squares({"e6"}));
    // A knight and a rook: the contact checker is listed first.
    setFromFen("k3r3/8/8/8/8/3n4/8/4K3 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_EQ(ci.checkerCount, 2);
    EXPECT_EQ(ci.checkers[0], sq("d3"));
    EXPECT_EQ(ci.checkers[1], sq("e8"));
    // A pawn check.
    setFromFen("k7/8/8/8/8/8/5p2/4K3 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_EQ(ci.checkerCount, 1);
    EXPECT_EQ(ci.checkers[0], sq("f2"));
    EXPECT_EQ(ci.kingDanger, 0u);
}

TEST(Legality, Pins) {
    // The knight pinned by the rook has no legal move.
    Position& pos = positionOf("4r2k/8/8/8/8/8/4N3/4K3 w - - 0 1");
    for (const std::string& m : legalTexts(pos)) EXPECT_NE(m.substr(0, 2), "e2") << m;
    // The pinned rook moves along the line, up to and onto the pinner.
    setFromFen("4r2k/8/8/8/8/8/4R3/4K3 w - - 0 1", pos);
    std::vector<std::string> rook;
    for (const std::string& m : legalTexts(pos))
        if (m.substr(0, 2) == "e2") rook.push_back(m);
    EXPECT_EQ(rook, (std::vector<std::string>{"e2e3", "e2e4", "e2e5", "e2e6", "e2e7", "e2e8"}));
    // A pinned pawn may capture the pinning bishop but not push.
    setFromFen("7k/8/8/8/8/2b5/3P4/4K3 w - - 0 1", pos);
    std::vector<std::string> pawn;
    for (const std::string& m : legalTexts(pos))
        if (m.substr(0, 2) == "d2") pawn.push_back(m);
    EXPECT_EQ(pawn, (std::vector<std::string>{"d2c3"}));
}

TEST(Legality, EnPassantPinnedAlongTheRank) {
    // King and enemy rook on the fifth rank with both pawns between them.
    Position& pos = positionOf("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    ASSERT_EQ(pos.epSquare, sq("d6"));
    const Move ep = makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, NoPiece);
    const CheckInfo ci = checkInfoOf(pos);
    EXPECT_FALSE(isLegal(ep, pos, ci));
    EXPECT_FALSE(reallyLegal(ep, pos));
    // Without the rook it is legal.
    setFromFen("8/8/8/K2pP3/8/8/8/7k w - d6 0 1", pos);
    EXPECT_TRUE(isLegal(ep, pos, checkInfoOf(pos)));
    // The captured pawn shielded the king on a diagonal: no pin test sees that.
    setFromFen("7k/5b2/8/3pP3/8/1K6/8/8 w - d6 0 1", pos);
    EXPECT_FALSE(isLegal(ep, pos, checkInfoOf(pos)));
    EXPECT_FALSE(reallyLegal(ep, pos));
}

TEST(Legality, SquareAttacksAndSliderBlockers) {
    Position& pos = positionOf("4k3/8/8/3p4/8/1q6/8/R3K2N w - - 0 1");
    EXPECT_TRUE(isSquareAttacked(sq("c4"), Black, pos));  // pawn d5
    EXPECT_TRUE(isSquareAttacked(sq("e4"), Black, pos));
    EXPECT_FALSE(isSquareAttacked(sq("d4"), Black, pos));  // pawns do not attack forwards
    EXPECT_FALSE(isSquareAttacked(sq("e1"), Black, pos));
    EXPECT_TRUE(isSquareAttacked(sq("d1"), Black, pos));  // queen b3 along the diagonal
    EXPECT_TRUE(isSquareAttacked(sq("g3"), White, pos));  // knight h1
    EXPECT_TRUE(isSquareAttacked(sq("a8"), White, pos));  // rook a1 up the file
    EXPECT_TRUE(isSquareAttacked(sq("e1"), White, pos));  // the rook defends its king
    EXPECT_FALSE(isSquareAttacked(sq("b3"), White, pos));
    EXPECT_TRUE(isSquareAttacked(sq("f2"), White, pos));  // king
    // A white rook behind a black pawn behind a white knight: two pieces, no blocker.
    setFromFen("4k3/4n3/8/8/4P3/8/8/4R1K1 b - - 0 1", pos);
    EXPECT_EQ(sliderBlockers(sq("e8"), White, pos), 0u);
    setFromFen("4k3/4n3/8/8/8/8/8/4R1K1 b - - 0 1", pos);
    EXPECT_EQ(sliderBlockers(sq("e8"), White, pos), squares({"e7"}));
}

TEST(Legality, IsLegalAgreesWithPlayingTheMove) {
    int moves = 0, illegal = 0;
    forRandomPositions(2, 12, [&](Position& pos) {
        const CheckInfo ci = checkInfoOf(pos);
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, ci, list);
        const uint64_t key = pos.key;
        for (int i = 0; i < n; i++) {
            const bool legal = reallyLegal(list[i], pos);
            ASSERT_EQ(isLegal(list[i], pos, ci), legal) << moveToText(list[i]);
            ASSERT_EQ(isLegal(list[i], static_cast<const Position&>(pos), ci), legal);
            moves++;
            illegal += !legal;
        }
        ASSERT_EQ(pos.key, key);
    });
    EXPECT_GT(moves, 10000);
    EXPECT_GT(illegal, 100);
}

TEST(Legality, PseudoLegalAcceptsGeneratedMoves) {
    // Every generated move passes; the ones whose remaining tests are left
    // to isLegal (castling, en passant, promotions) pass exactly when legal.
    int checked = 0;
    forRandomPositions(2, 12, [&](Position& pos) {
        const CheckInfo ci = checkInfoOf(pos);
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, ci, list);
        for (int i = 0; i < n; i++) {
            const Move m = list[i];
            const bool expected = isSpecial(m, pos) ? isLegal(m, pos, ci) : true;
            ASSERT_EQ(isPseudoLegal(m, pos, ci), expected) << moveToText(m);
            checked++;
        }
    });
    EXPECT_GT(checked, 10000);
}

TEST(Legality, PseudoLegalRejectsEverythingElse) {
    // Random values, generated moves with one field changed, and every
    // boundary value of each field: whatever is accepted is a generated move
    // (an evasion when in check), and nothing crashes.
    RandomSource random(4242);
    int accepted = 0, tried = 0, positions = 0;
    forRandomPositions(1, 8, [&](Position& pos) {
        const CheckInfo ci = checkInfoOf(pos);
        Move list[MaxMoves];
        const int n = generatePseudoLegalMoves(pos, ci, list);
        std::vector<Move> generated(list, list + n);
        std::sort(generated.begin(), generated.end());
        const uint64_t key = pos.key;
        auto offer = [&](Move m) {
            tried++;
            if (!isPseudoLegal(m, pos, ci)) return;
            accepted++;
            EXPECT_TRUE(std::binary_search(generated.begin(), generated.end(), m)) << std::hex << m;
        };
        for (int i = 0; i < 200; i++) offer(Move(random.next()));
        for (Move m : generated) {
            for (int bit = 0; bit < 32; bit++) offer(m ^ Move(1u << bit));
            offer(m ^ 0x40000);  // captured field off by one
        }
        if (positions++ % 8 == 0) {
            const int pieceBytes[] = {-128, -1, 0, 1, 2, 3, 4, 5, 6, 7, 63, 127};
            const int fields[] = {0, 1, 5, 6, 7, 62, 63};
            for (int from = 0; from < 64; from++) {
                if (!(pos.colorBB[pos.sideToMove] & squareBB(from)) && from != 0 && from != 63) continue;
                for (int to = 0; to < 64; to++)
                    for (int piece : pieceBytes)
                        for (int captured : fields)
                            for (int promotion : fields)
                                offer(Move(uint32_t(to | from << 6 | promotion << 12 | captured << 18) | uint32_t(piece)
                                                                                                             << 24));
            }
        }
        ASSERT_EQ(pos.key, key);
    });
    EXPECT_GT(tried, 1000000);
    EXPECT_GT(accepted, 1000);
}

TEST(Legality, PseudoLegalSpecialCases) {
    Position& pos = positionOf("r3k2r/8/8/8/8/8/4P3/R3K1NR w KQkq - 0 1");
    CheckInfo ci = checkInfoOf(pos);
    // A killer from another position: the knight it names is not there.
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("b1"), sq("c3"), Knight, NoPiece, NoPiece), pos, ci));
    // The knight is on g1, but the move claims a bishop.
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("g1"), sq("f3"), Bishop, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("g1"), sq("f3"), Knight, NoPiece, NoPiece), pos, ci));
    // Castling short is blocked by the knight, long is open.
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e1"), sq("c1"), King, NoPiece, NoPiece), pos, ci));
    // Two squares away but not a castling move.
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e1"), sq("e3"), King, NoPiece, NoPiece), pos, ci));
    // Pawn pushes: single and double, no capture forwards, no promotion flag.
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e2"), sq("e4"), Pawn, NoPiece, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e2"), sq("e3"), Pawn, NoPiece, Queen), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e2"), sq("d3"), Pawn, NoPiece, NoPiece), pos, ci));
    // The null move and no move.
    EXPECT_FALSE(isPseudoLegal(MoveNone, pos, ci));
    EXPECT_FALSE(isPseudoLegal(MoveNull, pos, ci));

    // Promotions: a pawn reaching the last rank must promote, to N, B, R or Q.
    setFromFen("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, Knight), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, Pawn), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, King), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("b7"), sq("b8"), Pawn, NoPiece, 63), pos, ci));

    // En passant needs the pawn beside, a diagonal step and no promotion.
    setFromFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e5"), sq("d6"), Pawn, NoPiece, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, 63), pos, ci));

    // In check only evasions pass: here the rook on e8 checks.
    setFromFen("4r2k/8/8/8/8/8/R7/4K2R w K - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("a2"), sq("a3"), Rook, NoPiece, NoPiece), pos, ci));
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("h1"), sq("h8"), Rook, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("a2"), sq("e2"), Rook, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e1"), sq("d1"), King, NoPiece, NoPiece), pos, ci));
    // The king may not retreat along the checking line, although the square
    // behind it is not attacked while the king still stands in the way.
    setFromFen("4r2k/8/8/8/4K3/8/8/8 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("e4"), sq("e3"), King, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e4"), sq("d3"), King, NoPiece, NoPiece), pos, ci));
    // In double check only the king moves.
    setFromFen("4r2k/8/8/8/8/5n2/R7/4K3 w - - 0 1", pos);
    ci = checkInfoOf(pos);
    ASSERT_EQ(ci.checkerCount, 2);
    EXPECT_FALSE(isPseudoLegal(makeMoveCode(sq("a2"), sq("e2"), Rook, NoPiece, NoPiece), pos, ci));
    EXPECT_TRUE(isPseudoLegal(makeMoveCode(sq("e1"), sq("d1"), King, NoPiece, NoPiece), pos, ci));
}

TEST(Legality, GivesCheck) {
    // Direct checks, judged on the board before the move.
    Position& pos = positionOf("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("a1"), sq("a8"), Rook, NoPiece, NoPiece), pos));
    EXPECT_FALSE(givesCheck(makeMoveCode(sq("a1"), sq("a7"), Rook, NoPiece, NoPiece), pos));
    // Castling king side puts the rook on f1, which checks the king on f8.
    setFromFen("5k2/8/8/8/8/8/8/4K2R w K - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("e1"), sq("g1"), King, NoPiece, NoPiece), pos));
    // Discovered check by the bishop behind the knight.
    setFromFen("7k/8/8/8/3N4/8/1B6/4K3 w - - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("d4"), sq("b5"), Knight, NoPiece, NoPiece), pos));
    EXPECT_TRUE(discoveredCheckBy(sq("h8"), sq("d4"), White, pos));
    EXPECT_FALSE(discoveredCheckBy(sq("h8"), sq("d4"), Black, pos));
    // Promotion checks along the new piece's lines.
    setFromFen("k7/7P/8/8/8/8/8/4K3 w - - 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("h7"), sq("h8"), Pawn, NoPiece, Queen), pos));
    EXPECT_FALSE(givesCheck(makeMoveCode(sq("h7"), sq("h8"), Pawn, NoPiece, Knight), pos));
    // En passant that opens the rank for the rook.
    setFromFen("8/8/8/R2pP2k/8/8/8/4K3 w - d6 0 1", pos);
    EXPECT_TRUE(givesCheck(makeMoveCode(sq("e5"), sq("d6"), Pawn, Pawn, NoPiece), pos));
}

// The direct test looks at the board before the move. That misses a slider
// moving straight away from the king along their common line, but such a
// slider would already give check from its from square, so in positions of
// real play the test is exact.
TEST(Legality, GivesCheckAgreesWithPlayingTheMove) {
    int checks = 0;
    forRandomPositions(2, 12, [&](Position& pos) {
        Move list[MaxMoves];
        const int n = generateLegalMoves(pos, list);
        for (int i = 0; i < n; i++) {
            const bool truth = reallyChecks(list[i], pos);
            ASSERT_EQ(givesCheck(list[i], pos), truth) << moveToText(list[i]);
            checks += truth;
        }
    });
    EXPECT_GT(checks, 500);
}

TEST(Legality, DrawRules) {
    Position& pos = positionOf("4k3/8/8/8/8/8/4P3/4K3 w - - 100 80");
    EXPECT_FALSE(isDraw(pos));
    setFromFen("4k3/8/8/8/8/8/4P3/4K3 w - - 101 80", pos);
    EXPECT_TRUE(isDraw(pos));
    // Material: two knights can still mate with help, one bishop cannot.
    setFromFen("4k3/8/8/8/8/8/8/3NKN2 w - - 0 1", pos);
    EXPECT_FALSE(isDraw(pos));
    setFromFen("4k3/8/8/8/8/8/8/4KB2 w - - 0 1", pos);
    EXPECT_TRUE(isDraw(pos));
    setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1", pos);
    EXPECT_TRUE(isDraw(pos));
    setFromFen("4k3/8/8/8/8/8/7P/4K3 w - - 0 1", pos);
    EXPECT_FALSE(isDraw(pos));  // a pawn keeps the game going

    // Knights out and back: the start position repeats after four plies.
    setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", pos);
    for (const char* word : {"g1f3", "g8f6", "f3g1"}) {
        ASSERT_TRUE(moveFromText(word, pos));
        EXPECT_FALSE(isDraw(pos)) << word;
    }
    ASSERT_TRUE(moveFromText("f6g8", pos));
    EXPECT_EQ(pos.rule50, 4);
    EXPECT_TRUE(isDraw(pos));
    // Castling rights are not part of the comparison: a rook out and back
    // after the rights were lost still repeats.
    setFromFen("4k3/8/8/8/8/8/8/4K2R w K - 0 1", pos);
    for (const char* word : {"h1h2", "e8d8", "h2h1", "d8e8"}) ASSERT_TRUE(moveFromText(word, pos));
    EXPECT_TRUE(isDraw(pos));
    // A pawn move in between cuts the history off.
    setFromFen("4k3/8/8/8/8/8/P7/4K1N1 w - - 0 1", pos);
    for (const char* word : {"g1f3", "e8d8", "f3g1", "d8e8"}) ASSERT_TRUE(moveFromText(word, pos));
    EXPECT_TRUE(isDraw(pos));
    for (const char* word : {"a2a3", "e8d8"}) ASSERT_TRUE(moveFromText(word, pos));
    EXPECT_EQ(pos.rule50, 1);
    EXPECT_FALSE(isDraw(pos));
    // The clock from the FEN does not reach back past the start of the history.
    setFromFen("4k3/8/8/8/8/8/P7/4K1N1 w - - 30 1", pos);
    for (const char* word : {"g1f3", "e8d8", "f3g1"}) ASSERT_TRUE(moveFromText(word, pos));
    EXPECT_FALSE(isDraw(pos));
    ASSERT_TRUE(moveFromText("d8e8", pos));
    EXPECT_TRUE(isDraw(pos));
}
