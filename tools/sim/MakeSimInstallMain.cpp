// make-sim-install: lays out a simulated Steam installation with Half-Life 2
// (SimLayout.h) and prints the path to use as VANTOR_REGISTRY.
//
//   make-sim-install DIR [--accounts N | --today] [--no-user-files] [--bin BUILD_SIM_DIR]
//
// The programs come from BUILD_SIM_DIR, by default this program's own folder.

#include "SimLayout.h"
#include "SimSystem.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: make-sim-install DIR [--accounts N | --today] [--no-user-files] [--bin BUILD_SIM_DIR]\n");
    return 2;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "make-sim-install: %s\n", text.c_str());
    return 1;
}

// 1..99, digits only.
bool parseAccounts(const std::string& text, int& out) {
    if (text.empty() || text.size() > 2 || text[0] == '0') return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = std::stoi(text);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vantor::sim::SimLayoutOptions options;
    options.bin = vantor::sim::folderOf(vantor::sim::selfPath(argv[0]));
    bool accountsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--accounts" || arg == "--bin") {
            if (i + 1 >= argc) return usage();
            const std::string value = argv[++i];
            if (arg == "--bin") {
                options.bin = value;
            } else if (!parseAccounts(value, options.accounts)) {
                return fail("--accounts wants a number from 1 to 99, not '" + value + "'");
            } else {
                accountsGiven = true;
            }
        } else if (arg == "--today") {
            options.today = true;
        } else if (arg == "--no-user-files") {
            options.userFiles = false;
        } else if (arg == "-h" || arg == "--help") {
            return usage();
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "make-sim-install: unknown option %s\n", arg.c_str());
            return usage();
        } else if (!options.dir.empty()) {
            return usage();
        } else {
            options.dir = arg;
        }
    }
    if (options.dir.empty()) return usage();
    if (options.today && accountsGiven) return fail("--today has no account folders: leave out --accounts");

    const auto result = vantor::sim::layOutSimInstall(options);
    if (!result.ok) return fail(result.error);
    const std::string root = result.root.substr(0, result.root.size() - 1);  // without the separator
    std::fprintf(stderr, "make-sim-install: simulated installation in %s\n", root.c_str());
    std::printf("%s\n", result.hive.c_str());
    return 0;
}
