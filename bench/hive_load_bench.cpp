// hive_load_bench FILE: loads the settings hive FILE as start-up does and looks
// up every value of its first key by name; prints the number of values found.
// bench/hive_load.sh compares it with cat(1) reading the same file.

#include "platform/RegistryHive.h"

#include <cctype>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    vantor::RegistryHive hive(argv[1]);
    if (hive.damaged()) {
        std::fprintf(stderr, "%s: damaged (%s)\n", argv[1], hive.damageReason().c_str());
        return 1;
    }
    const auto& tree = hive.contents();
    unsigned long long found = 0;
    if (!tree.sections.empty()) {
        const auto& first = tree.sections.front();
        const std::string key = first.header.substr(first.header.find('\\'));
        for (const auto& e : first.entries) {
            std::string name = e.name;
            for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            found += hive.query(vantor::RegRoot::LocalMachine, key, name).kind != vantor::RegValueKind::Absent;
        }
    }
    std::printf("%llu\n", found);
    return 0;
}
