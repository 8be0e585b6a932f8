#include "search/picker.h"

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

void initPicker(MovePicker& picker, Move hashMove, Stage firstStage, Stage lastStage, const CheckInfo& ci,
                const Move* killers, const HistoryTable& history) {
    picker.count = 0;
    picker.next = 0;
    picker.nextStage = firstStage;
    picker.lastStage = lastStage;
    picker.currentStage = Stage::None;
    picker.selectionsLeft = -1;
    picker.hashMove = hashMove;
    picker.checkInfo = &ci;
    picker.context = OrderingContext{killers, &history};
}

Move nextMove(MovePicker& picker, const Position& pos, int& score, Stage& stage) {
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
            if (!isHashStage(picker.currentStage) && m == picker.hashMove && m != MoveNone) continue;
            score = picker.scores[i];
            stage = picker.currentStage;
            return m;
        }
        if (picker.nextStage > picker.lastStage) return MoveNone;
        const Stage s = picker.nextStage;
        picker.nextStage = nextStage(s);
        // The hash-move stages append their move without a score of their own.
        if (picker.count < MaxMoves) picker.scores[picker.count] = 0;
        picker.count = appendStage(s, pos, *picker.checkInfo, picker.context, picker.hashMove, picker.moves,
                                   picker.scores, picker.count);
        picker.currentStage = s;
        picker.selectionsLeft = PickerSelections;
    }
}
