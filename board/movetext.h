// Moves as long-algebraic words: from-square, to-square and, for a
// promotion, the letter of the new piece ("e2e4", "e7e8Q").
#pragma once

#include <string>

#include "board/position.h"

// "a1" for square 0, "h8" for square 63.
std::string squareToText(Square s);
// How a promotion letter is written: upper case ("e7e8Q") is the engine's own
// form, lower case ("e7e8q") the form most interfaces and tournament managers
// insist on.
enum class PromotionCase { Upper, Lower };
// From and to squares, then the promotion letter when promoting.
std::string moveToText(Move m, PromotionCase letters = PromotionCase::Upper);
// Plays the move the word names when it is a legal move of the position and
// returns true; otherwise changes nothing and returns false. The promotion
// letter may be in either case; castling is the king's two-file move.
bool moveFromText(const std::string& word, Position& pos);
