// The staged move picker: generates one stage at a time and hands out its
// moves best first, so that a node that cuts off early never generates or
// sorts the rest.
#pragma once

#include <cassert>

#include "search/ordering.h"
#include "search/prefetch.h"

// Walks the stages firstStage..lastStage in turn. Each stage is appended
// behind the moves already taken and visited in its sorted order (highest
// score first, ties in generation order); a hash move met again after its
// own stage is skipped.
//
// The moves stay where generation put them. What gets reordered is one key
// per entry (see orderKey), which carries both the score and the entry's
// place, so no two keys are equal and the highest key is exactly the entry a
// stable sort would put first.
struct MovePicker {
    Move moves[MaxMoves];
    int keySlots[MaxMoves + 3];  // the keys, between spare slots (see pickerKeys)
    int count;
    int next;
    int fetchEnd;     // count while fetching ahead, else 0 (see stopFetchingAhead)
    bool fetchAhead;  // the children's entries are fetched before their moves are played
    Stage nextStage;  // stage generated when the current one runs out
    Stage lastStage;
    Stage currentStage;  // stage of the entries being visited
    Move skipMove;       // the hash move while a generated stage is walked, else MoveNone
    Move hashMove;
    const CheckInfo* checkInfo;
    OrderingContext context;
    KeyAfterBase keyBase;  // of the node's position, set when a stage is generated
};

// The keys of the entries: keys[i] belongs to moves[i]. keys[-1] is a spare
// slot, so that the key before any entry can serve as a sentinel, and two
// more follow keys[MaxMoves - 1], so that the sort may fill its last group
// of three behind any entry.
inline int* pickerKeys(MovePicker& picker) { return picker.keySlots + 1; }
inline const int* pickerKeys(const MovePicker& picker) { return picker.keySlots + 1; }

// hashMove is MoveNone when there is none; firstStage is then the stage after
// the hash-move stage.
inline void initPicker(MovePicker& picker, Move hashMove, Stage firstStage, Stage lastStage, const CheckInfo& ci,
                       const Move* killers, const HistoryTable& history) {
    // The stages run in their order from the first to the last, and a null
    // move is never a table move to try.
    assert(firstStage != Stage::None && firstStage <= lastStage);
    assert(hashMove != MoveNull);
    picker.count = 0;
    picker.next = 0;
    picker.fetchEnd = 0;
    picker.fetchAhead = true;
    picker.nextStage = firstStage;
    picker.lastStage = lastStage;
    picker.currentStage = Stage::None;
    picker.skipMove = MoveNone;
    picker.hashMove = hashMove;
    picker.checkInfo = &ci;
    picker.context = OrderingContext{killers, &history};
}

// The switch to the next stage, with its generation and sort, and the
// skipped hash move: everything nextMove does besides handing out the next
// entry of a stage.
Move nextMoveSlow(MovePicker& picker, const Position& pos, int& score, Stage& stage);

// When the entry after the one handed out is already in its place, the
// fetch for its child starts now, while the move handed out is searched.
inline void prefetchFollowing(const MovePicker& picker, const Position& pos) {
    if (picker.next < picker.fetchEnd)
        prefetchChild(pos, picker.keyBase, picker.moves[orderKeyIndex(pickerKeys(picker)[picker.next])]);
}

// Once the search knows that the moves still to come will mostly be passed
// over unsearched (late quiet moves beyond the move-count limit or futile,
// captures too small to lift a quiescence node), their children's entries
// are no longer fetched ahead: a move that is searched after all still
// starts its fetch as it is played.
inline void stopFetchingAhead(MovePicker& picker) {
    picker.fetchAhead = false;
    picker.fetchEnd = 0;
}

// The next move, MoveNone when the stages are exhausted. score receives its
// ordering score, stage the stage that produced it.
inline Move nextMove(MovePicker& picker, const Position& pos, int& score, Stage& stage) {
    if (picker.next < picker.count) {
        const int key = pickerKeys(picker)[picker.next++];
        const Move m = picker.moves[orderKeyIndex(key)];
        prefetchFollowing(picker, pos);
        if (m != picker.skipMove) {
            score = orderKeyScore(key);
            stage = picker.currentStage;
            return m;
        }
    }
    return nextMoveSlow(picker, pos, score, stage);
}
