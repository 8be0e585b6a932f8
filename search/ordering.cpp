#include "search/ordering.h"

namespace {

// Most nodes cut off after one or two moves, so a stage is not sorted when it
// is generated: its first picks are found by selection, and a stage that is
// still being walked after that many picks sorts what is left.
constexpr int PickerSelections = 2;

// Moves the best entry not yet visited (the first of the highest score) to
// the front of those entries, keeping the others in their order: exactly the
// entry a stable sort of the stage would put there.
void selectBest(MovePicker& picker) {
    int best = picker.next;
    for (int i = best + 1; i < picker.count; i++)
        if (picker.scores[i] > picker.scores[best]) best = i;
    const Move m = picker.moves[best];
    const int score = picker.scores[best];
    for (int i = best; i > picker.next; i--) {
        picker.moves[i] = picker.moves[i - 1];
        picker.scores[i] = picker.scores[i - 1];
    }
    picker.moves[picker.next] = m;
    picker.scores[picker.next] = score;
}

}  // namespace

Move* counterPair(SearchThread& thread, const Position& pos, Move previous) {
    // MoveNone and MoveNull decode to a pawn on a1 or a2, an index like any other.
    return thread.counterMoves[pos.sideToMove][movePiece(previous)][moveTo(previous)];
}

void updateQuietStats(SearchThread& thread, SearchStack* ss, Move m, int depth,
                      const Move* quietsSearched, int quietCount) {
    const int us = thread.pos.sideToMove;
    const int bonus = depth <= HistoryMaxBonusDepth ? 2 * depth * depth : 0;

    // Each update moves the entry a fraction of the way towards +-HistoryMax,
    // so the entries can never leave that range (|h| * bonus fits in 32 bits).
    int32_t& h = thread.historyTable[us][movePiece(m)][moveTo(m)];
    h = h + bonus - (h * bonus) / HistoryMax;
    for (int i = 0; i < quietCount; i++) {
        Move q = quietsSearched[i];
        int32_t& hq = thread.historyTable[us][movePiece(q)][moveTo(q)];
        hq = hq - bonus - (hq * bonus) / HistoryMax;
    }

    if (m != ss->killers[0]) {
        ss->killers[1] = ss->killers[0];
        ss->killers[0] = m;
    }

    Move previous = (ss - 1)->currentMove;
    if (previous != MoveNone && previous != MoveNull) {
        Move* pair = counterPair(thread, thread.pos, previous);
        if (m != pair[0]) {
            pair[1] = pair[0];
            pair[0] = m;
        }
    }
}

void initPicker(MovePicker& picker, Move hashMove, int firstStage, int lastStage,
                const CheckInfo& ci, const Move* killers, const HistoryTable& history) {
    picker.count = 0;
    picker.next = 0;
    picker.nextStage = firstStage;
    picker.lastStage = lastStage;
    picker.currentStage = 0;
    picker.selectionsLeft = -1;
    picker.hashMove = hashMove;
    picker.checkInfo = &ci;
    picker.context = OrderingContext{killers, &history};
}

Move nextMove(MovePicker& picker, const Position& pos, int& score, int& stage) {
    for (;;) {
        while (picker.next < picker.count) {
            if (picker.selectionsLeft > 0) {
                picker.selectionsLeft--;
                selectBest(picker);
            } else if (picker.selectionsLeft == 0) {
                picker.selectionsLeft = -1;  // sorted from here on
                sortByScore(picker.moves, picker.scores, picker.next, picker.count);
            }
            int i = picker.next++;
            Move m = picker.moves[i];
            bool hashStage = picker.currentStage == StageHashMove || picker.currentStage == StageQsHashMove;
            if (!hashStage && m == picker.hashMove && m != MoveNone) continue;
            score = picker.scores[i];
            stage = picker.currentStage;
            return m;
        }
        if (picker.nextStage > picker.lastStage) return MoveNone;
        int s = picker.nextStage++;
        // The hash-move stages append their move without a score of their own.
        if (picker.count < MaxMoves) picker.scores[picker.count] = 0;
        picker.count = appendStage(picker.moves, picker.scores, pos, s, picker.count,
                                   *picker.checkInfo, picker.context, picker.hashMove);
        picker.currentStage = s;
        picker.selectionsLeft = PickerSelections;
    }
}
