#pragma once
// The waits of a run against the simulator, short enough for tests: the game's
// start and quit bounds are the test's to choose.

#include "core/Timing.h"

#include <chrono>

namespace vantor::test {

inline Timing simRunTiming(std::chrono::milliseconds gameStartBound, std::chrono::milliseconds gameQuitBound) {
    using namespace std::chrono_literals;
    Timing t;
    t.gamePoll = 40ms;
    t.demoPoll = 20ms;
    t.moveSettle = 5ms;
    t.customConfig = 5ms;
    t.startupRecovery = 5ms;
    t.demoCopyBound = 2s;
    t.gameStartBound = gameStartBound;
    t.gameQuitBound = gameQuitBound;
    return t;
}

}  // namespace vantor::test
