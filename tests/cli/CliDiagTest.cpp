// vantor-cli's hardware information and debug mode, run from a copy of the
// program in a folder of its own (the program's folder gets the report file and
// "debuginfo.txt"), as a user starts it.
#include "core/SettingsStore.h"
#include "diag/ScanDxReport.h"
#include "platform/RegistryHive.h"
#include "platform/TextFile.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"
#include "tests/support/StandIn.h"
#include "tests/support/SystemText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The program and its tools copied into folder; tools: with dxdiag.exe (the
// build's on POSIX; on Windows, where the system's own runs, a stand-in with a
// full report, as Wine's lacks a line).
std::string installCopy(const std::string& folder, bool tools = true) {
    fs::create_directories(folder);
    const fs::path bin = VANTOR_BIN_DIR;
    std::vector<std::string> files = {std::string("vantor-cli") + kExeSuffix};
    if (kThisOs != OsFamily::Windows) files.push_back("vantor-batch");
    if (tools && kThisOs != OsFamily::Windows) files.push_back("dxdiag.exe");
    if (tools && kThisOs == OsFamily::Windows) StandIn::writesAFullReport().install(folder);
    for (const auto& f : files) fs::copy_file(bin / f, folder + f, fs::copy_options::overwrite_existing);
    fs::copy(bin / "Demos", folder + "Demos", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return folder + "vantor-cli" + kExeSuffix;
}

// The tool's folder: the program's own (where installCopy puts it).
std::vector<std::string> toolIn(const std::string& program) {
    return {"VANTOR_SYSTEM_FOLDER=" + fs::path(program).parent_path().string()};
}

std::string stored(const std::string& hive, const char* name) {
    RegistryHive h(hive);
    return h.query(RegRoot::LocalMachine, kSettingsKey, name).text;
}

}  // namespace

TEST(CliHwinfo, PrintsTheSixValuesAndStoresThemOnlyWithSave) {
    TempDir dir;
    const std::string program = installCopy(dir / "my bench/");
    const std::string hive = dir / "registry.reg";

    Cli look(dir.path(), hive, {"hwinfo"}, toolIn(program), "look", program);
    ASSERT_EQ(look.wait(), 0) << look.err();
    const auto lines = linesOf(look.out());
    ASSERT_EQ(lines.size(), 6u) << look.out();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(lines[i].rfind(kHardwareLabels[i], 0), 0u) << lines[i];
    EXPECT_EQ(look.err(), "");
    EXPECT_EQ(stored(hive, sv::SaveInfo), "");
    EXPECT_FALSE(exists(dir / "my bench/dxinfo.txt"));

    Cli save(dir.path(), hive, {"hwinfo", "--save"}, toolIn(program), "save", program);
    ASSERT_EQ(save.wait(), 0) << save.err();
    EXPECT_EQ(save.out(), look.out() +
                              "Stored for the report: it carries this description when additional information is on "
                              "(`vantor-cli set additional-info on`).\n");
    EXPECT_EQ(stored(hive, sv::SaveInfo), "1");
    EXPECT_EQ(stored(hive, sv::OS), lines[0]);
    EXPECT_EQ(stored(hive, sv::CPU), lines[1]);
    EXPECT_EQ(stored(hive, sv::Memory), lines[2]);
    EXPECT_EQ(stored(hive, sv::VGA), lines[3]);
    EXPECT_EQ(stored(hive, sv::VGAMemory), lines[4]);
    EXPECT_EQ(stored(hive, sv::VGADriver), lines[5]);
}

TEST(CliHwinfo, MissingToolFailsWithItsReasonAndStoresNothing) {
    TempDir dir;
    const std::string program = installCopy(dir / "bench/", false);
    const std::string hive = dir / "registry.reg";
    Cli cli(dir.path(), hive, {"hwinfo", "--save"}, toolIn(program), "cli", program);
    EXPECT_EQ(cli.wait(), 1);
    EXPECT_EQ(cli.out(), "");
    EXPECT_EQ(cli.err(), "vantor-cli: The hardware report tool could not be started: " + fileNotFoundText() + ".\n");
    EXPECT_EQ(stored(hive, sv::SaveInfo), "");
}

TEST(CliRunDebug, DebugRunWritesTheLogWithTheMachineAndTheReportShowsTheStoredValues) {
    SimInstall sim;
    ASSERT_TRUE(sim.ok);
    const std::string bench = sim.dir / "my bench/";
    const std::string program = installCopy(bench);
    fs::create_directories(sim.dir.path() + "Reports");
    {
        RegistryHive hive(sim.hive());
        for (auto [name, value] :
             std::vector<std::pair<std::string, std::string>>{{"Programversion", "1.3"},
                                                              {"Addinfo", "1"},
                                                              {"Donate", "1"},
                                                              {"NoErrorWarning", "0"},
                                                              {"640", "1"},
                                                              {"ResultPath", sim.dir.path() + "Reports/"}})
            ASSERT_TRUE(hive.setString(RegRoot::LocalMachine, kSettingsKey, name, value));
    }
    // The description stored first, as "Save & Close" stores it.
    Cli save(sim.dir.path(), sim.hive(), {"hwinfo", "--save"}, toolIn(program), "save", program);
    ASSERT_EQ(save.wait(), 0) << save.err();
    const std::string os = linesOf(save.out()).at(0);

    sim.startSteam();
    std::vector<std::string> env = toolIn(program);
    env.insert(env.end(), {"VANTOR_SIM_PLAY_MS=250", "VANTOR_SIM_START_DELAY_MS=30"});
    Cli run(sim.dir.path(), sim.hive(), {"run", "--debug"}, env, "cli", program);
    ASSERT_EQ(run.wait(60s), 0) << run.out() << run.err();
    const auto out = linesOf(run.out());
    ASSERT_EQ(out.size(), 6u) << run.out();
    EXPECT_EQ(
        std::vector<std::string>(out.begin(), out.end() - 2),
        (std::vector<std::string>{"Debug in progress, please wait...", "Preparing...",
                                  "Debug in progress... Resolution: 800\u00D7600", "The debugging is successful."}));
    EXPECT_TRUE(std::regex_match(out[4], std::regex("800\u00D7600: [0-9]+\\.[0-9][0-9] FPS"))) << out[4];
    EXPECT_EQ(out.back().rfind(sim.dir / "Reports/result_", 0), 0u) << out.back();
    // "Add additional information" is on: the report's system section.
    const std::string report = readFile(out.back());
    EXPECT_NE(report.find("<p align=\"left\" class=\"style4\">System</p>\r\n   <FONT size=2>" + os + "</FONT><br>\r\n"),
              std::string::npos)
        << report;

    std::vector<std::string> log;
    ASSERT_TRUE(readTextLines(bench + "debuginfo.txt", log));
    ASSERT_GT(log.size(), 19u);
    EXPECT_EQ(log[1], "Quorvane Half-Life 2 benchmark debug information");
    EXPECT_EQ(log[5], "BenchPath: " + bench);
    for (std::size_t i = 0; i < kDebugLabels.size(); ++i)
        EXPECT_EQ(log[10 + i].rfind(kDebugLabels[i], 0), 0u) << log[10 + i];
    // The close button's save is not a vantor-cli path: the last save point
    // is the run's end.
    EXPECT_EQ(log.back(), std::string(55, '-'));
}
