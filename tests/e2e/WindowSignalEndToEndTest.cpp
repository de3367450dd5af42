// The window asked to end from outside during a run (a kill with SIGTERM, its
// terminal closing with SIGHUP): the run stops, the game it started is closed
// and the user's files are back before the program ends, as its own close does.

#include "core/SettingsStore.h"
#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

TEST(WindowSignal, TheRunStopsAndTheFilesComeBackBeforeTheWindowEnds) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "POSIX signals";
    for (const int signal : {15, 1}) {  // SIGTERM, SIGHUP
        SCOPED_TRACE(signal);
        SimInstall sim;
        ASSERT_TRUE(sim.ok);
        sim.knobs("play_ms=20000\nstart_delay_ms=30\n");
        std::filesystem::create_directories(sim.dir.path() + "Reports");
        {
            RegistryHive hive(sim.hive());
            for (const auto& [name, value] : std::map<std::string, std::string>{
                     {"640", "1"}, {"Donate", "1"}, {"ResultPath", sim.dir.path() + "Reports/"}})
                ASSERT_TRUE(hive.setString(RegRoot::LocalMachine, kSettingsKey, name, value));
        }
        const auto userFiles = snapshot(sim.cfg());
        sim.startSteam();
        Cli window(sim.dir.path(), sim.hive(), {"--run"}, {"QT_QPA_PLATFORM=offscreen"}, "window",
                   std::string(VANTOR_BIN_DIR) + "/vantor");
        ASSERT_TRUE(window.started());
        auto gameRunning = [&] {
            std::vector<ProcessEntry> mine;
            sim.processes.list(mine);
            return std::any_of(mine.begin(), mine.end(), [](auto& e) { return e.name == "hl2.exe"; });
        };
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!gameRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(gameRunning()) << window.err();
        EXPECT_NE(snapshot(sim.cfg()), userFiles);

        sendSignal(window.id(), signal);
        EXPECT_EQ(window.wait(30s), 0) << window.err();
        EXPECT_FALSE(gameRunning());
        EXPECT_EQ(snapshot(sim.cfg()), userFiles);
    }
}

}  // namespace
