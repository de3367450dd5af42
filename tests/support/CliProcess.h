#pragma once
// vantor-cli as a user starts it: a separate process with its own environment.

#include "platform/OsFamily.h"
#include "tests/support/Portable.h"
#include "tests/support/SanitizerEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace vantor::test {

using namespace std::chrono_literals;

// vantor-cli started with the arguments, a clean environment (the hive, short
// timings, no shell open, a short game, process checks limited to dir, so that
// other tests' Steam and games do not count, and the sanitizers' settings) and
// stdout / stderr in files of dir.
// program: another copy of vantor-cli to start (its folder is the program's
// folder); the build's by default.
class Cli {
public:
    Cli(const std::string& dir, const std::string& hive, std::vector<std::string> args,
        const std::vector<std::string>& extraEnv = {}, const std::string& name = "cli", std::string program = {})
        : out_(dir + name + ".out"), err_(dir + name + ".err") {
        const std::string exe = program.empty() ? std::string(VANTOR_BIN_DIR) + "/vantor-cli" + kExeSuffix : program;
        std::vector<std::string> env = {
            "VANTOR_REGISTRY=" + hive,       "VANTOR_TIME_SCALE=20",
            "VANTOR_NO_SHELL_OPEN=1",        "HOME=" + dir,
            "XDG_DATA_HOME=" + dir + "data", "VANTOR_PROCESS_ROOT=" + std::filesystem::canonical(dir).string()};
        for (auto& e : systemEnvironment()) env.push_back(e);
        if (kThisOs == OsFamily::Windows) env.push_back("USERPROFILE=" + dir);
        const auto sanitizers = sanitizerEnvironment();
        env.insert(env.end(), sanitizers.begin(), sanitizers.end());
        // A variable of extraEnv replaces the default of the same name.
        for (const auto& e : extraEnv) {
            const std::string name = e.substr(0, e.find('=') + 1);
            std::erase_if(env, [&](const std::string& d) { return d.rfind(name, 0) == 0; });
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        if (kThisOs == OsFamily::Windows) {  // the user's data folder there
            std::erase_if(env, [](const std::string& d) { return d.rfind("LOCALAPPDATA=", 0) == 0; });
            const auto data = std::find_if(env.begin(), env.end(),
                                           [](const std::string& d) { return d.rfind("XDG_DATA_HOME=", 0) == 0; });
            if (data != env.end()) env.push_back("LOCALAPPDATA=" + data->substr(14));
        }
        started_ = child_.start(exe, args, env, out_, err_);
    }

    bool started() const { return started_; }
    // True once the program has ended.
    bool ended() { return child_.ended(); }
    // Ends the program at once, as a crash or a kill would.
    void killNow() { child_.kill(); }
    // As Ctrl+C at the terminal.
    void interrupt() { child_.interrupt(); }
    // The program's process id.
    std::uint32_t id() const { return child_.id(); }
    // The program's text with its line ends as '\n' (the C runtime writes CR LF on Windows).
    std::string out() const { return lines(readFile(out_)); }
    std::string err() const { return lines(readFile(err_)); }
    // The bytes the program wrote to stdout, unchanged.
    std::string outBytes() const { return readFile(out_); }

    // The exit code; -1 when the program was killed or did not end within the
    // limit (it is killed then).
    int wait(std::chrono::seconds limit = 30s) {
        if (!child_.waitFor(static_cast<int>(std::chrono::milliseconds(limit).count()))) {
            child_.kill();
            ADD_FAILURE() << "vantor-cli did not end within " << limit.count() << " s\n" << out() << err();
            return -1;
        }
        return child_.exitCode();
    }

private:
    static std::string lines(std::string text) {
        if (kThisOs == OsFamily::Windows)
            for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
        return text;
    }
    std::string out_, err_;
    ChildProcess child_;
    bool started_ = false;
};

}  // namespace vantor::test
