// Helpers shared by the unit tests: the start-up tables, positions from FEN
// and from piece lists, squares by name, one-term runs of the evaluation,
// search records and captured searches, a deliberately simple second move
// generator, the perft positions file and random legal play.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/report.h"
#include "board/bitops.h"
#include "board/legality.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/position.h"
#include "board/tables.h"
#include "board/types.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "eval/terms.h"
#include "search/ordering.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tt.h"

// Start-up tables: each test calls initTestTables() first; the tables are
// built once per test binary.
inline void initTestTables() {
    static bool done = false;
    if (done) return;
    initBoardTables();
    initEvaluation();  // the piece-square tables every position sums
    done = true;
}

// The square named "a1" .. "h8".
inline Square sq(const char* name) { return makeSquare(name[0] - 'a', name[1] - '1'); }

// The set of the squares named.
inline Bitboard squares(std::initializer_list<const char*> names) {
    Bitboard b = 0;
    for (const char* n : names) b |= squareBB(sq(n));
    return b;
}

// A position set up from a FEN, on the heap (a Position is large: its undo
// history).
inline std::unique_ptr<Position> fromFen(const std::string& fen) {
    auto pos = std::make_unique<Position>();
    setFromFen(fen, *pos);
    return pos;
}

// The moves as the engine writes them.
inline std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> out;
    for (Move m : moves) out.push_back(moveToText(m));
    return out;
}

// The piece-placement field of a FEN for a board of FEN letters indexed by
// square (0: empty).
inline std::string placementOf(const char board[64]) {
    std::string fen;
    for (int rank = 7; rank >= 0; rank--) {
        int empty = 0;
        for (int file = 0; file < 8; file++) {
            const char c = board[makeSquare(file, rank)];
            if (!c) {
                empty++;
                continue;
            }
            if (empty) fen += char('0' + empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += char('0' + empty);
        if (rank > 0) fen += '/';
    }
    return fen;
}

// One shared position record set up from a FEN (it is large: its undo
// history); the next call sets it up afresh.
inline Position& positionOf(const std::string& fen) {
    static Position pos;
    initTestTables();
    setFromFen(fen, pos);
    return pos;
}

inline CheckInfo checkInfoOf(const Position& pos) {
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    return ci;
}

// A position is written as a list of pieces, "Ke1 Nb1 ke8": FEN letter
// (upper case White) and square.
using PieceList = std::string;

inline std::vector<std::string> piecesOf(const PieceList& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i + 3 <= list.size(); i += 4) out.push_back(list.substr(i, 3));
    return out;
}

// A FEN with the pieces on their squares and the given side to move.
inline std::string fenOf(const PieceList& list, char sideToMove) {
    char board[64] = {};
    for (const std::string& p : piecesOf(list)) board[(p[1] - 'a') * 8 + (p[2] - '1')] = p[0];
    return placementOf(board) + ' ' + sideToMove + " - - 0 1";
}

// The same game with the colours exchanged and the board turned upside
// down (rank r -> 7 - r); the caller exchanges the side to move.
inline PieceList swapColours(const PieceList& list) {
    PieceList out;
    for (const std::string& p : piecesOf(list)) {
        const char letter = p[0] >= 'a' ? p[0] - 32 : p[0] + 32;
        out += std::string(out.empty() ? "" : " ") + letter + p[1] + char('1' + '8' - p[2]);
    }
    return out;
}

// The position mirrored across the middle files (file f -> 7 - f).
inline PieceList mirrorFiles(const PieceList& list) {
    PieceList out;
    for (const std::string& p : piecesOf(list))
        out += std::string(out.empty() ? "" : " ") + p[0] + char('a' + 'h' - p[1]) + p[2];
    return out;
}

// Builds the KPK table once; returns the build time in milliseconds.
inline double ensureKpkBitbase() {
    static double elapsed = -1;
    if (elapsed >= 0) return elapsed;
    initTestTables();
    const auto start = std::chrono::steady_clock::now();
    buildKpkBitbase();
    const auto end = std::chrono::steady_clock::now();
    elapsed = std::chrono::duration<double, std::milli>(end - start).count();
    return elapsed;
}

// Failure messages show a pair as {mg, eg}.
inline void PrintTo(const ScorePair& s, std::ostream* os) { *os << "{" << s.mg << ", " << s.eg << "}"; }

namespace evaltest {

// Board tables, the king-danger table, the KPK table and both caches (at
// their start-up sizes), once per test binary.
inline void initEvalTables() {
    static bool done = false;
    if (done) return;
    initTestTables();
    buildKpkBitbase();
    resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    done = true;
}

// The suite positions of the evaluation tests, one FEN a line.
inline std::vector<std::string> evalPositionFens() {
    std::vector<std::string> fens;
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/eval_positions.epd");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) fens.push_back(line);
    return fens;
}

// Positions are large (their undo history), so they live on the heap.
inline std::unique_ptr<Position> position(const std::string& fen) {
    initEvalTables();
    return fromFen(fen);
}

// What one term added to one colour's accumulators.
using Delta = ScorePair;

inline Delta pawnTerm(const Position& pos, int color, Bitboard* passed = nullptr) {
    Bitboard set = 0;
    const Delta d = withColour(color, [&](auto us) { return evaluatePawns<us>(pos, set); });
    if (passed) *passed = set;
    return d;
}

inline Delta passedTerm(const Position& pos, int color) {
    Bitboard passed = 0;
    pawnTerm(pos, color, &passed);
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluatePassedPawns<us>(ai, pos, passed); });
}

// Piece terms (the piece-square sums are not among them).
inline Delta pieceTerm(const Position& pos, int color, KingAttackTally* tallyOut = nullptr) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    KingAttackTally tally;
    const Delta d = withColour(color, [&](auto us) { return evaluatePieces<us>(pos, ai, tally, countPawnRams(pos)); });
    if (tallyOut) *tallyOut = tally;
    return d;
}

inline Delta threatTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateThreats<us>(ai, pos); });
}

inline int spaceTerm(const Position& pos, int color) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateSpace<us>(ai, pos); });
}

// King safety of `color` with a tally given by the test.
inline int kingTermWith(const Position& pos, int color, KingAttackTally tally) {
    AttackInfo ai;
    buildAttackInfo(pos, ai);
    return withColour(color, [&](auto us) { return evaluateKingSafety<us>(ai, pos, tally); });
}

// King safety of `color` with the tally the enemy's piece terms gather.
inline int kingTerm(const Position& pos, int color) {
    KingAttackTally tally;
    pieceTerm(pos, color ^ 1, &tally);
    return kingTermWith(pos, color, tally);
}

}  // namespace evaltest

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

namespace simplegen {

constexpr int Empty = -1;

struct Board {
    int piece[64];  // colour * 8 + type, or Empty
    int side;
    int castle;  // KQkq bits
    int ep;      // square a pawn may capture on, or NoSquare
};

inline int colorOf(int p) { return p >> 3; }
inline int typeOf(int p) { return p & 7; }
inline bool onBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }
inline int sq(int file, int rank) { return file * 8 + rank; }

inline Board fromPosition(const Position& pos) {
    Board b;
    for (int s = 0; s < 64; s++) {
        b.piece[s] = Empty;
        for (int c = 0; c < 2; c++)
            for (int t = 0; t < 6; t++)
                if (pos.pieceBB[c][t] >> s & 1) b.piece[s] = c * 8 + t;
    }
    b.side = pos.sideToMove;
    b.castle = pos.castleRights;
    b.ep = pos.epSquare;
    return b;
}

constexpr int KnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int KingSteps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr int DiagonalSteps[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr int StraightSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

// Does the piece on from attack target? Worked out from the piece's moves.
inline bool pieceAttacks(const Board& b, int from, int target) {
    const int p = b.piece[from];
    const int df = (target >> 3) - (from >> 3), dr = (target & 7) - (from & 7);
    const int adf = df < 0 ? -df : df, adr = dr < 0 ? -dr : dr;
    switch (typeOf(p)) {
        case Pawn:
            return adf == 1 && dr == (colorOf(p) == White ? 1 : -1);
        case Knight:
            return (adf == 1 && adr == 2) || (adf == 2 && adr == 1);
        case King:
            return std::max(adf, adr) == 1;
        default:
            break;
    }
    const bool straight = df == 0 || dr == 0;
    const bool diagonal = adf == adr;
    if (from == target) return false;
    if (typeOf(p) == Bishop && !diagonal) return false;
    if (typeOf(p) == Rook && !straight) return false;
    if (!straight && !diagonal) return false;
    const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
    int f = (from >> 3) + sf, r = (from & 7) + sr;
    while (sq(f, r) != target) {
        if (b.piece[sq(f, r)] != Empty) return false;
        f += sf;
        r += sr;
    }
    return true;
}

inline bool attacked(const Board& b, int target, int byColor) {
    for (int s = 0; s < 64; s++)
        if (b.piece[s] != Empty && colorOf(b.piece[s]) == byColor && pieceAttacks(b, s, target)) return true;
    return false;
}

inline int kingOf(const Board& b, int color) {
    for (int s = 0; s < 64; s++)
        if (b.piece[s] == color * 8 + King) return s;
    return NoSquare;
}

// Plays a move given as a full move code on a copy.
inline Board play(const Board& b, Move m) {
    Board n = b;
    const int from = moveFrom(m), to = moveTo(m), type = movePiece(m), promo = movePromotion(m);
    const int us = b.side;
    n.piece[to] = n.piece[from];
    n.piece[from] = Empty;
    if (type == Pawn && to == b.ep) n.piece[sq(to >> 3, from & 7)] = Empty;
    if (promo != NoPiece) n.piece[to] = us * 8 + promo;
    if (type == King && ((to >> 3) - (from >> 3) == 2 || (from >> 3) - (to >> 3) == 2)) {
        const int rank = from & 7;
        const bool kingSide = (to >> 3) == 6;
        n.piece[sq(kingSide ? 5 : 3, rank)] = n.piece[sq(kingSide ? 7 : 0, rank)];
        n.piece[sq(kingSide ? 7 : 0, rank)] = Empty;
    }
    // Rights go with a move of the king or rook, or a capture on a rook's corner.
    const int corners[4] = {sq(7, 0), sq(0, 0), sq(7, 7), sq(0, 7)};
    const int kings[2] = {sq(4, 0), sq(4, 7)};
    for (int right = 0; right < 4; right++) {
        const int king = kings[right >> 1];
        if (from == king || from == corners[right] || to == corners[right]) n.castle &= ~(1 << right);
    }
    n.ep = NoSquare;
    if (type == Pawn && ((to & 7) - (from & 7) == 2 || (from & 7) - (to & 7) == 2)) n.ep = (from + to) / 2;
    n.side = us ^ 1;
    return n;
}

inline void addMove(std::vector<Move>& out, const Board& b, int from, int to, int captured, int promo) {
    out.push_back(makeMoveCode(from, to, typeOf(b.piece[from]), captured, promo));
}

inline std::vector<Move> pseudoMoves(const Board& b) {
    std::vector<Move> out;
    const int us = b.side;
    for (int from = 0; from < 64; from++) {
        const int p = b.piece[from];
        if (p == Empty || colorOf(p) != us) continue;
        const int f = from >> 3, r = from & 7;
        const int type = typeOf(p);
        if (type == Pawn) {
            const int dir = us == White ? 1 : -1;
            const int last = us == White ? 7 : 0, start = us == White ? 1 : 6;
            auto pawnTo = [&](int to, int captured) {
                if ((to & 7) == last) {
                    for (int promo = Knight; promo <= Queen; promo++) addMove(out, b, from, to, captured, promo);
                } else {
                    addMove(out, b, from, to, captured, NoPiece);
                }
            };
            if (onBoard(f, r + dir) && b.piece[sq(f, r + dir)] == Empty) {
                pawnTo(sq(f, r + dir), NoPiece);
                if (r == start && b.piece[sq(f, r + 2 * dir)] == Empty) pawnTo(sq(f, r + 2 * dir), NoPiece);
            }
            for (int df = -1; df <= 1; df += 2) {
                if (!onBoard(f + df, r + dir)) continue;
                const int to = sq(f + df, r + dir);
                if (b.piece[to] != Empty && colorOf(b.piece[to]) != us) pawnTo(to, typeOf(b.piece[to]));
                if (to == b.ep && b.piece[to] == Empty) pawnTo(to, Pawn);
            }
            continue;
        }
        auto target = [&](int tf, int tr) {  // returns false when the ray stops
            if (!onBoard(tf, tr)) return false;
            const int to = sq(tf, tr);
            if (b.piece[to] == Empty) {
                addMove(out, b, from, to, NoPiece, NoPiece);
                return true;
            }
            if (colorOf(b.piece[to]) != us) addMove(out, b, from, to, typeOf(b.piece[to]), NoPiece);
            return false;
        };
        if (type == Knight || type == King) {
            const auto& steps = type == Knight ? KnightSteps : KingSteps;
            for (const auto& s : steps) target(f + s[0], r + s[1]);
        }
        if (type == Bishop || type == Queen)
            for (const auto& s : DiagonalSteps)
                for (int k = 1; target(f + k * s[0], r + k * s[1]); k++) {
                }
        if (type == Rook || type == Queen)
            for (const auto& s : StraightSteps)
                for (int k = 1; target(f + k * s[0], r + k * s[1]); k++) {
                }
        if (type == King) {
            // Castling: king and rook at home, empty squares between them, and
            // the king neither in check nor crossing or reaching an attacked square.
            const int rank = us == White ? 0 : 7;
            for (int side = 0; side < 2; side++) {
                if (!(b.castle & (1 << (us * 2 + side)))) continue;
                const int rookFile = side == 0 ? 7 : 0;
                if (from != sq(4, rank) || b.piece[sq(rookFile, rank)] != us * 8 + Rook) continue;
                bool clear = true;
                for (int cf = std::min(4, rookFile) + 1; cf < std::max(4, rookFile); cf++)
                    if (b.piece[sq(cf, rank)] != Empty) clear = false;
                const int step = side == 0 ? 1 : -1;
                for (int k = 0; k <= 2 && clear; k++)
                    if (attacked(b, sq(4 + k * step, rank), us ^ 1)) clear = false;
                if (clear) addMove(out, b, from, sq(4 + 2 * step, rank), NoPiece, NoPiece);
            }
        }
    }
    return out;
}

inline std::vector<Move> legalMoves(const Board& b) {
    std::vector<Move> out;
    for (Move m : pseudoMoves(b)) {
        const Board n = play(b, m);
        const int k = kingOf(n, b.side);
        if (k != NoSquare && !attacked(n, k, b.side ^ 1)) out.push_back(m);
    }
    return out;
}

inline uint64_t perft(const Board& b, int depth) {
    if (depth == 0) return 1;
    const std::vector<Move> moves = legalMoves(b);
    if (depth == 1) return moves.size();
    uint64_t n = 0;
    for (Move m : moves) n += perft(play(b, m), depth - 1);
    return n;
}

}  // namespace simplegen

// One line of the perft positions file: "FEN ;D1 n ;D2 n ...".
struct PerftCase {
    std::string fen;
    std::vector<std::pair<int, uint64_t>> counts;  // depth, leaf count
};

inline std::vector<PerftCase> readPerftCases() {
    std::vector<PerftCase> cases;
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/perft.epd");
    std::string line;
    while (std::getline(in, line)) {
        // The file's lines may carry a stray NUL or carriage return at the end.
        line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == '\0' || c == '\r'; }), line.end());
        const size_t semi = line.find(';');
        if (semi == std::string::npos) continue;
        PerftCase c;
        c.fen = line.substr(0, semi);
        size_t at = semi;
        while (at != std::string::npos) {
            const size_t next = line.find(';', at + 1);
            const std::string field =
                line.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
            const size_t d = field.find('D');
            if (d != std::string::npos) {
                const int depth = std::stoi(field.substr(d + 1));
                const uint64_t count = std::stoull(field.substr(field.find(' ', d) + 1));
                c.counts.push_back({depth, count});
            }
            at = next;
        }
        cases.push_back(c);
    }
    return cases;
}

// A fixed-seed source of choices that gives the same sequence on every
// platform (the raw engine output is fixed by the standard).
struct RandomSource {
    std::mt19937 engine;
    explicit RandomSource(uint32_t seed) : engine(seed) {}
    uint32_t next() { return engine(); }
    int below(int n) { return int(engine() % uint32_t(n)); }
};

// Calls visit at every position of random games (fixed seed) from each of the
// perft positions, plies moves long at most, the whole file rounds times:
// long enough to reach promotions, en passant and castling.
inline void forRandomGamePositions(uint32_t seed, int rounds, int plies, const std::function<void(Position&)>& visit) {
    static Position pos;
    RandomSource random(seed);
    for (int round = 0; round < rounds; round++) {
        for (const PerftCase& c : readPerftCases()) {
            setFromFen(c.fen, pos);
            for (int ply = 0; ply < plies; ply++) {
                visit(pos);
                Move moves[MaxMoves];
                const int n = generateLegalMoves(pos, moves);
                if (n == 0) break;
                makeMove(pos, moves[random.below(n)]);
            }
        }
    }
}
