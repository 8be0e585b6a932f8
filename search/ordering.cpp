#include "search/ordering.h"

#include <cassert>

#include "board/generator.h"

namespace {

// The history row of the side to move: [moving piece type][to square].
using HistoryRow = const int32_t (*)[64];

// A generator sink that scores each move as it is appended, by its kind, and
// stores the picker's key of the entry. Killers are compared by their full
// code; MoveNone stands for a missing killer and never matches a generated
// move.
//
// The sink is filled through cursors rather than a count, and the key's
// tie-break counts down in a wider type: an int counter could be an entry as
// far as the compiler knows, and would be reloaded after every entry written.
struct ScoringSink {
    Move* end;  // the next free entry
    int* keyEnd;
    int64_t tieBreak;  // MaxMoves - 1 - the next free entry's place
    const Position& pos;
    Move killer0;
    Move killer1;
    HistoryRow history;

    void append(Move m, int score) {
        assert(score > -OrderScoreLimit && score < OrderScoreLimit);
        *end++ = m;
        *keyEnd++ = orderKey(score, MaxMoves - 1 - int(tieBreak--));
    }
    int killerOr(Move m, int otherwise) const {
        return m == killer0 ? ScoreKiller0 : m == killer1 ? ScoreKiller1 : otherwise;
    }
    void quiet(Move m, int piece, Square to) { append(m, killerOr(m, history[piece][to])); }
    void castling(Move m) { append(m, killerOr(m, ScoreCastling)); }
    // An en-passant capture lands on an empty square, so it scores the
    // capture base plus its history only.
    void capture(Move m, int piece, Square to, int onTarget) {
        append(m, CaptureValue[onTarget] + ScoreCaptureBase + history[piece][to]);
    }
    void promotion(Move m, int promotion, int captured) {
        append(m, ScorePromotionUnit * promotion + (captured != NoPiece ? ScorePromotionCaptureUnit * captured : 0));
    }
};

// The kind of moves each stage generates: in check every stage yields the
// evasions; out of check Stage::None yields nothing.
bool stageKind(Stage stage, const CheckInfo& ci, GenKind& kind) {
    if (ci.checkerCount > 0) {
        kind = GenKind::Evasions;
        return true;
    }
    switch (stage) {
        case Stage::Captures:
            kind = GenKind::Tactical;
            return true;
        case Stage::Quiets:
            kind = GenKind::Quiets;
            return true;
        case Stage::QsCaptures:
            kind = GenKind::Captures;
            return true;
        case Stage::QuietChecks:
            kind = GenKind::QuietChecks;
            return true;
        default:
            return false;
    }
}

}  // namespace

int appendStageKeyed(Stage stage, const Position& pos, const CheckInfo& ci, const OrderingContext& ctx, Move candidate,
                     Move* moves, int* keys, int count) {
    if (isHashStage(stage)) {
        moves[count] = candidate;
        keys[count] = orderKey(0, count);
        return count + 1;
    }
    ScoringSink out{moves + count,
                    keys + count,
                    MaxMoves - 1 - count,
                    pos,
                    ctx.killers ? ctx.killers[0] : MoveNone,
                    ctx.killers ? ctx.killers[1] : MoveNone,
                    (*ctx.history)[pos.sideToMove]};
    GenKind kind;
    if (stageKind(stage, ci, kind)) generation::generate(out, kind, ci);
    const int newCount = int(out.end - moves);
    assert(newCount <= MaxMoves);
    return newCount;
}

Move* counterPair(SearchThread& thread, const Position& pos, Move previous) {
    // MoveNone and MoveNull decode to a pawn on a1 or a2, an index like any other.
    return thread.counterMoves[pos.sideToMove][movePiece(previous)][moveTo(previous)];
}

void updateQuietStats(SearchThread& thread, SearchStack* ss, Move m, int depth, const Move* quietsSearched,
                      int quietCount) {
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
