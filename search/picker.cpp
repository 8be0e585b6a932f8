#include "search/picker.h"

namespace {

// Many nodes cut off at their first move, so a stage is not sorted when it is
// generated: its first pick is found by selection, and a stage that is still
// being walked after that sorts what is left. (Two selections cost more over
// the bench than sorting one pick earlier.)
constexpr int PickerSelections = 1;
static_assert(PickerSelections >= 1, "the sort of a stage relies on a key picked before it");

// Brings the highest key not yet visited to the front of those keys. The
// others may change places: their keys alone fix their order.
void selectBest(MovePicker& picker) {
    int* const first = picker.keys + picker.next;
    int* const end = picker.keys + picker.count;
    int* best = first;
    int bestKey = *first;
    for (int* p = first + 1; p < end; p++)
        if (*p > bestKey) {
            best = p;
            bestKey = *p;
        }
    *best = *first;
    *first = bestKey;
}

// Sorts keys[next, count) in descending order. At least one key of the stage
// has been picked by selection before, and it is greater than every key left:
// it ends each insertion without a bound check.
void sortRest(MovePicker& picker) {
    int* const end = picker.keys + picker.count;
    for (int* p = picker.keys + picker.next + 1; p < end; p++) {
        const int key = *p;
        int* q = p;
        while (q[-1] < key) {
            *q = q[-1];
            q--;
        }
        *q = key;
    }
}

}  // namespace

void initPicker(MovePicker& picker, Move hashMove, Stage firstStage, Stage lastStage, const CheckInfo& ci,
                const Move* killers, const HistoryTable& history) {
    picker.count = 0;
    picker.next = 0;
    picker.ready = 0;
    picker.selectionsLeft = 0;
    picker.nextStage = firstStage;
    picker.lastStage = lastStage;
    picker.currentStage = Stage::None;
    picker.skipMove = MoveNone;
    picker.hashMove = hashMove;
    picker.checkInfo = &ci;
    picker.context = OrderingContext{killers, &history};
}

Move nextMoveSlow(MovePicker& picker, const Position& pos, int& score, Stage& stage) {
    for (;;) {
        while (picker.next < picker.count) {
            if (picker.next >= picker.ready) {
                if (picker.selectionsLeft > 0) {
                    picker.selectionsLeft--;
                    selectBest(picker);
                } else {
                    sortRest(picker);
                    picker.ready = picker.count;
                }
            }
            const int key = picker.keys[picker.next++];
            const Move m = picker.moves[orderKeyIndex(key)];
            if (m == picker.skipMove) continue;
            score = orderKeyScore(key);
            stage = picker.currentStage;
            return m;
        }
        if (picker.nextStage > picker.lastStage) return MoveNone;
        const Stage s = picker.nextStage;
        picker.nextStage = nextStage(s);
        const int first = picker.count;
        picker.count = appendStageKeyed(s, pos, *picker.checkInfo, picker.context, picker.hashMove, picker.moves,
                                        picker.keys, first);
        picker.currentStage = s;
        // The hash move is handed out by its own stage only; a stage of one
        // entry needs no ordering.
        picker.skipMove = isHashStage(s) ? MoveNone : picker.hashMove;
        picker.ready = picker.count - first <= 1 ? picker.count : first;
        picker.selectionsLeft = PickerSelections;
    }
}
