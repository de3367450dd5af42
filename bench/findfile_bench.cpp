// findfile_bench DIR MASK: one TFindFile search of DIR and its subfolders for
// MASK; prints the number of matching files. bench/findfile.sh compares it with find.

#include "platform/FindFile.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR MASK\n", argv[0]);
        return 2;
    }
    vantor::TFindFile finder;
    finder.Criteria.Files.Location = argv[1];
    finder.Criteria.Files.FileName = argv[2];
    unsigned long long matches = 0;
    finder.OnFileMatch = [&matches](vantor::TFindFile&, const std::string&, const vantor::TFileInfo&) { ++matches; };
    finder.Search();
    std::printf("%llu\n", matches);
    return 0;
}
