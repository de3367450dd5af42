// Upgrader3.exe, the replacement program: started by the program after an
// update's files have been downloaded and checked, as
//
//   Upgrader3.exe PROGRAM +RESTARTARG
//
// (RESTARTARG ends in "0" for a self-upgrade, "1" for an external setup). It
// waits until the program has ended, puts the downloaded files in place as the
// program's upgrade list says, and starts the program again with RESTARTARG.
// Killed at any moment, it leaves every file old or new; the program's next
// start finishes the rest.

#include "platform/FileOps.h"
#include "platform/ProgramFile.h"
#include "update/UpgradeList.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace vantor;

namespace {

// How long the program may take to close after it started this one.
constexpr std::chrono::minutes kProgramEndBound{2};
// How long an external setup program may run.
constexpr std::chrono::hours kSetupBound{1};

constexpr const char* kInformation =
    "Upgrader3: puts a downloaded update of the Quorvane Half-Life 2 benchmark in place.\n"
    "The program starts it by itself after an update; there is nothing to do by hand.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kInformation, stdout);
        return 0;
    }
    std::string joined;
    for (int i = 1; i < argc; ++i) joined += (i > 1 ? " " : "") + std::string(argv[i]);
    const std::string last = argv[argc - 1];
    const bool externalSetup = !last.empty() && last.back() == '1';
    const auto plus = joined.rfind(" +");
    if (plus == std::string::npos) {
        std::fputs(kInformation, stderr);
        return 2;
    }
    const std::string program = joined.substr(0, plus);
    const std::string restartArg = joined.substr(plus + 2);
    const auto sep = program.find_last_of(kPathSep);
    if (sep == std::string::npos) {
        std::fprintf(stderr, "Upgrader3: %s is not a full path\n", program.c_str());
        return 2;
    }
    const std::string folder = program.substr(0, sep + 1);

    if (fileExists(program) && !waitUntilProgramEnded(program, kProgramEndBound)) {
        std::fprintf(stderr, "Upgrader3: %s did not end; its next start finishes the update\n", program.c_str());
        return 1;
    }

    UpgradeApplied applied;
    {
        FileLock lock(folder + kUpgradeListName);
        if (lock.locked()) {
            if (auto plan = UpgradeList::read(folder))
                applied = UpgradeList::apply(folder, *plan);
            else
                UpgradeList::removeDownloads(folder);  // nothing checked: nothing is used
        }
    }
    if (!applied.ok) std::fprintf(stderr, "Upgrader3: %s\n", applied.error.c_str());

    std::string error;
    if (externalSetup && !applied.setupProgram.empty() && fileExists(applied.setupProgram)) {
        if (!runAndWait(applied.setupProgram, {restartArg}, kSetupBound))
            std::fprintf(stderr, "Upgrader3: the setup program %s did not run to its end\n",
                         applied.setupProgram.c_str());
        deleteFile(applied.setupProgram);
    }
    if (!startDetached(program, {restartArg}, &error)) {
        std::fprintf(stderr, "Upgrader3: %s cannot be started: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    return applied.ok ? 0 : 1;
}
