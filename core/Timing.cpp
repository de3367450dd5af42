#include "core/Timing.h"

namespace vantor {

// The notice of a slow game start keeps its time: a shortened one would show
// up in runs whose game is only slow to start on a loaded machine.
Timing Timing::scaled(int factor) {
    Timing t;
    if (factor <= 1) return t;
    for (milliseconds* m :
         {&t.gamePoll, &t.demoPoll, &t.moveSettle, &t.customConfig, &t.startupRecovery, &t.demoCopyBound,
          &t.gameStartBound, &t.gameQuitBound, &t.gameEndPoll, &t.gameEndBound, &t.diagToolBound, &t.collectTick,
          &t.httpConnect, &t.httpStall, &t.httpInfo, &t.httpFile, &t.httpFilePerMiB})
        *m = milliseconds(m->count() / factor);
    return t;
}

}  // namespace vantor
