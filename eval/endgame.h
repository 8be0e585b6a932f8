// Endgame knowledge: special material configurations, the scale factor of the
// stronger side, the blocked pawn ending test and the KPK table.
#pragma once

#include "board/position.h"
#include "eval/attackinfo.h"

// Returns a final score from the side to move's view, or ScoreNone; may lower
// scaleFactor even when it returns ScoreNone.
Score evaluateSpecialEndgame(const Position& pos, int& scaleFactor);
// 0..256 for the end-game score of the stronger colour.
int endgameScaleFactor(int strongSide, const Position& pos);
// Whether the stronger side's king can never break through a locked pawn chain.
bool isBlockedPawnEnding(const AttackInfo& ai, int strongSide, const Position& pos);

// KPK win/draw table: bit i set = position of kpkIndex i won for the pawn side.
extern uint32_t KpkBitbase[6144];
void buildKpkBitbase();
// Score of a KPK position from the side to move's view (strongSide has the pawn).
Score probeKpk(const Position& pos, int strongSide);
