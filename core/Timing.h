#pragma once
// Every interval and bound of the program, with its standard value. Tests
// shorten them through one Timing object; the constants stay as they are.

#include <chrono>

namespace vantor {

using std::chrono::milliseconds;

inline constexpr milliseconds kGamePollInterval{2000};      // process list polls for the game
inline constexpr milliseconds kDemoPollInterval{1000};      // polls for a copied demo
inline constexpr milliseconds kMoveSettleDelay{250};        // before moving a backup back
inline constexpr milliseconds kCustomConfigDelay{200};      // before replacing config.cfg
inline constexpr milliseconds kStartupRecoveryDelay{250};   // leftover recovery at start-up
inline constexpr milliseconds kDemoCopyBound{30'000};       // a copied demo must appear by then
inline constexpr milliseconds kGameStartBound{5 * 60'000};  // the game must appear by then
inline constexpr milliseconds kGameStartNotice{20'000};     // then the run says what it waits for
inline constexpr milliseconds kGameQuitBound{60 * 60'000};  // the game must quit by then
inline constexpr milliseconds kGameEndPoll{100};            // polls for a game the run ended
inline constexpr milliseconds kGameEndBound{10'000};        // a game the run ended must be gone by then
inline constexpr milliseconds kDiagToolBound{10 * 60'000};  // the hardware-report tool must end by then
inline constexpr milliseconds kCollectTick{1000};           // the Information window's elapsed time while it collects
inline constexpr milliseconds kHttpConnectBound{30'000};    // an HTTP connection must stand by then
inline constexpr milliseconds kHttpStallBound{60'000};      // a connection without a byte for so long is lost
inline constexpr milliseconds kHttpInfoBound{60'000};       // the update information (and its signature) by then
inline constexpr milliseconds kHttpFileBound{120'000};      // an update's file by then, plus kHttpFilePerMiB
inline constexpr milliseconds kHttpFilePerMiB{256'000};     // per MiB the file lists (4 KiB/s at the least)

struct Timing {
    milliseconds gamePoll = kGamePollInterval;
    milliseconds demoPoll = kDemoPollInterval;
    milliseconds moveSettle = kMoveSettleDelay;
    milliseconds customConfig = kCustomConfigDelay;
    milliseconds startupRecovery = kStartupRecoveryDelay;
    milliseconds demoCopyBound = kDemoCopyBound;
    milliseconds gameStartBound = kGameStartBound;
    milliseconds gameStartNotice = kGameStartNotice;
    milliseconds gameQuitBound = kGameQuitBound;
    milliseconds gameEndPoll = kGameEndPoll;
    milliseconds gameEndBound = kGameEndBound;
    milliseconds diagToolBound = kDiagToolBound;
    milliseconds collectTick = kCollectTick;
    milliseconds httpConnect = kHttpConnectBound;
    milliseconds httpStall = kHttpStallBound;
    milliseconds httpInfo = kHttpInfoBound;
    milliseconds httpFile = kHttpFileBound;
    milliseconds httpFilePerMiB = kHttpFilePerMiB;

    // All intervals divided by factor (bounds too), for tests.
    static Timing scaled(int factor);
};

}  // namespace vantor
