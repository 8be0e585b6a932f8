// The evaluation against values computed by an independent model of the
// rules (tests/tools/evalref.py): suite positions and their colour-flipped
// twins, positions reached by random moves played through the move code (so
// the incrementally kept material, piece-square sums and keys are checked
// too), special endgames, pawn endings with locked chains, KPK positions, and
// scattered material with promoted pieces, pins and exposed kings.
//
// Each position is evaluated three ways: by evaluate() as the search calls it
// (its pawn structure is often already in the pawn cache from an earlier
// line), again from the evaluation cache, and by the trace, which bypasses
// both caches. All three must give the model's value to the unit.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "board/movetext.h"
#include "test_common.h"

using namespace evaltest;

namespace {

int traceValue(Position& pos) {
    const std::string text = traceEvaluation(pos);
    const size_t at = text.rfind("Final evaluation: ");
    return at == std::string::npos ? ScoreNone : std::stoi(text.substr(at + 18));
}

}  // namespace

TEST(EvalReference, AgreesWithTheIndependentModel) {
    std::ifstream in(std::string(OSTREVALK_TEST_DATA) + "/eval_reference.txt");
    ASSERT_TRUE(in.good());
    initEvalTables();
    resizeCache(EvalHashTable, 1ULL << 17, (1ULL << 17) - 1);
    resizeCache(PawnHashTable, 1ULL << 18, (1ULL << 18) - 1);

    int checked = 0, wrong = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t cut1 = line.find(';');
        const size_t cut2 = line.find(';', cut1 + 1);
        const int expected = std::stoi(line.substr(0, cut1));
        const std::string fen = line.substr(cut1 + 1, cut2 == std::string::npos ? std::string::npos : cut2 - cut1 - 1);
        auto pos = position(fen);
        if (cut2 != std::string::npos) {
            std::istringstream moves(line.substr(cut2 + 1));
            std::string word;
            while (moves >> word) ASSERT_TRUE(moveFromText(word, *pos)) << line;
        }
        const Score computed = evaluate(*pos);
        const Score cached = evaluate(*pos);
        const int traced = traceValue(*pos);
        checked++;
        if (computed != expected || cached != expected || traced != expected) {
            if (++wrong <= 10)
                ADD_FAILURE() << line << "\n  evaluate " << computed << ", from the cache " << cached << ", trace "
                              << traced;
        }
    }
    EXPECT_GT(checked, 3000);
    EXPECT_EQ(wrong, 0) << "of " << checked << " positions";
}
