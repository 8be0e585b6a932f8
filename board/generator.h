// The generators behind board/movegen.h, written once for any sink. A sink
// holds the position being generated for (pos) and takes each move as it is
// made, by the kind the generator already knows it to be, with the parts of
// the move code the generator has at hand:
//   quiet(m, piece, to)                 a move to an empty square
//   castling(m)                         the king's two-file move
//   capture(m, piece, to, onTarget)     onTarget: what stands on the target
//                                       square (NoPiece for en passant)
//   promotion(m, promotion, captured)   capturing or not (NoPiece)
//
// The plain list of board/movegen.cpp is one sink; the search's ordering uses
// another that scores each move as it arrives, so that its scoring is
// compiled into these loops instead of costing a second pass.
// Include only where a sink is defined.
#pragma once

#include "board/masks.h"
#include "board/movegen.h"
#include "board/tables.h"

namespace generation {

// Promotion pieces in the order they are written.
constexpr int PromotionOrder[4] = {Queen, Rook, Bishop, Knight};

// A non-pawn move to to, capture or quiet as the board says.
template <class Sink>
inline void addPieceMove(Sink& out, Square from, Square to, int piece) {
    const int captured = out.pos.board[to];
    const Move m = makeMoveCode(from, to, piece, captured, NoPiece);
    if (captured != NoPiece)
        out.capture(m, piece, to, captured);
    else
        out.quiet(m, piece, to);
}

template <class Sink>
inline void addCapture(Sink& out, Square from, Square to, int piece) {
    const int captured = out.pos.board[to];
    out.capture(makeMoveCode(from, to, piece, captured, NoPiece), piece, to, captured);
}

template <class Sink>
inline void addQuiet(Sink& out, Square from, Square to, int piece) {
    out.quiet(makeMoveCode(from, to, piece, NoPiece, NoPiece), piece, to);
}

// A pawn move onto to; reaching the first or last rank makes four moves,
// one per promotion piece.
template <class Sink>
void addPawnMove(Sink& out, Square from, Square to) {
    const int captured = out.pos.board[to];
    const int rank = rankOf(to);
    if (rank == 0 || rank == 7) {
        for (int promotion : PromotionOrder)
            out.promotion(makeMoveCode(from, to, Pawn, captured, promotion), promotion, captured);
        return;
    }
    if (captured != NoPiece)
        addCapture(out, from, to, Pawn);
    else
        addQuiet(out, from, to, Pawn);
}

// The en-passant captures: every own pawn that attacks the target square.
template <class Sink>
void addEnPassant(Sink& out, int us) {
    const Square ep = out.pos.epSquare;
    if (ep == NoSquare) return;
    Bitboard pawns = PawnAttacks[us ^ 1][ep] & out.pos.pieceBB[us][Pawn];
    while (pawns) {
        const Square from = popLsb(pawns);
        out.capture(makeMoveCode(from, ep, Pawn, Pawn, NoPiece), Pawn, ep, NoPiece);
    }
}

// Moves of the piece on from to the squares of target that it attacks.
template <class Sink>
void genPieceMoves(Sink& out, Square from, int type, Bitboard target) {
    Bitboard targets = attacksFrom(type, from, out.pos.occupied) & target;
    while (targets) addPieceMove(out, from, popLsb(targets), type);
}

// Every move of the pieces of one type of the side to move to empty squares.
// The type is fixed at compile time, so that knights and the king skip the
// blocker loop, and every target is known to be empty.
template <int Type, class Sink>
void genPieceQuiets(Sink& out, int us, Bitboard empty) {
    for (Bitboard pieces = out.pos.pieceBB[us][Type]; pieces; pieces &= pieces - 1) {
        const uint64_t from = lsbIndex(pieces);
        const Bitboard attacks = Type == Knight || Type == King ? PseudoAttacks[Type][from]
                                                                : attacksFrom(Type, Square(from), out.pos.occupied);
        for (Bitboard targets = attacks & empty; targets; targets &= targets - 1)
            addQuiet(out, Square(from), Square(lsbIndex(targets)), Type);
    }
}

// Every piece of one type of the side to move, to target.
template <class Sink>
void genPieceTypeMoves(Sink& out, int us, int type, Bitboard target) {
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
template <int Us, class Sink>
void genPawnPushes(Sink& out, Bitboard target) {
    constexpr int push = pawnPush(Us);
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

// Pushes from the seventh rank onto the squares of target, four promotions
// each. Out of line, as the quiet checks are: inlined into the caller that
// picks the kind of moves (see generateSide), either would make it save and
// restore registers for every stage generated.
template <int Us, class Sink>
[[gnu::noinline]] void genPromotionPushes(Sink& out, Bitboard target) {
    constexpr int push = pawnPush(Us);
    Bitboard pawns = out.pos.pieceBB[Us][Pawn] & relativeRankBB<Us>(6) & backward<Us>(target, 1);
    while (pawns) {
        const Square from = popLsb(pawns);
        for (int promotion : PromotionOrder)
            out.promotion(makeMoveCode(from, from + push, Pawn, NoPiece, promotion), promotion, NoPiece);
    }
}

// Pawn captures towards one side: to = from + offset for every pawn whose
// target holds an enemy piece.
template <class Sink>
inline void genPawnCapturePass(Sink& out, Bitboard pawns, Bitboard enemy, int offset) {
    Bitboard froms = pawns & (offset < 0 ? enemy << -offset : enemy >> offset);
    while (froms) {
        const Square from = popLsb(froms);
        addPawnMove(out, from, from + offset);
    }
}

// The captures of the sliders of one type: a slider reaches an enemy piece
// on its lines when nothing stands between. The type is fixed at compile
// time, so that the tables and the move code take it as a constant and the
// loop keeps its state in registers.
template <int Type, class Sink>
inline void genSliderCaptures(Sink& out, Bitboard sliders, Bitboard enemy, Bitboard occ) {
    for (; sliders; sliders &= sliders - 1) {
        const uint64_t from = lsbIndex(sliders);
        for (Bitboard targets = PseudoAttacks[Type][from] & enemy; targets; targets &= targets - 1) {
            const uint64_t to = lsbIndex(targets);
            if (!(Between[from][to] & occ)) addCapture(out, Square(from), Square(to), Type);
        }
    }
}

template <int Us, class Sink>
void genCaptures(Sink& out) {
    constexpr int Them = Us ^ 1;
    // Towards the a-file first, then towards the h-file: a file (8 squares)
    // to the side and a rank forward.
    constexpr int towardsA = pawnPush(Us) - 8;
    constexpr int towardsH = pawnPush(Us) + 8;
    const Position& pos = out.pos;
    const Bitboard enemy = pos.colorBB[Them];
    const Bitboard occ = pos.occupied;
    genPawnCapturePass(out, pos.pieceBB[Us][Pawn], enemy, towardsA);
    genPawnCapturePass(out, pos.pieceBB[Us][Pawn], enemy, towardsH);

    // Squares as 64-bit indices (lsbIndex): they index the tables first.
    for (Bitboard knights = pos.pieceBB[Us][Knight]; knights; knights &= knights - 1) {
        const uint64_t from = lsbIndex(knights);
        for (Bitboard targets = PseudoAttacks[Knight][from] & enemy; targets; targets &= targets - 1)
            addCapture(out, Square(from), Square(lsbIndex(targets)), Knight);
    }
    genSliderCaptures<Bishop>(out, pos.pieceBB[Us][Bishop], enemy, occ);
    genSliderCaptures<Rook>(out, pos.pieceBB[Us][Rook], enemy, occ);
    genSliderCaptures<Queen>(out, pos.pieceBB[Us][Queen], enemy, occ);
    Bitboard kings = pos.pieceBB[Us][King];
    while (kings) {
        const Square from = popLsb(kings);
        Bitboard targets = PseudoAttacks[King][from] & enemy;
        while (targets) addCapture(out, from, popLsb(targets), King);
    }
    addEnPassant(out, Us);
}

template <int Us, class Sink>
void genQuiets(Sink& out) {
    const Position& pos = out.pos;
    const Bitboard empty = ~pos.occupied;
    // Castling, king side first. The king's own target square is left to the
    // legality test; the square the king passes (the rook's target) must be safe.
    for (int side = 0; side < 2; side++) {
        const int right = Us * 2 + side;
        if (!(pos.castleRights & (1 << right)) || !castlingPathClear(pos, right)) continue;
        const int32_t* info = CastleInfo[right];
        out.castling(makeMoveCode(info[0], info[1], King, NoPiece, NoPiece));
    }
    genPieceQuiets<Knight>(out, Us, empty);
    genPieceQuiets<Bishop>(out, Us, empty);
    genPieceQuiets<Rook>(out, Us, empty);
    genPieceQuiets<Queen>(out, Us, empty);
    genPieceQuiets<King>(out, Us, empty);
    genPawnPushes<Us>(out, empty);
}

template <int Us, class Sink>
[[gnu::noinline]] void genQuietChecks(Sink& out) {
    constexpr int Them = Us ^ 1;
    const Position& pos = out.pos;
    const Square k = pos.kingSquare[Them];
    const Bitboard occ = pos.occupied;
    // Squares an enemy pawn guards: their capture steps applied to the whole set.
    const Bitboard theirPawns = pos.pieceBB[Them][Pawn];
    const Bitboard pawnGuarded =
        Them == White ? (theirPawns << 9) | (theirPawns >> 7) : (theirPawns >> 9) | (theirPawns << 7);
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

template <int Us, class Sink>
void genEvasions(Sink& out, const CheckInfo& ci) {
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

template <int Us, class Sink>
void generateSide(Sink& out, GenKind kind, const CheckInfo& ci) {
    switch (kind) {
        case GenKind::Tactical:
            genPromotionPushes<Us>(out, ~out.pos.occupied);
            genCaptures<Us>(out);
            break;
        case GenKind::Captures:
            genCaptures<Us>(out);
            break;
        case GenKind::Quiets:
            genQuiets<Us>(out);
            break;
        case GenKind::QuietChecks:
            genQuietChecks<Us>(out);
            break;
        case GenKind::Evasions:
            genEvasions<Us>(out, ci);
            break;
        case GenKind::All:
            if (ci.checkerCount > 0) {
                genEvasions<Us>(out, ci);
            } else {
                genPromotionPushes<Us>(out, ~out.pos.occupied);
                genCaptures<Us>(out);
                genQuiets<Us>(out);
            }
            break;
    }
}

// Appends the moves of one kind for the side to move of out.pos.
template <class Sink>
void generate(Sink& out, GenKind kind, const CheckInfo& ci) {
    withColour(out.pos.sideToMove, [&](auto us) { generateSide<us>(out, kind, ci); });
}

}  // namespace generation
