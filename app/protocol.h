// The protocol commands besides the search commands: "uci", "isready",
// "position", "newgame" and "setoption", and the sizing of the three caches.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "app/go.h"
#include "search/state.h"

extern const char StartFen[];

// Announced maxima of the cache options, in MiB.
constexpr uint64_t MaxHashMiB = 16384;
constexpr uint64_t MaxPawnHashMiB = 1024;
constexpr uint64_t MaxEvalHashMiB = 1024;

void uciCommand();
void isreadyCommand();
// line is the whole command line: the FEN and the move list are found in it
// by text search, words is its word stream after "position".
void positionCommand(std::istream& words, const std::string& line, SearchThread& record);
void newgameCommand(ThreadList& threads);
void setoptionCommand(std::istream& words, ThreadList& threads);

// Entry count of a pawn or evaluation cache of mib MiB: the largest power of
// two of MiB not above mib, 65536 entries of 16 bytes each per MiB.
uint64_t cacheEntriesForMiB(uint64_t mib);

// Cache resizes and clears asked for while a search runs wait until its
// threads have been joined; this applies them (the loop calls it after every
// join that precedes a new search or benchmark).
void applyPendingCacheChanges();
