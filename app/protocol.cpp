#include "app/protocol.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <sstream>

#include "app/engine.h"
#include "app/options.h"
#include "board/movetext.h"
#include "app/output.h"
#include "eval/cache.h"
#include "search/tt.h"

const char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

const char* const UciLines[] = {
    "id author Hadrevan",
    "option name Hash type spin default 32 min 1 max 16384",
    "option name PawnHash type spin default 8 min 1 max 1024",
    "option name EvalHash type spin default 2 min 1 max 1024",
    "option name Threads type spin default 1 min 1 max 128",
    "option name Ponder type check default true",
    "option name MultiPv type spin default 1 min 1 max 100",
    "option name MoveOverhead type spin default 50 min 0 max 2000",
    "uciok",
};

// Cache changes that arrived while search threads were using the caches.
// A size of 0 means "no change pending".
struct PendingCacheChanges {
    bool clearTable = false;
    uint64_t hashMiB = 0;
    uint64_t pawnHashMiB = 0;
    uint64_t evalHashMiB = 0;
};
PendingCacheChanges Pending;

// Applies the pending changes at once when no search thread can be touching
// the caches; otherwise they wait for the next join.
void applyWhenIdle(ThreadList& threads) {
    if (searchThreadsRunning()) return;
    joinSearchThreads(threads);
    applyPendingCacheChanges();
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A cache size in MiB: leading decimal digits (an optional '+' before them),
// clamped to 1..maxMiB. Returns false, changing nothing, when the word does
// not start with a number; a negative number does not count as one.
bool readCacheMiB(std::istream& words, uint64_t maxMiB, uint64_t& mib) {
    std::string word;
    if (!(words >> word)) return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first != last && *first == '+') first++;
    uint64_t value = 0;
    const std::errc error = std::from_chars(first, last, value).ec;
    if (error == std::errc::invalid_argument) return false;
    if (error == std::errc::result_out_of_range) value = maxMiB;
    mib = std::clamp<uint64_t>(value, 1, maxMiB);
    return true;
}

// A signed 32-bit option value, stored as read; one that does not parse
// leaves the field as it was.
void readSetting(std::istream& words, std::atomic<int32_t>& field) {
    int32_t value;
    if (words >> value) field.store(value, std::memory_order_relaxed);
}

}  // namespace

uint64_t cacheEntriesForMiB(uint64_t mib) {
    return std::bit_floor(std::max<uint64_t>(mib, 1)) * 65536;
}

void applyPendingCacheChanges() {
    if (Pending.hashMiB != 0)
        allocateTT(Pending.hashMiB);  // a new table is empty anyway
    else if (Pending.clearTable)
        clearTT();
    if (Pending.pawnHashMiB != 0) {
        const uint64_t entries = cacheEntriesForMiB(Pending.pawnHashMiB);
        resizeCache(PawnHashTable, entries, entries - 1);
    }
    if (Pending.evalHashMiB != 0) {
        const uint64_t entries = cacheEntriesForMiB(Pending.evalHashMiB);
        resizeCache(EvalHashTable, entries, entries - 1);
    }
    Pending = PendingCacheChanges{};
}

void uciCommand() {
    writeLine("id name " + engineName);
    for (const char* line : UciLines) writeLine(line);
}

void isreadyCommand() { writeLine("readyok"); }

void positionCommand(std::istream& words, const std::string& line, SearchThread& record) {
    std::string word;
    words >> word;
    if (word == "startpos") {
        setFromFen(StartFen, record.pos);
        clearSearchLimits(record.limits);
    } else if (word == "fen") {
        // The FEN is the text after "fen", up to the move list if there is
        // one; the separators around it are not part of it.
        std::string fen = line.substr(line.find("fen") + 3);
        const size_t movesAt = fen.find("moves");
        if (movesAt != std::string::npos) fen.erase(movesAt);
        const size_t begin = fen.find_first_not_of(" \t");
        fen = begin == std::string::npos ? std::string() : fen.substr(begin);
        // A FEN that cannot be used leaves the position, and with it the
        // meaning of its move list, as it was: the whole command is void.
        if (fen.empty() || !setFromFenChecked(fen, record.pos)) return;
        clearSearchLimits(record.limits);
    }

    const size_t movesAt = line.find("moves");
    if (movesAt == std::string::npos || movesAt + 6 > line.size()) return;
    std::istringstream moves(line.substr(movesAt + 6));
    while (moves >> word) {
        // The list ends at the first word that is not a legal move here.
        if (!moveFromText(word, record.pos)) break;
        compactHistory(record.pos);
    }
}

void newgameCommand(ThreadList& threads) {
    Pending.clearTable = true;
    applyWhenIdle(threads);
}

void setoptionCommand(std::istream& words, ThreadList& threads) {
    std::string skipped, name;
    words >> skipped >> name;  // "name" and the option's name
    name = lowerCase(name);

    if (name == "clear") {
        std::string what;
        words >> what;
        if (lowerCase(what) == "hash") newgameCommand(threads);
        return;
    }

    const bool cacheOption = name == "hash" || name == "pawnhash" || name == "evalhash";
    const bool valueOption = name == "threads" || name == "multipv" || name == "moveoverhead";
    if (!cacheOption && !valueOption) return;
    words >> skipped;  // "value"

    if (name == "threads") return readSetting(words, EngineSettings.threadCount);
    if (name == "multipv") return readSetting(words, EngineSettings.multiPv);
    if (name == "moveoverhead") return readSetting(words, EngineSettings.moveOverhead);

    uint64_t mib = 0;
    if (name == "hash") {
        if (!readCacheMiB(words, MaxHashMiB, mib)) return;
        Pending.hashMiB = mib;
    } else if (name == "pawnhash") {
        if (!readCacheMiB(words, MaxPawnHashMiB, mib)) return;
        Pending.pawnHashMiB = mib;
    } else {
        if (!readCacheMiB(words, MaxEvalHashMiB, mib)) return;
        Pending.evalHashMiB = mib;
    }
    applyWhenIdle(threads);
}
