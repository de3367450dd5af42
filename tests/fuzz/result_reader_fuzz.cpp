// The result reader on any file in the result file's place, in both shapes:
// it never reads past its bounds, and a score it finds is one line's field.

#include "core/GameFiles.h"
#include "platform/MemoryRegistry.h"
#include "platform/PlainEventLoop.h"
#include "report/ResultReader.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeProcesses.h"
#include "tests/support/FakeView.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string results = fuzz::scratch() + "results/";
    std::filesystem::remove_all(results);
    // The first byte picks the pass under way (or none); the rest is the file.
    const int pass = size > 0 ? data[0] % (kResolutionCount + 1) : kResolutionCount;
    if (size > 0) ++data, --size;
    fuzz::writeBytes(results + kResultFile, data, size);

    test::FakeView view;
    test::FakeDialogs dialogs;
    PlainEventLoop loop;
    MemoryRegistry registry;
    SettingsStore store(registry);
    DebugLog log;
    test::FakeProcesses processes;
    AppContext ctx(view, dialogs, loop, store, log, processes);
    ctx.paths.ResultsPath = results;
    if (pass < kResolutionCount) ctx.run.CurrentWidth = std::to_string(kWidths[pass]);

    ResultReader reader(ctx);
    const PassResult r = reader.ReadPassResult();
    if (r.found) {
        FUZZ_CHECK(r.score.size() <= 3 * ResultReader::kTimedemoLineBound, r.score.substr(0, 80));
        FUZZ_CHECK(r.score.find_first_of("\r\n") == std::string::npos, r.score.substr(0, 80));
    }
    FUZZ_CHECK(reader.ResultLines().size() <= 2);
    for (const auto& line : reader.ResultLines())
        FUZZ_CHECK(line.size() <= 3 * ResultReader::kTimedemoLineBound);  // UTF-8 of at most the bound's bytes
    reader.RemovePassFiles();
    return 0;
}
