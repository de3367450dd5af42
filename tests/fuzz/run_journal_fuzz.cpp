// The run journal: whatever is in its place either does not load or loads into
// a record that saves and loads back the same; the restore plan of any record
// over an empty folder is well-formed.

#include "run/RunJournal.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string cfg = fuzz::scratch() + "cfg/";
    const std::string copy = fuzz::scratch() + "copy/";
    std::filesystem::remove_all(cfg);
    std::filesystem::remove_all(copy);
    fuzz::writeBytes(cfg + kRunJournalName, data, size);
    FUZZ_CHECK(RunJournal::present(cfg));
    const auto journal = RunJournal::load(cfg);
    if (!journal) return 0;
    std::filesystem::create_directories(copy);
    FUZZ_CHECK(journal->save(copy));
    const auto back = RunJournal::load(copy);
    FUZZ_CHECK(back && *back == *journal);
    for (const auto& step : restorePlan(*journal, cfg)) {
        FUZZ_CHECK(step.file == kValveRc || step.file == kAutoexec || step.file == kConfigCfg, step.file);
        if (step.kind == RestoreStep::Kind::MoveBack) FUZZ_CHECK(!step.backup.empty());
    }
    return 0;
}
