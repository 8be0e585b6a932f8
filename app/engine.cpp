#include "app/engine.h"

namespace {

#if defined(OSTREVALK_32BIT)
const char* const ConfigSuffix = " (32-Bit)";
#elif defined(OSTREVALK_POPCOUNT)
const char* const ConfigSuffix = " (64-Bit Popcount)";
#else
const char* const ConfigSuffix = " (64-Bit)";
#endif

}  // namespace

// Both are defined in this file, in this order, so that the name is built
// from an already constructed version string before main runs.
const std::string engineVersion = "2.5";
const std::string engineName = "Ostrevalk " + engineVersion + ConfigSuffix;
