// Fuzz target: arbitrary input lines for the command loop's dispatcher.
//
// Every line goes to executeCommand as the loop would pass it (a carriage
// return before the line feed dropped), after a few rewrites that keep one
// run bounded in time and memory without hiding the parsing from the fuzzer:
// - "go" lines: their words are first parsed into a scratch record, then the
//   line is replaced by a search that ends by itself (a depth of 1 to 3, a
//   move time of a few milliseconds or a small clock);
// - "bench" runs at depth 1 once; "perft" depths above 2 become 2;
// - cache sizes above 16 MiB become 16, "Threads" above 2 becomes 2 and
//   "MoveOverhead" is kept within its announced range.
// After every line the current position must still be consistent. After the
// input, any running search is stopped and joined, and options, caches and
// the current position go back to their fuzzing start state, so that each
// input runs on its own.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/go.h"
#include "app/loop.h"
#include "app/options.h"
#include "app/protocol.h"
#include "board/position.h"
#include "fuzz_init.h"
#include "search/state.h"

namespace {

constexpr size_t MaxLines = 64;
constexpr size_t MaxLineBytes = 4096;
constexpr int MaxSearchesPerInput = 8;
constexpr uint64_t MaxCacheMiB = 16;
constexpr int32_t MaxFuzzThreads = 2;
constexpr int32_t MaxMoveOverhead = 2000;
constexpr int MaxPerftDepth = 2;

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

std::string joinWords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
    return line;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether a cache-size word names more MiB than the cap, read the way the
// option parser reads it (an optional '+', then leading digits).
bool cacheSizeTooLarge(const std::string& word) {
    size_t i = word.size() > 0 && word[0] == '+' ? 1 : 0;
    uint64_t value = 0;
    for (; i < word.size() && std::isdigit(static_cast<unsigned char>(word[i])); i++) {
        value = value * 10 + uint64_t(word[i] - '0');
        if (value > MaxCacheMiB) return true;
    }
    return false;
}

// Replaces a signed number word by the nearest value within [low, high];
// a word that does not start with a number is left for the engine to refuse.
void clampNumberWord(std::string& word, long long low, long long high) {
    std::istringstream stream(word);
    long long value;
    if (!(stream >> value)) {
        // Out of range of long long too: only the sign matters.
        const bool digits = word.find_first_of("0123456789") != std::string::npos;
        if (digits && (word[0] == '-' || word[0] == '+' || std::isdigit(static_cast<unsigned char>(word[0]))))
            word = std::to_string(word[0] == '-' ? low : high);
        return;
    }
    word = std::to_string(std::clamp(value, low, high));
}

// A search that ends by itself, chosen by the line's text so that the fuzzer
// can steer it.
std::string boundedGoLine(const std::string& line) {
    size_t h = 0;
    for (unsigned char c : line) h = h * 31 + c;
    switch (h % 4) {
        case 0:
            return "go depth " + std::to_string(1 + h / 4 % 3);
        case 1:
            return "go movetime " + std::to_string(1 + h / 4 % 10);
        case 2:
            return "go wtime " + std::to_string(h / 4 % 100) + " btime " + std::to_string(h / 400 % 100) +
                   " winc 5 binc 5";
        default:
            return "go depth 1 movestogo 1";
    }
}

// The line to run instead of the input line; empty to drop it.
std::string boundedLine(const std::string& line, int& searches, GameRecord& scratch) {
    std::vector<std::string> words = splitWords(line);
    if (words.empty()) return line;
    const std::string& command = words[0];

    if (command == "go") {
        // The limit parser sees the words as they came.
        std::istringstream rest(line.substr(line.find("go") + 2));
        parseGoLimits(rest, scratch);
        if (++searches > MaxSearchesPerInput) return "";
        return boundedGoLine(line);
    }
    if (command == "bench") return "bench 1 1";
    if (command == "perft") {
        if (words.size() > 1) clampNumberWord(words[1], 1, MaxPerftDepth);
        return joinWords(words);
    }
    if (command == "setoption" && words.size() > 4) {
        const std::string name = lowerCase(words[2]);
        std::string& value = words[4];
        if (name == "hash" || name == "pawnhash" || name == "evalhash") {
            if (!cacheSizeTooLarge(value)) return line;
            value = std::to_string(MaxCacheMiB);
        } else if (name == "threads") {
            clampNumberWord(value, INT32_MIN, MaxFuzzThreads);
        } else if (name == "moveoverhead") {
            clampNumberWord(value, 0, MaxMoveOverhead);
        } else {
            return line;
        }
        return joinWords(words);
    }
    return line;
}

void resetFuzzState(GameRecord& record, ThreadList& threads) {
    commandStop();
    joinSearchThreads(threads);
    applyPendingCacheChanges();
    EngineSettings.threadCount.store(1, std::memory_order_relaxed);
    EngineSettings.multiPv.store(1, std::memory_order_relaxed);
    EngineSettings.moveOverhead.store(50, std::memory_order_relaxed);
    resetFuzzCaches();
    resetGameRecord(record);
    setFromFen(StartFen, record.pos);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initFuzzEngine();
    silenceStandardOutput();
    // "perft" and "trace" are fuzzed too, as "--diagnostics" enables them.
    DiagnosticCommands = true;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto record = std::make_unique<GameRecord>();
    static auto scratch = std::make_unique<GameRecord>();
    static ThreadList threads;
    resetFuzzState(*record, threads);

    const std::string input(reinterpret_cast<const char*>(data), size);
    int searches = 0;
    size_t lines = 0;
    for (size_t begin = 0; begin < input.size() && lines < MaxLines; lines++) {
        size_t end = input.find('\n', begin);
        if (end == std::string::npos) end = input.size();
        std::string line = input.substr(begin, std::min(end - begin, MaxLineBytes));
        begin = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        scratch->pos = record->pos;
        const std::string bounded = boundedLine(line, searches, *scratch);
        if (bounded.empty() && !line.empty()) continue;
        if (!executeCommand(*record, threads, bounded)) break;
        // Whatever the commands did, the current position is still sound.
        if (!positionIsConsistent(record->pos)) __builtin_trap();
    }

    commandStop();
    joinSearchThreads(threads);
    return 0;
}
