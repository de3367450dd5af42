// process_poll_bench [N]: N polls as the run makes them every 2 seconds (list
// the running processes, join the names, look for "steam.exe" and "HL2.EXE"),
// inside one process; prints the median time of the listing and of the search.
// bench/processes.sh runs it after comparing vantor-cli with ps.

#include "platform/ProcessList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int polls = argc > 1 ? std::atoi(argv[1]) : 200;
    if (polls <= 0) {
        std::fprintf(stderr, "usage: %s [N]\n", argv[0]);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<double> listing, search;
    std::vector<vantor::ProcessEntry> list;
    std::size_t entries = 0;
    for (int i = 0; i < polls; ++i) {
        const auto t0 = Clock::now();
        list.clear();
        if (!vantor::ListRunningProcesses(list, false)) {
            std::fprintf(stderr, "process_poll_bench: the process list cannot be read\n");
            return 1;
        }
        const auto t1 = Clock::now();
        std::string text;
        for (const auto& e : list) {
            text += e.name;
            text += '\n';
        }
        vantor::ContainsIgnoringCase("steam.exe", text);
        vantor::ContainsIgnoringCase("HL2.EXE", text);
        const auto t2 = Clock::now();
        listing.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        search.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        entries = list.size();
    }
    std::printf("poll in one process (%zu processes, %d polls): listing %.3f ms, search %.3f ms (median)\n", entries,
                polls, median(listing), median(search));
    return 0;
}
