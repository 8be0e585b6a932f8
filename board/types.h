// Basic types and constants shared by the whole engine: squares, colours,
// piece types, the move code and the score conventions.
#pragma once

#include <cstdint>
#include <type_traits>

using Bitboard = uint64_t;
using Square = int;
using Move = int32_t;
using Score = int;

// Colours.
constexpr int White = 0;
constexpr int Black = 1;

// Calls f(std::integral_constant<int, White>{}) or the Black one, so that
// code written for a colour fixed at compile time can be reached with a
// colour known only at run time: withColour(c, [&](auto us) { return
// evaluateThreats<us>(ai, pos); }).
template <typename F>
decltype(auto) withColour(int color, F&& f) {
    if (color == White) return f(std::integral_constant<int, White>{});
    return f(std::integral_constant<int, Black>{});
}

// Piece types; the type code alone is stored per square.
constexpr int Pawn = 0;
constexpr int Knight = 1;
constexpr int Bishop = 2;
constexpr int Rook = 3;
constexpr int Queen = 4;
constexpr int King = 5;
constexpr int NoPiece = 6;

// Squares are numbered file-major: square = file * 8 + rank, a1 = 0, a2 = 1, b1 = 8.
constexpr Square NoSquare = -1;

// Castling rights, a 4-bit set in "KQkq" order.
constexpr int WhiteKingside = 1;
constexpr int WhiteQueenside = 2;
constexpr int BlackKingside = 4;
constexpr int BlackQueenside = 8;

// Reserved move codes: no move, and the null move of the null-move search.
constexpr Move MoveNone = 0;
constexpr Move MoveNull = 1;

// Scores in internal units: ScoreUnitsPerPawn units print as 100 centipawns
// (a pawn's end-game value).
constexpr int ScoreUnitsPerPawn = 257;
constexpr Score ScoreInfinite = 32001;
constexpr Score ScoreMateThreshold = 31801;
constexpr Score ScoreDecisive = 10667;
constexpr Score ScoreNone = 32002;
constexpr int MaxPly = 100;

// Bounds of a stored search result.
constexpr int BoundUpper = 0;
constexpr int BoundLower = 1;
constexpr int BoundExact = 2;
// No usable bound (no table hit, or an entry whose score cannot be used).
constexpr int BoundNone = -1;

// Material values used by exchange evaluation and capture ordering (index NoPiece = 0).
constexpr int CaptureValue[7] = {200, 820, 840, 1300, 2521, 32000, 0};
// Non-pawn material per piece type, kept incrementally in the position.
constexpr int NonPawnValue[7] = {0, 820, 840, 1300, 2521, 0, 0};

inline int fileOf(Square s) { return s >> 3; }
inline int rankOf(Square s) { return s & 7; }
inline Square makeSquare(int file, int rank) { return file * 8 + rank; }
// Rank counted from the colour's own back rank (0 = own first rank).
constexpr int relativeRank(int color, Square s) { return color == White ? (s & 7) : 7 - (s & 7); }
// The square as the colour sees the board: itself for White, turned by 180
// degrees for Black (63 - s, which is s with every bit flipped). Tables
// written from White's side are read through it.
constexpr Square relativeSquare(int color, Square s) { return s ^ (color * 63); }
// One square forward for the colour: +1 for White, -1 for Black.
constexpr int pawnPush(int color) { return color == White ? 1 : -1; }
// The square where a pawn of the colour on the file of pawn promotes.
inline Square promotionSquare(int color, Square pawn) { return makeSquare(fileOf(pawn), color == White ? 7 : 0); }

// Move code: to bits 0-5, from bits 6-11, promotion type bits 12-17,
// captured type bits 18-23, moving piece type from bit 24.
inline Move makeMoveCode(Square from, Square to, int piece, int captured, int promotion) {
    return Move(to | (from << 6) | (promotion << 12) | (captured << 18) | (piece << 24));
}
inline Square moveTo(Move m) { return m & 0x3F; }
inline Square moveFrom(Move m) { return (m >> 6) & 0x3F; }
inline int movePromotion(Move m) { return (m >> 12) & 0x3F; }
inline int moveCaptured(Move m) { return (m >> 18) & 0x3F; }
inline int movePiece(Move m) { return m >> 24; }
inline bool isCapture(Move m) { return moveCaptured(m) != NoPiece; }
inline bool isPromotion(Move m) { return movePromotion(m) != NoPiece; }
// A quiet move neither captures nor promotes.
inline bool isQuiet(Move m) { return !isCapture(m) && !isPromotion(m); }
// Castling is the king's only move of two files (squares are file-major).
inline bool isCastling(Move m) {
    return movePiece(m) == King && (moveTo(m) - moveFrom(m) == 16 || moveFrom(m) - moveTo(m) == 16);
}
