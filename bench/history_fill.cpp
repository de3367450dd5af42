// Writes a run history of N plausible runs for bench/history.sh, or prints the
// query behind `vantor-cli history`.
//
//   history_fill FILE N     N runs (1 to 3 passes at 3 to 6 resolutions each) into FILE
//   history_fill --query    the history list's SQL
#include "history/HistoryStore.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>

using namespace vantor;

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--query") {
        std::puts(HistoryStore::listQuery());
        return 0;
    }
    if (argc != 3) {
        std::fputs("usage: history_fill FILE N | history_fill --query\n", stderr);
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    const int widths[] = {640, 800, 1024, 1280, 1600, 2048};
    const int heights[] = {480, 600, 768, 1024, 1200, 1536};
    const char* demos[] = {"Quorvane - Coast", "Quorvane - Canals", "Quorvane - Town"};
    std::mt19937 random(220);
    std::uniform_real_distribution<double> noise(0.97, 1.03);
    std::vector<StoredRun> runs;
    for (long i = 0; i < count; ++i) {
        StoredRun r;
        r.time = "2026-12-11T00:40:12Z";
        r.started = "12/11/26 01:40:12";
        r.version = "1.3";
        r.demo = demos[i % 3];
        r.status = "The benchmarking is successful.";
        r.report = "/home/user/Reports/result_12_11_26_01_40_12.htm";
        r.settings = {
            {"demo", r.demo},         {"detail", "Maximum"},  {"antialiasing", "4×"}, {"filtering", "Anisotropic 8×"},
            {"directx", "DirectX 9"}, {"heapsize", "256 MB"}, {"refresh", "60 Hz"},   {"fastZ", "Enabled"},
            {"note", "bench"},        {"debug", "no"}};
        r.hardware = {{"CPU", "Test CPU 3 GHz"}, {"VGA", "Test VGA"}};
        const int first = static_cast<int>(i % 3), last = first + 3 + static_cast<int>(i % 4);
        const int passes = 1 + static_cast<int>(i % 3);
        for (int res = first; res < last && res < 6; ++res)
            for (int p = 0; p < passes; ++p)
                r.passes.push_back(
                    {widths[res], heights[res], 300.0 / (res + 1) * noise(random), 12.0 * noise(random)});
        runs.push_back(std::move(r));
    }
    try {
        HistoryStore store(argv[1]);
        store.addAll(runs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "history_fill: %s\n", e.what());
        return 1;
    }
    return 0;
}
