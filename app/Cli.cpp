#include "app/Cli.h"

#include "platform/ProcessList.h"

#include <cstdio>
#include <string>

namespace vantor {
namespace {

constexpr const char* kUsage =
    "usage: vantor-cli discover\n"
    "       vantor-cli processes\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int processesCommand() {
    std::vector<ProcessEntry> list;
    if (!ListRunningProcesses(list, false)) {
        std::fputs("vantor-cli: the process list cannot be read\n", stderr);
        return 1;
    }
    std::string out;
    out.reserve(list.size() * 24);
    for (const auto& p : list) {
        out += std::to_string(p.id);
        out += ' ';
        out += p.name;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

int cliMain(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    if (cmd == "processes" && argc == 2) return processesCommand();
    return usage();
}

}  // namespace vantor
