#include "app/perft.h"

#include <iostream>
#include <string>

#include "app/dialect.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft.h"

void perftCommand(std::istream& words, Position& pos) {
    int depth = 1;
    if (!(words >> depth) || depth < 1) depth = 1;
    // A line of depth - 1 moves is played below the root; keep it within the
    // undo history.
    const int room = HistoryCapacity - pos.historyLength;
    if (depth > room) depth = room < 1 ? 1 : room;

    Move moves[MaxMoves];
    const int n = generateLegalMoves(pos, moves);
    uint64_t total = 0;
    for (int i = 0; i < n; i++) {
        uint64_t count = 1;
        if (depth > 1) {
            makeMove(pos, moves[i]);
            count = perft(pos, depth - 1);
            unmakeMove(pos);
        }
        total += count;
        std::cout << protocolMoveText(moves[i]) << ": " << count << std::endl;
    }
    std::cout << std::endl;
    std::cout << "Nodes searched: " << total << std::endl;
}
