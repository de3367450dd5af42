#include "core/Timing.h"

namespace vantor {

Timing Timing::scaled(int factor) {
    Timing t;
    if (factor <= 1) return t;
    for (milliseconds* m :
         {&t.gamePoll, &t.demoPoll, &t.moveSettle, &t.customConfig, &t.startupRecovery, &t.demoCopyBound,
          &t.gameStartBound, &t.gameQuitBound, &t.gameEndPoll, &t.gameEndBound, &t.diagToolBound, &t.httpConnect,
          &t.httpStall, &t.httpInfo, &t.httpFile, &t.httpFilePerMiB})
        *m = milliseconds(m->count() / factor);
    return t;
}

}  // namespace vantor
