// Pseudo-legal move generation by stages. Every move is written together with
// its ordering score, so a stage comes back sorted after one insertion sort of
// the moves it appended. Generation order is part of the engine's behaviour
// (it breaks ordering ties), so every loop below runs in a fixed order: piece
// types as listed, squares from the least significant bit upward.
#include "board/movegen.h"

#include <cstdint>

#include "board/masks.h"
#include "board/tables.h"

namespace {

// Ordering scores of the tactical band: promotions by the new piece (and the
// piece they take), captures above every quiet move.
constexpr int ScorePromotionUnit = 10000;
constexpr int ScorePromotionCaptureUnit = 1000;
constexpr int ScoreCaptureBase = 10000;

// Promotion pieces in the order they are written.
constexpr int PromotionOrder[4] = {Queen, Rook, Bishop, Knight};

// The position's side has no history and no killers for generateLegalMoves and
// perft: every quiet move then scores 0.
const HistoryTable NoHistory = {};
const OrderingContext NoOrdering = {nullptr, &NoHistory};

// Where the generators write: the caller's two arrays, the running count and
// what the scores are made of (the killers, and the history row of the side
// to move, looked up once).
struct MoveSink {
    Move* moves;
    int* scores;
    int count;
    const Position& pos;
    const Move* killers;
    const int32_t (*history)[64];
};

inline MoveSink makeSink(Move* moves, int* scores, int count, const Position& pos,
                         const OrderingContext& ctx) {
    return MoveSink{moves, scores, count, pos, ctx.killers, (*ctx.history)[pos.sideToMove]};
}

inline void append(MoveSink& out, Move m, int score) {
    out.moves[out.count] = m;
    out.scores[out.count] = score;
    out.count++;
}

inline int historyScore(const MoveSink& out, int piece, Square to) {
    return out.history[piece][to];
}

// A capture that does not promote. An en-passant target is empty, so its
// capture scores the base plus history only.
inline int captureScore(const MoveSink& out, int piece, Square to) {
    return CaptureValue[out.pos.board[to]] + ScoreCaptureBase + historyScore(out, piece, to);
}

inline int promotionScore(int promotion, int captured) {
    return ScorePromotionUnit * promotion +
           (captured != NoPiece ? ScorePromotionCaptureUnit * captured : 0);
}

// Returns true and sets score when m is one of the killers of the ply.
inline bool killerScore(const MoveSink& out, Move m, int& score) {
    const Move* killers = out.killers;
    if (!killers) return false;
    if (m == killers[0]) {
        score = ScoreKiller0;
        return true;
    }
    if (m == killers[1]) {
        score = ScoreKiller1;
        return true;
    }
    return false;
}

inline int quietScore(const MoveSink& out, Move m, int piece, Square to) {
    int score;
    if (killerScore(out, m, score)) return score;
    return historyScore(out, piece, to);
}

// A non-pawn move to to, capture or quiet as the board says.
inline void addPieceMove(MoveSink& out, Square from, Square to, int piece) {
    const int captured = out.pos.board[to];
    const Move m = makeMoveCode(from, to, piece, captured, NoPiece);
    append(out, m, captured != NoPiece ? captureScore(out, piece, to) : quietScore(out, m, piece, to));
}

inline void addCapture(MoveSink& out, Square from, Square to, int piece) {
    append(out, makeMoveCode(from, to, piece, out.pos.board[to], NoPiece), captureScore(out, piece, to));
}

inline void addQuiet(MoveSink& out, Square from, Square to, int piece) {
    const Move m = makeMoveCode(from, to, piece, NoPiece, NoPiece);
    append(out, m, quietScore(out, m, piece, to));
}

// A pawn move onto to; reaching the first or last rank makes four moves,
// one per promotion piece.
void addPawnMove(MoveSink& out, Square from, Square to) {
    const int captured = out.pos.board[to];
    const int rank = rankOf(to);
    if (rank == 0 || rank == 7) {
        for (int promotion : PromotionOrder)
            append(out, makeMoveCode(from, to, Pawn, captured, promotion), promotionScore(promotion, captured));
        return;
    }
    if (captured != NoPiece)
        addCapture(out, from, to, Pawn);
    else
        addQuiet(out, from, to, Pawn);
}

// The en-passant captures: every own pawn that attacks the target square.
void addEnPassant(MoveSink& out, int us) {
    const Square ep = out.pos.epSquare;
    if (ep == NoSquare) return;
    Bitboard pawns = PawnAttacks[us ^ 1][ep] & out.pos.pieceBB[us][Pawn];
    while (pawns) {
        const Square from = popLsb(pawns);
        append(out, makeMoveCode(from, ep, Pawn, Pawn, NoPiece), captureScore(out, Pawn, ep));
    }
}

// Moves of the piece on from to the squares of target that it attacks.
void genPieceMoves(MoveSink& out, Square from, int type, Bitboard target) {
    Bitboard targets = attacksFrom(type, from, out.pos.occupied) & target;
    while (targets) addPieceMove(out, from, popLsb(targets), type);
}

// Every piece of one type of the side to move, to target.
void genPieceTypeMoves(MoveSink& out, int us, int type, Bitboard target) {
    Bitboard pieces = out.pos.pieceBB[us][type];
    while (pieces) genPieceMoves(out, popLsb(pieces), type, target);
}

// Shifts a set n ranks towards the colour's far side. With file-major squares
// a rank step is one bit, and pawns never stand on the first or last rank,
// so no edge masks are needed.
template <int Us>
inline Bitboard forward(Bitboard b, int n) {
    return Us == White ? b << n : b >> n;
}
template <int Us>
inline Bitboard backward(Bitboard b, int n) {
    return Us == White ? b >> n : b << n;
}
template <int Us>
inline Bitboard relativeRankBB(int r) {
    return Rank1Mask << (Us == White ? r : 7 - r);
}

// Pushes that do not promote onto the squares of target: all single pushes,
// then all double pushes, each group in bit order of the pawns.
template <int Us>
void genPawnPushes(MoveSink& out, Bitboard target) {
    constexpr int push = Us == White ? 1 : -1;
    const Bitboard pawns = out.pos.pieceBB[Us][Pawn];
    const Bitboard empty = ~out.pos.occupied;
    Bitboard singles = pawns & ~relativeRankBB<Us>(6) & backward<Us>(target, 1);
    while (singles) {
        const Square from = popLsb(singles);
        addQuiet(out, from, from + push, Pawn);
    }
    Bitboard doubles = pawns & relativeRankBB<Us>(1) & backward<Us>(empty, 1) & backward<Us>(target, 2);
    while (doubles) {
        const Square from = popLsb(doubles);
        addQuiet(out, from, from + 2 * push, Pawn);
    }
}

// Pushes from the seventh rank onto the squares of target, four promotions each.
template <int Us>
void genPromotionPushes(MoveSink& out, Bitboard target) {
    constexpr int push = Us == White ? 1 : -1;
    Bitboard pawns = out.pos.pieceBB[Us][Pawn] & relativeRankBB<Us>(6) & backward<Us>(target, 1);
    while (pawns) {
        const Square from = popLsb(pawns);
        for (int promotion : PromotionOrder)
            append(out, makeMoveCode(from, from + push, Pawn, NoPiece, promotion), promotionScore(promotion, NoPiece));
    }
}

// Pawn captures towards one side: to = from + offset for every pawn whose
// target holds an enemy piece.
inline void genPawnCapturePass(MoveSink& out, Bitboard pawns, Bitboard enemy, int offset) {
    Bitboard froms = pawns & (offset < 0 ? enemy << -offset : enemy >> offset);
    while (froms) {
        const Square from = popLsb(froms);
        addPawnMove(out, from, from + offset);
    }
}

template <int Us>
void genCaptures(MoveSink& out) {
    constexpr int Them = Us ^ 1;
    // Towards the a-file first, then towards the h-file.
    constexpr int towardsA = Us == White ? -7 : -9;
    constexpr int towardsH = Us == White ? 9 : 7;
    const Position& pos = out.pos;
    const Bitboard enemy = pos.colorBB[Them];
    const Bitboard occ = pos.occupied;
    genPawnCapturePass(out, pos.pieceBB[Us][Pawn], enemy, towardsA);
    genPawnCapturePass(out, pos.pieceBB[Us][Pawn], enemy, towardsH);

    Bitboard knights = pos.pieceBB[Us][Knight];
    while (knights) {
        const Square from = popLsb(knights);
        Bitboard targets = PseudoAttacks[Knight][from] & enemy;
        while (targets) addCapture(out, from, popLsb(targets), Knight);
    }
    // A slider reaches an enemy piece on its lines when nothing stands between.
    for (int type = Bishop; type <= Queen; type++) {
        Bitboard sliders = pos.pieceBB[Us][type];
        while (sliders) {
            const Square from = popLsb(sliders);
            Bitboard targets = PseudoAttacks[type][from] & enemy;
            while (targets) {
                const Square to = popLsb(targets);
                if (!(Between[from][to] & occ)) addCapture(out, from, to, type);
            }
        }
    }
    Bitboard kings = pos.pieceBB[Us][King];
    while (kings) {
        const Square from = popLsb(kings);
        Bitboard targets = PseudoAttacks[King][from] & enemy;
        while (targets) addCapture(out, from, popLsb(targets), King);
    }
    addEnPassant(out, Us);
}

template <int Us>
void genQuiets(MoveSink& out) {
    constexpr int Them = Us ^ 1;
    const Position& pos = out.pos;
    const Bitboard empty = ~pos.occupied;
    // Castling, king side first. The king's own target square is left to the
    // legality test; the square the king passes (the rook's target) must be safe.
    for (int side = 0; side < 2; side++) {
        const int right = Us * 2 + side;
        if (!(pos.castleRights & (1 << right))) continue;
        const int32_t* info = CastleInfo[right];
        if (Between[info[0]][info[2]] & pos.occupied) continue;
        if (isSquareAttacked(info[3], Them, pos)) continue;
        const Move m = makeMoveCode(info[0], info[1], King, NoPiece, NoPiece);
        int score;
        if (!killerScore(out, m, score)) score = ScoreCastling;
        append(out, m, score);
    }
    for (int type = Knight; type <= King; type++) genPieceTypeMoves(out, Us, type, empty);
    genPawnPushes<Us>(out, empty);
}

template <int Us>
void genQuietChecks(MoveSink& out) {
    constexpr int Them = Us ^ 1;
    const Position& pos = out.pos;
    const Square k = pos.kingSquare[Them];
    const Bitboard occ = pos.occupied;
    // Squares an enemy pawn guards: their capture steps applied to the whole set.
    const Bitboard theirPawns = pos.pieceBB[Them][Pawn];
    const Bitboard pawnGuarded = Them == White ? (theirPawns << 9) | (theirPawns >> 7)
                                               : (theirPawns >> 9) | (theirPawns << 7);
    const Bitboard safe = ~occ & ~pawnGuarded;

    // Discovered checks: a piece that alone shields the king from one of our
    // sliders checks by leaving the line. Pawns are left out here.
    const Bitboard candidates = sliderBlockers(k, Us, pos) & pos.colorBB[Us];
    Bitboard movers = candidates;
    while (movers) {
        const Square from = popLsb(movers);
        const int type = pos.board[from];
        if (type != Pawn) genPieceMoves(out, from, type, safe & ~RayThrough[k][from]);
    }
    // Pawn pushes onto squares from which the pawn attacks the king.
    genPawnPushes<Us>(out, PawnAttacks[Them][k] & safe);
    // Direct checks: the squares the piece reaches that see the king.
    for (int type = Knight; type <= Queen; type++) {
        Bitboard pieces = pos.pieceBB[Us][type] & ~candidates;
        while (pieces) {
            const Square from = popLsb(pieces);
            Bitboard targets = PseudoAttacks[type][k] & PseudoAttacks[type][from] & safe;
            while (targets) {
                const Square to = popLsb(targets);
                if (type == Knight || (!(Between[from][to] & occ) && !(Between[to][k] & occ)))
                    addQuiet(out, from, to, type);
            }
        }
    }
}

template <int Us>
void genEvasions(MoveSink& out, const CheckInfo& ci) {
    constexpr int Them = Us ^ 1;
    const Position& pos = out.pos;
    const Square k = pos.kingSquare[Us];
    // The king steps off every checking line, capturing or not.
    genPieceMoves(out, k, King, ~(pos.colorBB[Us] | ci.kingDanger));
    if (ci.checkerCount != 1) return;  // double check: only the king can move

    // Capture the checker: pawns first, then the pieces by type.
    const Square c = ci.checkers[0];
    Bitboard pawns = PawnAttacks[Them][c] & pos.pieceBB[Us][Pawn];
    while (pawns) addPawnMove(out, popLsb(pawns), c);
    Bitboard knights = PseudoAttacks[Knight][c] & pos.pieceBB[Us][Knight];
    while (knights) addCapture(out, popLsb(knights), c, Knight);
    for (int type = Bishop; type <= Queen; type++) {
        Bitboard sliders = PseudoAttacks[type][c] & pos.pieceBB[Us][type];
        while (sliders) {
            const Square from = popLsb(sliders);
            if (!(Between[from][c] & pos.occupied)) addCapture(out, from, c, type);
        }
    }
    // En passant, whoever gives check; the legality test sorts out the rest.
    addEnPassant(out, Us);
    // Interpose on the line of a sliding check.
    const Bitboard line = Between[k][c];
    if (!line) return;
    genPawnPushes<Us>(out, line);
    genPromotionPushes<Us>(out, line);
    for (int type = Knight; type <= Queen; type++) genPieceTypeMoves(out, Us, type, line);
}

// The stage 2 and 3 generators in a row, or the evasions.
int genAll(MoveSink& out, const CheckInfo& ci) {
    const bool white = out.pos.sideToMove == White;
    if (ci.checkerCount > 0) {
        white ? genEvasions<White>(out, ci) : genEvasions<Black>(out, ci);
    } else if (white) {
        genPromotionPushes<White>(out, ~out.pos.occupied);
        genCaptures<White>(out);
        genQuiets<White>(out);
    } else {
        genPromotionPushes<Black>(out, ~out.pos.occupied);
        genCaptures<Black>(out);
        genQuiets<Black>(out);
    }
    return out.count;
}

}  // namespace

int genPromotionPushes(Move* moves, int* scores, const Position& pos, int count, Bitboard target) {
    MoveSink out = makeSink(moves, scores, count, pos, NoOrdering);
    pos.sideToMove == White ? genPromotionPushes<White>(out, target) : genPromotionPushes<Black>(out, target);
    return out.count;
}

int genCaptures(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx) {
    MoveSink out = makeSink(moves, scores, count, pos, ctx);
    pos.sideToMove == White ? genCaptures<White>(out) : genCaptures<Black>(out);
    return out.count;
}

int genQuiets(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx) {
    MoveSink out = makeSink(moves, scores, count, pos, ctx);
    pos.sideToMove == White ? genQuiets<White>(out) : genQuiets<Black>(out);
    return out.count;
}

int genQuietChecks(Move* moves, int* scores, const Position& pos, int count, const OrderingContext& ctx) {
    MoveSink out = makeSink(moves, scores, count, pos, ctx);
    pos.sideToMove == White ? genQuietChecks<White>(out) : genQuietChecks<Black>(out);
    return out.count;
}

int genEvasions(Move* moves, int* scores, const Position& pos, int count, const CheckInfo& ci,
                const OrderingContext& ctx) {
    MoveSink out = makeSink(moves, scores, count, pos, ctx);
    pos.sideToMove == White ? genEvasions<White>(out, ci) : genEvasions<Black>(out, ci);
    return out.count;
}

void sortByScore(Move* moves, int* scores, int first, int last) {
    const int n = last - first;
    if (n < 2) return;
    // Each entry becomes one 64-bit key: its score in the upper half and its
    // place counted down from the end in the lower half, so that of two equal
    // scores the earlier entry has the greater key. Sorting the keys in
    // descending order is then exactly the stable sort by score, and the
    // insertion step moves one word instead of a move and a score. Slot 0
    // holds a key greater than any entry's, which ends every insertion.
    int64_t keys[MaxMoves + 1];
    Move original[MaxMoves];
    keys[0] = INT64_MAX;
    for (int i = 0; i < n; i++) {
        original[i] = moves[first + i];
        keys[i + 1] = int64_t(scores[first + i]) * (int64_t(1) << 32) + (n - 1 - i);
    }
    for (int i = 2; i <= n; i++) {
        const int64_t key = keys[i];
        int j = i;
        while (keys[j - 1] < key) {
            keys[j] = keys[j - 1];
            j--;
        }
        keys[j] = key;
    }
    for (int i = 0; i < n; i++) {
        const int64_t key = keys[i + 1];
        moves[first + i] = original[n - 1 - int(key & 0xFFFFFFFF)];
        scores[first + i] = int(key >> 32);
    }
}

int appendStage(Move* moves, int* scores, const Position& pos, int stage, int count,
                const CheckInfo& ci, const OrderingContext& ctx, Move candidate) {
    if (stage == StageHashMove || stage == StageQsHashMove) {
        moves[count] = candidate;
        return count + 1;
    }
    MoveSink out = makeSink(moves, scores, count, pos, ctx);
    const bool white = pos.sideToMove == White;
    if (ci.checkerCount > 0) {
        white ? genEvasions<White>(out, ci) : genEvasions<Black>(out, ci);
    } else if (stage == StageCaptures) {
        white ? genPromotionPushes<White>(out, ~pos.occupied) : genPromotionPushes<Black>(out, ~pos.occupied);
        white ? genCaptures<White>(out) : genCaptures<Black>(out);
    } else if (stage == StageQuiets) {
        white ? genQuiets<White>(out) : genQuiets<Black>(out);
    } else if (stage == StageQsCaptures) {
        white ? genCaptures<White>(out) : genCaptures<Black>(out);
    } else if (stage == StageQuietChecks) {
        white ? genQuietChecks<White>(out) : genQuietChecks<Black>(out);
    }
    return out.count;
}

int generateStage(Move* moves, int* scores, const Position& pos, int stage, int count,
                  const CheckInfo& ci, const OrderingContext& ctx, Move candidate) {
    const int end = appendStage(moves, scores, pos, stage, count, ci, ctx, candidate);
    if (stage != StageHashMove && stage != StageQsHashMove) sortByScore(moves, scores, count, end);
    return end;
}

int generatePseudoLegalMoves(const Position& pos, const CheckInfo& ci, Move* moves, int* scores) {
    MoveSink out = makeSink(moves, scores, 0, pos, NoOrdering);
    return genAll(out, ci);
}

int generateLegalMoves(const Position& pos, Move* moves) {
    CheckInfo ci;
    computeCheckInfo(ci, pos);
    int scores[MaxMoves];
    const int n = generatePseudoLegalMoves(pos, ci, moves, scores);
    int legal = 0;
    for (int i = 0; i < n; i++)
        if (isLegal(moves[i], pos, ci)) moves[legal++] = moves[i];
    return legal;
}
