#include "cli/CliHistory.h"

#include "app/RunHistory.h"
#include "history/HistoryExport.h"
#include "history/HistoryStore.h"
#include "platform/ConsoleOutput.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>

namespace vantor {
namespace {

// A run number as the user typed it: a positive decimal integer.
std::optional<std::int64_t> runNumber(const std::string& text) {
    std::int64_t id = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || ptr != text.data() + text.size() || id <= 0) return std::nullopt;
    return id;
}

int wrongRun(const std::string& text) {
    std::fprintf(stderr, "vantor-cli: '%s' is not a run number (vantor-cli history lists the runs)\n", text.c_str());
    return 2;
}

int print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// What a listing or export writes to stdout. It is held back until it is
// whole, or until it passes kHoldBack; from then on it goes out as it is made,
// so memory stays bounded whatever the history's size. A read that starts over
// (the file was found damaged on the way and kept aside) drops what was held;
// when part of the output has gone out already, it cannot be taken back: the
// command ends with an error that says the output is incomplete.
class HeldOutput {
public:
    static constexpr std::size_t kHoldBack = 8 * 1024 * 1024;

    explicit HeldOutput(bool exact) : exact_(exact) {}

    void write(std::string_view piece) {
        held_ += piece;
        if (held_.size() >= kHoldBack) send();
    }
    // Before the text is made (again).
    void restart() {
        if (sent_ > 0)
            throw HistoryError("it was found damaged after " + std::to_string(sent_) +
                               " bytes had been written; the output above is incomplete");
        held_.clear();
    }
    // The rest, and whether every write succeeded.
    bool finish() {
        send();
        return ok_ && std::fflush(stdout) == 0;
    }

private:
    void send() {
        if (held_.empty()) return;
        if (exact_)
            ok_ = writeStdoutExactly(held_) && ok_;
        else
            ok_ = std::fwrite(held_.data(), 1, held_.size(), stdout) == held_.size() && ok_;
        sent_ += held_.size();
        held_.clear();
    }

    bool exact_;  // bytes as they are (exports), else text (LF as the system writes it)
    std::string held_;
    std::size_t sent_ = 0;
    bool ok_ = true;
};

// The history list, written as it is read.
class ListingOut final : public RunStream<RunListing> {
public:
    explicit ListingOut(bool json)
        : out_(false),
          writer_(json ? HistoryListWriter::Form::Json : HistoryListWriter::Form::Text,
                  [this](std::string_view piece) { out_.write(piece); }) {}
    void start() override {
        out_.restart();
        writer_.start();
    }
    void add(const RunListing& run) override { writer_.add(run); }
    bool finish() {
        writer_.finish();
        return out_.finish();
    }

private:
    HeldOutput out_;
    HistoryListWriter writer_;
};

// Every run exported, written as it is read. The CSV columns come from the
// history itself, read first (again when the read starts over).
class ExportOut final : public RunStream<StoredRun> {
public:
    ExportOut(HistoryStore& store, bool csv)
        : store_(store),
          csv_(csv),
          out_(true),
          writer_(csv ? ExportWriter::Form::Csv : ExportWriter::Form::Json,
                  [this](std::string_view piece) { out_.write(piece); }) {}
    void start() override {
        out_.restart();
        if (csv_) {
            std::vector<std::string> settings, hardware;
            store_.valueNames(settings, hardware);
            writer_.setColumns(std::move(settings), std::move(hardware));
        }
        writer_.start();
    }
    void add(const StoredRun& run) override { writer_.add(run); }
    bool finish() {
        writer_.finish();
        return out_.finish();
    }

private:
    HistoryStore& store_;
    bool csv_;
    HeldOutput out_;
    ExportWriter writer_;
};

// Opens the history for reading; nothing (after a message) when it cannot be.
std::unique_ptr<HistoryStore> openHistory() {
    const std::string path = historyFilePath();
    if (path.empty()) {
        std::fputs("vantor-cli: no folder for the user's data is known (HOME is not set)\n", stderr);
        return nullptr;
    }
    try {
        return std::make_unique<HistoryStore>(path, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantor-cli: the history cannot be read: %s\n", e.what());
        return nullptr;
    }
}

// Reads the history with body, which returns the exit code. A file kept aside
// on the way (when opened or in the middle of the read) is told on stderr
// before anything else the command says.
template <class Body>
int readHistory(Body&& body) {
    auto store = openHistory();
    if (!store) return 1;
    bool told = false;
    auto tell = [&] {
        if (told || store->notice().empty()) return;
        std::fprintf(stderr, "vantor-cli: %s\n", store->notice().c_str());
        told = true;
    };
    try {
        tell();  // a file kept aside when it was opened, before any output
        return body(*store, tell);
    } catch (const std::exception& e) {
        tell();
        std::fprintf(stderr, "vantor-cli: the history cannot be read: %s\n", e.what());
        return 1;
    }
}

int unknownRuns(const std::vector<std::int64_t>& wanted, const std::vector<StoredRun>& found) {
    for (std::int64_t id : wanted) {
        bool there = false;
        for (const auto& r : found) there = there || r.id == id;
        if (!there) {
            std::fprintf(stderr,
                         "vantor-cli: there is no run %lld in the history (vantor-cli history lists the runs)\n",
                         static_cast<long long>(id));
            return 1;
        }
    }
    return 0;
}

}  // namespace

int historyCommand(const std::vector<std::string>& args) {
    const bool json = args.size() == 1 && args[0] == "--json";
    if (!args.empty() && !json) return kWrongHistoryArguments;
    return readHistory([&](HistoryStore& store, auto&& tell) {
        ListingOut out(json);
        store.list(out);
        tell();
        return out.finish() ? 0 : 1;
    });
}

int compareCommand(const std::vector<std::string>& args) {
    if (args.size() != 2) return kWrongHistoryArguments;
    std::vector<std::int64_t> ids;
    for (const auto& a : args) {
        const auto id = runNumber(a);
        if (!id) return wrongRun(a);
        ids.push_back(*id);
    }
    return readHistory([&](HistoryStore& store, auto&& tell) {
        const auto runs = store.runs(ids);
        tell();
        if (int code = unknownRuns(ids, runs)) return code;
        const StoredRun& first = runs.front().id == ids[0] ? runs.front() : runs.back();
        const StoredRun& second = runs.back().id == ids[1] ? runs.back() : runs.front();
        return print(comparisonText(first, second));
    });
}

int exportCommand(const std::vector<std::string>& args) {
    std::string format;
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--format" && i + 1 < args.size() && format.empty()) {
            format = args[++i];
            if (format != "csv" && format != "json") {
                std::fprintf(stderr, "vantor-cli: unknown export format '%s' (csv or json)\n", format.c_str());
                return 2;
            }
        } else if (args[i].rfind("--", 0) == 0) {
            return kWrongHistoryArguments;
        } else {
            const auto id = runNumber(args[i]);
            if (!id) return wrongRun(args[i]);
            ids.push_back(*id);
        }
    }
    if (format.empty()) return kWrongHistoryArguments;
    return readHistory([&](HistoryStore& store, auto&& tell) {
        if (ids.empty()) {
            ExportOut out(store, format == "csv");
            store.runs({}, out);
            tell();
            return out.finish() ? 0 : 1;
        }
        // The runs named, as few as were typed: read whole, checked, then written.
        const auto runs = store.runs(ids);
        tell();
        if (int code = unknownRuns(ids, runs)) return code;
        return writeStdoutExactly(format == "csv" ? exportCsv(runs) : exportJson(runs)) ? 0 : 1;
    });
}

}  // namespace vantor
