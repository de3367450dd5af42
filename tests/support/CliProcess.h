#pragma once
// vantor-cli as a user starts it: a separate process with its own environment.

#include "tests/support/SanitizerEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

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
        const std::string exe = program.empty() ? std::string(VANTOR_BIN_DIR) + "/vantor-cli" : program;
        std::vector<std::string> env = {"VANTOR_REGISTRY=" + hive,
                                        "VANTOR_TIME_SCALE=20",
                                        "VANTOR_NO_SHELL_OPEN=1",
                                        "PATH=/usr/bin:/bin",
                                        "HOME=" + dir,
                                        "XDG_DATA_HOME=" + dir + "data",
                                        "VANTOR_PROCESS_ROOT=" + std::filesystem::canonical(dir).string()};
        const auto sanitizers = sanitizerEnvironment();
        env.insert(env.end(), sanitizers.begin(), sanitizers.end());
        // A variable of extraEnv replaces the default of the same name.
        for (const auto& e : extraEnv) {
            const std::string name = e.substr(0, e.find('=') + 1);
            std::erase_if(env, [&](const std::string& d) { return d.rfind(name, 0) == 0; });
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        args.insert(args.begin(), exe);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Cli() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    // True once the program has ended (it is reaped then).
    bool ended() {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = 0;
        return pid_ == 0;
    }
    // Ends the program at once, as a crash or a kill would.
    void killNow() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    void signal(int sig) const { ::kill(pid_, sig); }
    std::string out() const { return readFile(out_); }
    std::string err() const { return readFile(err_); }

    // The exit code; -1 when the program was killed by a signal or did not end
    // within the limit (it is killed then).
    int wait(std::chrono::seconds limit = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = 0;
                ADD_FAILURE() << "vantor-cli did not end within " << limit.count() << " s\n" << out() << err();
                return -1;
            }
            std::this_thread::sleep_for(2ms);
        }
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string out_, err_;
    pid_t pid_ = 0;
};

}  // namespace vantor::test
