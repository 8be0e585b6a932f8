// The engine's name and version as "uci" reports them.
#pragma once

#include <string>

extern const std::string engineVersion;  // "2.5"
// "Ostrevalk 2.5" followed by the suffix of the build configuration:
// " (64-Bit)", " (64-Bit Popcount)" or " (32-Bit)".
extern const std::string engineName;
