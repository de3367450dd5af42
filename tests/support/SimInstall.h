#pragma once
// A simulated Steam + Half-Life 2 installation in a temporary folder, laid out
// as make-sim-install lays it out (tools/sim/SimLayout.h), with the Steam client started on demand. Every
// program it started, and every simulated game under its folder, is ended with it.

#include "platform/OsFamily.h"
#include "platform/ProcessList.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimLayout.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vantor::test {

// The process list limited to programs under one folder (so tests running side
// by side do not see each other's games); names are file names as usual.
class ScopedProcesses : public ProcessQuery {
public:
    explicit ScopedProcesses(std::string root) : root_(std::move(root)) {}
    bool list(std::vector<ProcessEntry>& out) override {
        std::vector<ProcessEntry> all;
        if (!ListRunningProcesses(all, true)) return false;
        for (auto& p : all) {
            if (p.name.rfind(root_, 0) != 0) continue;
            out.push_back({p.name.substr(p.name.find_last_of("/\\") + 1), p.id});
        }
        return true;
    }
    // Ids of the programs under the folder.
    std::vector<std::uint32_t> ids() {
        std::vector<ProcessEntry> mine;
        list(mine);
        std::vector<std::uint32_t> out;
        for (auto& p : mine) out.push_back(p.id);
        return out;
    }

private:
    std::string root_;
};

// The installation's layout: Steam's first one (the game in an account folder of
// the Steam folder, the first engine's result file), or today's
// (--today: the game in a second library named by the library list, under
// today's program name, today's result file).
enum class SimLayout { Accounts, Today };

class SimInstall {
public:
    explicit SimInstall(bool userFiles = true, SimLayout layout = SimLayout::Accounts)
        : processes(dir.path()), layout_(layout) {
        sim::SimLayoutOptions options;
        options.dir = dir.path();
        options.bin = VANTOR_SIM_DIR;
        options.userFiles = userFiles;
        options.today = layout == SimLayout::Today;
        const auto laidOut = sim::layOutSimInstall(options);
        error = laidOut.error;
        // The program's own folder with the demos the build places beside it.
        std::error_code ec;
        std::filesystem::create_directories(bench(), ec);
        if (!ec)
            std::filesystem::copy(
                std::string(VANTOR_BIN_DIR) + "/Demos", bench() + "Demos",
                std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
        ok = laidOut.ok && !ec;
        if (ec) error = "cannot copy the demos: " + ec.message();
    }
    ~SimInstall() { endAll(); }

    // Paths in the installation, in the system's separators, folders with a
    // trailing one.
    std::string steam() const { return dir / "Steam/"; }
    std::string hl2() const {
        return dir / (layout_ == SimLayout::Today ? "Library2/steamapps/common/" : "Steam/SteamApps/player1/");
    }
    std::string game() const { return hl2() + native(layout_ == SimLayout::Today ? "Half-Life 2/" : "half-life 2/"); }
    std::string cfg() const { return game() + native("hl2/cfg/"); }
    std::string results() const { return game() + native("hl2/"); }
    // The result file under the name its engine gives it.
    std::string resultFile() const {
        return results() + (layout_ == SimLayout::Today ? "SourceBench.csv" : "sourcebench.csv");
    }
    std::string bench() const { return dir / "bench/"; }
    std::string hive() const { return dir / "registry.reg"; }

    // Writes the simulator's knob file (name=value lines).
    void knobs(const std::string& lines) { writeFile(steam() + "vantor-sim.cfg", lines); }

    void startSteam() {
        auto steamProcess = std::make_unique<ChildProcess>();
        const std::string none = kThisOs == OsFamily::Windows ? "NUL" : "/dev/null";
        if (steamProcess->start(steam() + "steam.exe", {}, {}, none, none)) started_.push_back(std::move(steamProcess));
    }

    // Ends every program under the folder and the ones this object started.
    void endAll() {
        for (auto id : processes.ids()) killProcess(id);
        started_.clear();  // each is killed and waited for
    }

    TempDir dir;
    ScopedProcesses processes;
    bool ok = false;
    std::string error;  // why the layout failed, when !ok

private:
    static std::string native(std::string rel) { return nativePath(std::move(rel)); }

    SimLayout layout_;
    std::vector<std::unique_ptr<ChildProcess>> started_;
};

}  // namespace vantor::test
