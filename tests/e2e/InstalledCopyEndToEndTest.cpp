// The program installed in a folder the user cannot write (as a package puts
// it under /usr/lib/vantor with a link on PATH): a run, a debug run and the
// hardware report work, the reports go to the user's documents folder, the
// debug log and the hardware report to the user's data folder, and nothing in
// the program's folder changes. The same copy in a folder the user can write
// (a portable copy) keeps everything beside itself. As root, where permission
// bits do not bind, vantor-cli runs through setpriv without the capability to
// override them.

#include "platform/TextFile.h"
#include "tests/support/CliProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace vantor;
using namespace vantor::test;
namespace fs = std::filesystem;

namespace {

// Root, for whom permission bits do not bind (these tests skip on Windows).
bool asRoot() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

// Every file below folder (relative name -> bytes), folders as "name/".
std::map<std::string, std::string> tree(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string rel = fs::relative(e.path(), folder).string();
        files[e.is_directory() ? rel + "/" : rel] = e.is_regular_file() ? readFile(e.path().string()) : "";
    }
    return files;
}

class InstalledCopy : public ::testing::Test {
protected:
    void SetUp() override {
        if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "POSIX permissions and Linux Steam's folders";
        const fs::path sim = VANTOR_SIM_DIR, bin = VANTOR_BIN_DIR;
        fs::create_directories(game() + "hl2/cfg");
        fs::copy_file(sim / "steam.exe", steam() + "steam.exe");
        fs::copy_file(sim / "hl2.exe", game() + "hl2_linux");
        writeFile(steam() + "steam.sh", "#!/bin/sh\nexit 0\n");
        fs::permissions(steam() + "steam.sh", fs::perms::owner_all);
        fs::create_directories(dir / "bin");
        fs::create_symlink(steam() + "steam.exe", dir / "bin/steam");
        // The program's folder as the package installs it, and its link on PATH.
        fs::create_directories(prog());
        for (const char* file : {"vantor-cli", "vantor-batch", "dxdiag.exe"}) fs::copy_file(bin / file, prog() + file);
        for (const char* folder : {"Demos", "Others", "Pictures"})
            fs::copy(bin / folder, prog() + folder, fs::copy_options::recursive);
        fs::copy_file(bin / "help.htm", prog() + "help.htm");
        fs::create_symlink(prog() + "vantor-cli", dir / "bin/vantor-cli");
        ASSERT_TRUE(client.start(steam() + "steam.exe", {}, {}, "/dev/null", "/dev/null"));
    }

    void TearDown() override {
        if (!prog().empty() && fs::exists(prog())) setWritable(true);
    }

    // The program's folder and everything in it read-only, or writable again.
    void setWritable(bool writable) {
        const auto folderMode = writable ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                         : fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(prog(), folderMode);
        for (auto& e : fs::recursive_directory_iterator(prog()))
            if (e.is_directory() && !e.is_symlink()) fs::permissions(e.path(), folderMode);
    }

    // Runs vantor-cli through its link on PATH; as root without the capability
    // to write where the permission bits forbid it. Empty when that cannot be.
    std::unique_ptr<Cli> cli(std::vector<std::string> args, const std::string& name) {
        std::string program = dir / "bin/vantor-cli";
        if (asRoot()) {
            if (!fs::exists("/usr/bin/setpriv")) return nullptr;
            args.insert(args.begin(), {"--bounding-set=-dac_override,-dac_read_search", "--", program});
            program = "/usr/bin/setpriv";
        }
        return std::make_unique<Cli>(
            dir.path(), "", std::move(args),
            std::vector<std::string>{"VANTOR_REGISTRY=", "HOME=" + home(), "XDG_CONFIG_HOME=" + dir / "config",
                                     "PATH=" + dir / "bin" + ":/usr/bin:/bin", "VANTOR_SIM_PLAY_MS=250",
                                     "VANTOR_SIM_START_DELAY_MS=30"},
            name, program);
    }

    std::string home() const { return dir / "home/"; }
    std::string steam() const { return home() + ".local/share/Steam/"; }
    std::string game() const { return steam() + "steamapps/common/Half-Life 2/"; }
    std::string prog() const { return dir / "usr/lib/vantor/"; }
    std::string data() const { return dir / "data/Quorvane/Vantor/"; }  // XDG_DATA_HOME of Cli

    TempDir dir;
    ChildProcess client;
};

// The report's path: vantor-cli's last line.
std::string reportOf(const std::string& out) {
    std::smatch m;
    if (!std::regex_search(out, m, std::regex("\n([^\n]*\\.htm)\n$"))) return {};
    return m[1].str();
}

TEST_F(InstalledCopy, AReadOnlyProgramFolderSendsReportsAndLogsToTheUsersFolders) {
    setWritable(false);
    const auto before = tree(prog());
    if (!asRoot() && std::ofstream(prog() + "probe")) GTEST_SKIP() << "the permissions do not bind here";

    auto run = cli({"run", "--resolution", "1280x720"}, "run");
    if (!run) GTEST_SKIP() << "root, and no setpriv to run without the override";
    ASSERT_EQ(run->wait(60s), 0) << run->out() << run->err();
    const std::string report = reportOf(run->out());
    EXPECT_EQ(report.rfind(home() + "Documents/Vantor/result_", 0), 0u) << run->out();
    EXPECT_TRUE(fs::exists(report)) << report;
    // The report's logo is the installed one.
    EXPECT_NE(readFile(report).find("<img src=\"" + prog() + "Others/logo1.gif\""), std::string::npos);

    // Debug mode: the hardware-report tool beside the program writes its report
    // into the data folder, the log is saved there.
    auto debug = cli({"run", "--debug"}, "debug");
    ASSERT_EQ(debug->wait(60s), 0) << debug->out() << debug->err();
    EXPECT_EQ(reportOf(debug->out()).rfind(home() + "Documents/Vantor/result_", 0), 0u) << debug->out();
    std::vector<std::string> log;
    ASSERT_TRUE(readTextLines(data() + "debuginfo.txt", log));
    ASSERT_GT(log.size(), 10u);
    EXPECT_EQ(log[5], "BenchPath: " + prog());
    EXPECT_FALSE(fs::exists(data() + "dxinfo.txt"));  // scanned and removed

    auto hwinfo = cli({"hwinfo"}, "hwinfo");
    ASSERT_EQ(hwinfo->wait(60s), 0) << hwinfo->out() << hwinfo->err();

    EXPECT_EQ(tree(prog()), before);
}

TEST_F(InstalledCopy, AWritableProgramFolderKeepsEverythingBesideIt) {
    auto run = cli({"run", "--debug"}, "run");
    if (!run) GTEST_SKIP() << "root, and no setpriv";
    ASSERT_EQ(run->wait(60s), 0) << run->out() << run->err();
    EXPECT_EQ(reportOf(run->out()).rfind(prog() + "Benchmark/result_", 0), 0u) << run->out();
    EXPECT_TRUE(fs::exists(prog() + "debuginfo.txt"));
    EXPECT_FALSE(fs::exists(home() + "Documents"));
    EXPECT_FALSE(fs::exists(data() + "debuginfo.txt"));
}

}  // namespace
