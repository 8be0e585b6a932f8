// Every line the engine writes goes out whole and is flushed at once, so a
// controlling program sees each reply immediately. The text is handed to the
// stream in one piece so that a line of the loop thread and one of the main
// search thread never mix within a line.
#pragma once

#include <iostream>
#include <string>

inline void writeLine(const std::string& text) { std::cout << (text + '\n') << std::flush; }
