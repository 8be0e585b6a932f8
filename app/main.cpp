// Process entry: every global table is built once, the three caches are
// allocated at their start-up sizes, then the command loop runs. Nothing is
// written to standard output until a command asks for it.
#include "app/loop.h"
#include "app/report.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "eval/endgame.h"
#include "eval/eval.h"
#include "search/search.h"
#include "search/tt.h"

namespace {

constexpr uint64_t StartupHashMiB = 32;
constexpr uint64_t StartupPawnEntries = uint64_t(1) << 18;  // 4 MiB
constexpr uint64_t StartupEvalEntries = uint64_t(1) << 17;  // 2 MiB

}  // namespace

int main() {
    initBoardTables();
    installReporter();
    initEvaluation();
    initSearchTables();
    buildKpkBitbase();
    allocateTT(StartupHashMiB);
    resizeCache(PawnHashTable, StartupPawnEntries, StartupPawnEntries - 1);
    resizeCache(EvalHashTable, StartupEvalEntries, StartupEvalEntries - 1);

    ThreadList threads;
    commandLoop(threads);
    joinSearchThreads(threads);
    return 0;
}
