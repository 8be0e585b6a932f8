// Fuzz target: FEN text from outside, then a game played on it.
//
// Input: the FEN text up to the first line feed; every byte after it picks a
// move (byte modulo the number of legal moves; 0xFF is a null move when the
// side to move is not in check). The same bytes, four at a time, are also
// offered to the move validator as hostile 32-bit move codes.
//
// Any text must leave a consistent position. A FEN that the validating set-up
// accepts must then satisfy the board's laws: legal moves keep the own king
// safe, the rejected pseudo-legal moves do not, make/unmake restores every
// field, the gives-check test agrees with the position after the move, the
// move validator accepts every legal move and nothing the generator would not
// produce, the evaluation stays inside the score range, perft 2 equals the
// sum of the legal move counts one ply down, and the whole line played
// unwinds to the start.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "board/position.h"
#include "board/see.h"
#include "eval/eval.h"
#include "fuzz_init.h"

namespace {

constexpr size_t MaxFenBytes = 256;
constexpr int MaxPlies = 120;
constexpr uint8_t NullMoveByte = 0xFF;

// Stops the run with a message; libFuzzer records the input as a crash.
void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

// The fields that making and unmaking a move must bring back exactly.
bool sameBoardState(const Position& a, const Position& b) {
    return std::memcmp(a.pieceBB, b.pieceBB, sizeof a.pieceBB) == 0 &&
           std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(a.pieceCount, b.pieceCount, sizeof a.pieceCount) == 0 && a.sideToMove == b.sideToMove &&
           a.occupied == b.occupied && a.colorBB[0] == b.colorBB[0] && a.colorBB[1] == b.colorBB[1] &&
           a.kingSquare[0] == b.kingSquare[0] && a.kingSquare[1] == b.kingSquare[1] &&
           a.historyLength == b.historyLength && a.key == b.key && a.pawnKey == b.pawnKey &&
           a.castleRights == b.castleRights && a.epSquare == b.epSquare && a.rule50 == b.rule50 &&
           a.nonPawnMaterial[0] == b.nonPawnMaterial[0] && a.nonPawnMaterial[1] == b.nonPawnMaterial[1] &&
           a.pstA[0] == b.pstA[0] && a.pstA[1] == b.pstA[1] && a.pstB[0] == b.pstB[0] && a.pstB[1] == b.pstB[1];
}

bool contains(const Move* moves, int n, Move m) {
    for (int i = 0; i < n; i++)
        if (moves[i] == m) return true;
    return false;
}

// Every law above for the current position; returns the legal moves.
int checkPosition(Position& pos, Position& saved, Move* legal) {
    require(positionIsConsistent(pos), "consistent position");
    const int us = pos.sideToMove, them = us ^ 1;

    CheckInfo ci;
    computeCheckInfo(ci, pos);
    Move pseudo[MaxMoves];
    const int pseudoCount = generatePseudoLegalMoves(pos, ci, pseudo);
    const int legalCount = generateLegalMoves(pos, legal);
    require(pseudoCount <= MaxMoves && legalCount <= pseudoCount, "move list sizes");

    saved = pos;
    for (int i = 0; i < pseudoCount; i++) {
        const Move m = pseudo[i];
        const bool isLegalMove = contains(legal, legalCount, m);
        require(isLegalMove == isLegal(m, pos, ci), "generated legal moves = isLegal");
        require(isLegal(m, static_cast<const Position&>(pos), ci) == isLegalMove, "both isLegal forms agree");
        // The validator leaves the pin test to the search, so it may accept an
        // illegal move, but never refuses a legal one.
        if (isLegalMove) require(isPseudoLegal(m, pos, ci), "validator accepts the legal moves");
        const bool checks = givesCheck(m, pos);
        if (isCapture(m)) see(m, pos, us, pos.occupied);

        makeMove(pos, m);
        require(positionIsConsistent(pos), "consistent after makeMove");
        const bool ownKingSafe = !isSquareAttacked(pos.kingSquare[us], them, pos);
        require(ownKingSafe == isLegalMove, "legal exactly when the own king is safe");
        if (isLegalMove) require(checks == isSquareAttacked(pos.kingSquare[them], us, pos), "givesCheck");
        unmakeMove(pos);
        require(sameBoardState(pos, saved), "unmakeMove restores the position");
    }

    const Score v = evaluate(pos);
    require(v > -ScoreInfinite && v < ScoreInfinite, "evaluation within the score range");
    isDraw(pos);
    return legalCount;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initFuzzEngine();
    silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* end = data + size;
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const uint8_t* fenEnd = split ? split : end;
    if (size_t(fenEnd - data) > MaxFenBytes) return -1;  // not worth keeping
    const std::string fen(reinterpret_cast<const char*>(data), size_t(fenEnd - data));
    const uint8_t* choice = split ? split + 1 : end;

    static auto pos = std::make_unique<Position>();
    static auto saved = std::make_unique<Position>();
    static auto start = std::make_unique<Position>();

    // The trusting set-up must survive any text without corrupting the record.
    setFromFen(fen, *pos);
    require(positionIsConsistent(*pos), "consistent after setFromFen on any text");

    resetPosition(*pos);
    if (!setFromFenChecked(fen, *pos)) return 0;
    *start = *pos;

    // Hostile move codes are accepted only when the generator would give them.
    {
        CheckInfo ci;
        computeCheckInfo(ci, *pos);
        Move pseudo[MaxMoves];
        const int n = generatePseudoLegalMoves(*pos, ci, pseudo);
        for (const uint8_t* p = choice; p + 4 <= end; p += 4) {
            Move m;
            std::memcpy(&m, p, sizeof m);
            if (isPseudoLegal(m, *pos, ci)) require(contains(pseudo, n, m), "validator is strict");
            require(sameBoardState(*pos, *start), "validator leaves the position");
        }
    }

    Move legal[MaxMoves];
    int plies = 0;
    for (; plies < MaxPlies; plies++) {
        const int n = checkPosition(*pos, *saved, legal);
        if (choice == end || n == 0) break;
        const uint8_t byte = *choice++;
        CheckInfo ci;
        computeCheckInfo(ci, *pos);
        if (byte == NullMoveByte && ci.checkerCount == 0)
            makeNullMove(*pos);
        else
            makeMove(*pos, legal[byte % n]);
    }

    // perft 2 counts the legal replies to every legal move.
    const int n = generateLegalMoves(*pos, legal);
    uint64_t replies = 0;
    for (int i = 0; i < n; i++) {
        Move next[MaxMoves];
        makeMove(*pos, legal[i]);
        replies += uint64_t(generateLegalMoves(*pos, next));
        unmakeMove(*pos);
    }
    require(perft(*pos, 2) == replies, "perft 2");
    require(perft(*pos, 1) == uint64_t(n), "perft 1");

    // Take the whole line back; null moves and real moves alike.
    while (pos->historyLength > 0) {
        if (pos->history[pos->historyLength - 1].move == MoveNull)
            unmakeNullMove(*pos);
        else
            unmakeMove(*pos);
    }
    require(sameBoardState(*pos, *start), "the game line unwinds to the start");
    return 0;
}
