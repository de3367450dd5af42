// The program killed (SIGKILL) at each stage of a run, then started again: every
// user file must be back with its original bytes under its own name.
#include "platform/AsciiCase.h"
#include "platform/ProcessList.h"
#include "platform/RegistryHive.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"
#include "tests/support/StoredSettings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";

std::string describe(const std::map<std::string, std::string>& files) {
    std::string s;
    for (auto& [name, bytes] : files) s += name + " (" + std::to_string(bytes.size()) + " bytes) ";
    return s.empty() ? "(none)" : s;
}

struct UserFiles {
    const char* name;
    bool valveRc, autoexec, config;
    const char* detail;  // "1" maximum, "3" custom
};

class CrashSafety : public ::testing::TestWithParam<UserFiles> {
protected:
    void SetUp() override {
        const auto& p = GetParam();
        ASSERT_TRUE(sim.ok);
        for (auto [has, file] : {std::pair{p.valveRc, "valve.rc"}, std::pair{p.autoexec, "autoexec.cfg"},
                                 std::pair{p.config, "config.cfg"}})
            if (!has) std::filesystem::remove(sim.cfg() + file);
        writeFile(sim.dir.path() + "custom.cfg", "// custom\r\nmat_picmip 1\r\n");
        std::filesystem::create_directories(sim.dir.path() + "Reports");
        ASSERT_TRUE(storeSettings(
            sim.hive(), chosenSettings(sim.dir.path() + "Reports/",
                                       {{"Detail", p.detail}, {"CustomConfig", sim.dir.path() + "custom.cfg"}})));
        sim.knobs("play_ms=400\nstart_delay_ms=60\n");
        userFiles = snapshot(sim.cfg());
    }

    bool gameRunning() {
        std::vector<ProcessEntry> mine;
        sim.processes.list(mine);
        return std::any_of(mine.begin(), mine.end(), [](auto& e) { return e.name == "hl2.exe"; });
    }

    // Runs the program until stage() holds (or the delay has passed when no stage
    // is given), kills it, ends the game and starts the program again. Returns
    // whether the stage was reached before the run ended.
    bool killAt(const std::function<bool()>& stage, std::chrono::milliseconds delay) {
        sim.endAll();
        sim.startSteam();
        Cli run(sim.dir.path(), sim.hive(), {"run"}, {}, "run");
        const auto start = std::chrono::steady_clock::now();
        bool reached = false;
        while (true) {
            if (stage ? stage() : std::chrono::steady_clock::now() - start >= delay) {
                reached = true;
                break;
            }
            if (run.ended()) return false;  // the run ended first
            if (std::chrono::steady_clock::now() - start > 20s) break;
            std::this_thread::sleep_for(200us);
        }
        run.killNow();
        sim.endAll();
        // Start again: start-up repairs what the run left; questions answered No.
        Cli again(sim.dir.path(), sim.hive(), {"start"}, {}, "start");
        EXPECT_EQ(again.wait(), 0);
        return reached;
    }

    void expectUserFilesBack(const std::string& point) {
        const auto now = snapshot(sim.cfg());
        EXPECT_EQ(now, userFiles) << "killed " << point << ": now " << describe(now) << ", was " << describe(userFiles)
                                  << "\n"
                                  << readFile(sim.dir.path() + "start.err");
        const std::string out = readFile(sim.dir.path() + "start.err");
        EXPECT_EQ(out.find("Do you wish to delete"), std::string::npos) << "the question was asked, killed " << point;
    }

    SimInstall sim;
    std::map<std::string, std::string> userFiles;
};

TEST_P(CrashSafety, EveryUserFileIsBackAfterAKillAtAnyStage) {
    const std::string cfg = sim.cfg();
    auto mentions = [&](const char* file, const char* text) {
        return readFile(cfg + file).find(text) != std::string::npos;
    };
    struct Stage {
        const char* name;
        std::function<bool()> reached;
    };
    const std::vector<Stage> stages = {
        {"after the backups",
         [&] {
             return exists(cfg + "vantor_run.journal") && exists(cfg + "valve.rc") &&
                    mentions("valve.rc", "Pellmarr & Quorvane - rc details");
         }},
        {"after the configuration is written", [&] { return mentions("autoexec.cfg", "fps_max 500"); }},
        {"while a game runs", [&] { return gameRunning(); }},
        {"after the first pass",
         [&] {
             return exists(sim.dir.path() + "Reports") &&
                    readFile(sim.dir.path() + "run.out").find("800") != std::string::npos;
         }},
        {"while the report is written",
         [&] {
             for (auto& e : std::filesystem::directory_iterator(sim.dir.path() + "Reports"))
                 if (e.path().filename().string().rfind("result_", 0) == 0) return true;
             return false;
         }},
    };
    int tried = 0, reached = 0;
    for (const auto& stage : stages) {
        ++tried;
        const bool stopped = killAt(stage.reached, 0ms);
        if (stopped) ++reached;
        expectUserFilesBack(stage.name);
        // Up to the game's run the program's files are in place: start-up says
        // what it put back (the user's files) or removed (the program's), and where.
        if (stopped && std::string(stage.name) != "after the first pass" &&
            std::string(stage.name) != "while the report is written") {
            const std::string out = readFile(sim.dir.path() + "start.out");
            const std::string prefix = "Restored after an interrupted run, in " + cfg + ": ";
            // Windows ignores case: there the program spells the game's folder its own way.
            const bool anyCase = kThisOs == OsFamily::Windows;
            const auto at = anyCase ? asciiLower(out).find(asciiLower(prefix)) : out.find(prefix);
            ASSERT_NE(at, std::string::npos) << stage.name << "\n" << out;
            std::string line = out.substr(at + prefix.size(), out.find('\n', at) - at - prefix.size());
            if (line.ends_with('\r')) line.pop_back();  // Windows' line ends
            // "A, B (yours, put back); C (the program's, removed)", either part alone.
            std::vector<std::string> parts;
            for (std::size_t from = 0, end; from < line.size(); from = end + 2) {
                end = std::min(line.find("; ", from), line.size());
                parts.push_back(line.substr(from, end - from));
            }
            ASSERT_FALSE(parts.empty()) << line;
            for (const auto& part : parts) {
                const bool yours = part.ends_with(" (yours, put back)");
                ASSERT_TRUE(yours || part.ends_with(" (the program's, removed)")) << line;
                const std::string names = part.substr(0, part.rfind(" ("));
                for (std::size_t from = 0, end; from < names.size(); from = end + 2) {
                    end = std::min(names.find(", ", from), names.size());
                    const std::string name = names.substr(from, end - from);
                    EXPECT_EQ(userFiles.count(name) > 0, yours) << stage.name << ": " << line;
                }
            }
        }
        std::filesystem::remove_all(sim.dir.path() + "Reports");
        std::filesystem::create_directories(sim.dir.path() + "Reports");
    }
    // And at fixed moments across the whole run.
    for (int ms = 0; ms <= 1500; ms += 60) {
        ++tried;
        if (killAt(nullptr, std::chrono::milliseconds(ms))) ++reached;
        expectUserFilesBack("after " + std::to_string(ms) + " ms");
    }
    RecordProperty("kill_points", tried);
    std::printf("[ kill points ] %s: %d tried, %d reached before the run ended\n", GetParam().name, tried, reached);
    EXPECT_GE(reached, 10);
}

INSTANTIATE_TEST_SUITE_P(UserFiles, CrashSafety,
                         ::testing::Values(UserFiles{"AllFilesMaximum", true, true, true, "1"},
                                           UserFiles{"AllFilesCustom", true, true, true, "3"},
                                           UserFiles{"NoFilesCustom", false, false, false, "3"},
                                           UserFiles{"OnlyValveRc", true, false, false, "1"},
                                           UserFiles{"AutoexecAndConfigCustom", false, true, true, "3"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
