// Moves as long-algebraic words: from-square, to-square and, for a
// promotion, the letter of the new piece ("e2e4", "e7e8Q").
#pragma once

#include <string>

#include "board/position.h"

// "a1" for square 0, "h8" for square 63.
std::string squareToText(Square s);
// From and to squares, then an upper-case promotion letter when promoting.
std::string moveToText(Move m);
// Plays the move the word names when it is a legal move of the position and
// returns true; otherwise changes nothing and returns false. The promotion
// letter may be in either case; castling is the king's two-file move.
bool moveFromText(const std::string& word, Position& pos);
