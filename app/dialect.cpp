#include "app/dialect.h"

#include "board/movetext.h"

// A build for runners that cannot pass arguments may make the standard
// dialect its default (the CMake option OSTREVALK_STANDARD_DIALECT).
#ifdef OSTREVALK_STANDARD_DIALECT
Dialect ProtocolDialect = Dialect::Standard;
#else
Dialect ProtocolDialect = Dialect::Engine;
#endif

std::string protocolMoveText(Move m) {
    return moveToText(m, ProtocolDialect == Dialect::Standard ? PromotionCase::Lower : PromotionCase::Upper);
}
