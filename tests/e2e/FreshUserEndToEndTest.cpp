// A user who installs nothing but Steam and the game and starts vantor-cli for
// the first time: no settings file, Steam where Valve's package puts it
// ($HOME/.local/share/Steam, with its steam.sh and the client command on PATH),
// the game as today's Linux build (hl2_linux) in Steam's own library, the
// client running. One command reaches a result.

#include "tests/support/CliProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

using namespace vantor;
using namespace vantor::test;
namespace fs = std::filesystem;

namespace {

class FreshUser : public ::testing::Test {
protected:
    void SetUp() override {
        if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "Linux Steam's folders and its client command";
        const fs::path sim = VANTOR_SIM_DIR, bin = VANTOR_BIN_DIR;
        fs::create_directories(game() + "hl2/cfg");
        fs::copy_file(sim / "steam.exe", steam() + "steam.exe");
        fs::copy_file(sim / "hl2.exe", game() + "hl2_linux");
        writeFile(steam() + "steam.sh", "#!/bin/sh\nexit 0\n");
        fs::permissions(steam() + "steam.sh", fs::perms::owner_all);
        // The client's command on PATH, as the native package installs it.
        fs::create_directories(dir / "bin");
        fs::create_symlink(steam() + "steam.exe", dir / "bin/steam");
        // The player's own files, which the run must leave as they were.
        for (const auto& [name, bytes] :
             std::map<std::string, std::string>{{"valve.rc", "exec autoexec.cfg\r\nstuffcmds\r\n"},
                                                {"autoexec.cfg", "fps_max 300\r\n"},
                                                {"config.cfg", "sensitivity \"3.5\"\r\n"}})
            writeFile(game() + "hl2/cfg/" + name, bytes);
        // The program as installed: its own folder with the batch host and its assets.
        fs::create_directories(prog());
        for (const char* file : {"vantor-cli", "vantor-batch"}) fs::copy_file(bin / file, prog() + file);
        for (const char* folder : {"Demos", "Others"})
            fs::copy(bin / folder, prog() + folder, fs::copy_options::recursive);
        ASSERT_TRUE(client.start(steam() + "steam.exe", {}, {}, "/dev/null", "/dev/null"));
    }

    std::string home() const { return dir / "home/"; }
    std::string steam() const { return home() + ".local/share/Steam/"; }
    std::string game() const { return steam() + "steamapps/common/Half-Life 2/"; }
    std::string prog() const { return dir / "prog/"; }
    std::string settingsFile() const { return dir / "config/Quorvane/Vantor/registry.reg"; }

    Cli cli(std::vector<std::string> args, const std::string& name = "cli") {
        return Cli(dir.path(), "", std::move(args),
                   {"VANTOR_REGISTRY=", "HOME=" + home(), "XDG_CONFIG_HOME=" + dir / "config",
                    "PATH=" + dir / "bin" + ":/usr/bin:/bin", "VANTOR_SIM_PLAY_MS=250", "VANTOR_SIM_START_DELAY_MS=30"},
                   name, prog() + "vantor-cli");
    }

    TempDir dir;
    ChildProcess client;
};

TEST_F(FreshUser, OneCommandReachesAResultWithTheDefaults) {
    ASSERT_FALSE(fs::exists(settingsFile()));
    std::map<std::string, std::string> before;
    for (const char* name : {"valve.rc", "autoexec.cfg", "config.cfg"})
        before[name] = readFile(game() + "hl2/cfg/" + name);

    auto run = cli({"run", "--resolution", "1280x720"});
    ASSERT_EQ(run.wait(60s), 0) << run.out() << run.err();

    // One score line, then the report's path; no question nobody asked for.
    const std::string out = run.out();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, std::regex("\n1280\u00D7720: [0-9]+(\\.[0-9]+)? FPS\n(.*\\.htm)\n$"))) << out;
    const std::string reportPath = m[2].str();
    EXPECT_TRUE(fs::exists(reportPath)) << reportPath;
    EXPECT_EQ(run.err(), "");
    for (const auto& [name, bytes] : before) EXPECT_EQ(readFile(game() + "hl2/cfg/" + name), bytes) << name;
    // The report names every option a new user gets.
    const std::string report = readFile(reportPath);
    for (const char* shown :
         {"Detail: Maximum quality<br>", "Antialising mode: None<br>", "Filtering mode: Trilinear<br>",
          "Hardware DirectX level: DirectX 9<br>", "Heapsize: 64 MB - default<br>"})
        EXPECT_NE(report.find(shown), std::string::npos) << shown;
    EXPECT_TRUE(fs::exists(settingsFile()));
}

// The window's options for one run, and only the sizes given: nothing is stored.
TEST_F(FreshUser, OptionsForOneRunAndOnlyTheGivenSizes) {
    auto set = cli({"set", "heap-size", "256"}, "set");
    ASSERT_EQ(set.wait(), 0) << set.err();
    auto run = cli({"run", "--resolution", "1024x768", "--only", "--filtering", "aniso16x", "--antialiasing", "4x",
                    "--directx", "8.1", "--note", "first try", "--results-folder", dir / "My Reports"},
                   "run");
    ASSERT_EQ(run.wait(60s), 0) << run.out() << run.err();
    const std::string out = run.out();
    EXPECT_NE(out.find("\n1024\u00D7768: "), std::string::npos) << out;
    EXPECT_EQ(out.find("1280\u00D7720"), std::string::npos) << out;  // the default size is not played
    const std::string reportPath = out.substr(out.rfind('\n', out.size() - 2) + 1, std::string::npos);
    EXPECT_EQ(reportPath.rfind(dir / "My Reports/result_", 0), 0u) << reportPath;
    const std::string report = readFile(reportPath.substr(0, reportPath.size() - 1));
    for (const char* shown : {"Antialising mode: 4\xD7<br>", "Filtering mode: Anisotropic 16\xD7<br>",
                              "Hardware DirectX level: DirectX 8.1<br>", "Heapsize: 256 MB<br>", "first try"})
        EXPECT_NE(report.find(shown), std::string::npos) << shown;
    auto options = cli({"options"}, "options");
    ASSERT_EQ(options.wait(), 0);
    EXPECT_NE(options.out().find("filtering       trilinear (default)\n"), std::string::npos) << options.out();
    EXPECT_NE(options.out().find("heap-size       256\n"), std::string::npos) << options.out();
}

TEST(ProgramVersion, BothProgramsPrintIt) {
    for (const char* program : {"vantor-cli", "vantor"}) {
        const std::string path = std::string(VANTOR_BIN_DIR) + "/" + program + kExeSuffix;
        if (!fs::exists(path)) continue;  // a build without the window
        TempDir dir;
        Cli version(dir.path(), dir / "registry.reg", {"--version"}, {}, "version", path);
        ASSERT_EQ(version.wait(), 0) << version.err();
        EXPECT_EQ(version.out(), std::string(program) + " " + VANTOR_TEST_CURRENT_VERSION + "\n");
    }
}

TEST_F(FreshUser, TheOptionsCommandShowsTheDefaultsAndSetStoresAChoice) {
    auto options = cli({"options"}, "options");
    ASSERT_EQ(options.wait(), 0) << options.err();
    EXPECT_NE(options.out().find("filtering       trilinear (default)\n"), std::string::npos) << options.out();

    auto set = cli({"set", "filtering", "aniso16x"}, "set");
    ASSERT_EQ(set.wait(), 0) << set.err();
    EXPECT_EQ(set.out(), "filtering: aniso16x\n");
    auto again = cli({"options"}, "again");
    ASSERT_EQ(again.wait(), 0);
    EXPECT_NE(again.out().find("filtering       aniso16x\n"), std::string::npos) << again.out();
}

}  // namespace
