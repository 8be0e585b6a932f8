#include "search/picker.h"

#include <climits>
#include <utility>

namespace {

// Sorts the keys of the stage just generated, keys[next, count), in
// descending order, three keys at a time: the three are put in order among
// themselves, then inserted from the lowest up, so that a key below all three
// moves three places in one step. The key before them has been visited
// already (or is the spare slot): set above every key, it ends each insertion
// without a bound check. Two keys below every key fill the last group of
// three.
void sortStage(MovePicker& picker) {
    int* const keys = pickerKeys(picker);
    keys[picker.next - 1] = INT_MAX;
    int* const end = keys + picker.count;
    end[0] = INT_MIN;
    end[1] = INT_MIN;
    for (int* p = keys + picker.next + 1; p < end; p += 3) {
        int high = p[0], middle = p[1], low = p[2];
        if (high < middle) std::swap(high, middle);
        if (middle < low) std::swap(middle, low);
        if (high < middle) std::swap(high, middle);
        int* q = p - 1;
        while (*q < low) {
            q[3] = *q;
            q--;
        }
        q[3] = low;
        while (*q < middle) {
            q[2] = *q;
            q--;
        }
        q[2] = middle;
        while (*q < high) {
            q[1] = *q;
            q--;
        }
        q[1] = high;
    }
}

}  // namespace

Move nextMoveSlow(MovePicker& picker, const Position& pos, int& score, Stage& stage) {
    for (;;) {
        while (picker.next < picker.count) {
            const int key = pickerKeys(picker)[picker.next++];
            const Move m = picker.moves[orderKeyIndex(key)];
            prefetchFollowing(picker, pos);
            if (m == picker.skipMove) continue;
            // The first entry of a stage generated just now, or the one after
            // the skipped hash move: nothing has fetched for it yet.
            if (picker.fetchAhead) prefetchChild(pos, picker.keyBase, m);
            score = orderKeyScore(key);
            stage = picker.currentStage;
            return m;
        }
        if (picker.nextStage > picker.lastStage) return MoveNone;
        const Stage s = picker.nextStage;
        picker.nextStage = nextStage(s);
        const int first = picker.count;
        // Before any entry is handed out: the fetches for the children start
        // from this.
        picker.keyBase = keyAfterBase(pos);
        picker.count = appendStageKeyed(s, pos, *picker.checkInfo, picker.context, picker.hashMove, picker.moves,
                                        pickerKeys(picker), first);
        picker.currentStage = s;
        // The hash move is handed out by its own stage only; a stage of one
        // entry needs no ordering.
        picker.skipMove = isHashStage(s) ? MoveNone : picker.hashMove;
        if (picker.count - first > 1) sortStage(picker);
        if (picker.fetchAhead) picker.fetchEnd = picker.count;
    }
}
