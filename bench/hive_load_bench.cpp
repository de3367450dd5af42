// hive_load_bench FILE [--cpu]: loads the settings hive FILE as start-up does and
// looks up every value of its first key by name; prints the number of values
// found, and with --cpu also the CPU time of load, lookups and release in ms.
// bench/hive_load.sh compares it with cat(1) reading the same file.

#include "platform/RegistryHive.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <time.h>
#include <optional>

namespace {

double cpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const bool cpu = argc == 3 && std::strcmp(argv[2], "--cpu") == 0;
    if (argc != 2 && !cpu) {
        std::fprintf(stderr, "usage: %s FILE [--cpu]\n", argv[0]);
        return 2;
    }
    const double start = cpuMs();
    unsigned long long found = 0;
    {
        std::optional<vantor::RegistryHive> hive(std::in_place, argv[1]);
        if (hive->damaged()) {
            std::fprintf(stderr, "%s: damaged (%s)\n", argv[1], hive->damageReason().c_str());
            return 1;
        }
        const auto& tree = hive->contents();
        if (!tree.sections.empty()) {
            const auto& first = tree.sections.front();
            const std::string key = first.header.substr(first.header.find('\\'));
            for (const auto& e : first.entries) {
                std::string name = e.name;
                for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                found += hive->query(vantor::RegRoot::LocalMachine, key, name).kind != vantor::RegValueKind::Absent;
            }
        }
    }
    if (cpu)
        std::printf("%llu %.3f\n", found, cpuMs() - start);
    else
        std::printf("%llu\n", found);
    return 0;
}
