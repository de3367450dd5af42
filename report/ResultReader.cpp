#include "report/ResultReader.h"

#include "core/GameFiles.h"
#include "platform/FileOps.h"
#include "platform/TextFile.h"
#include "report/TimedemoTable.h"

#include <algorithm>

namespace vantor {
namespace {

// The width and height of the pass under way; false outside a pass.
bool passResolution(const RunState& run, std::string& width, std::string& height, std::string& text) {
    // A size beyond the classic six (or a classic one) set by the launch.
    if (run.CurrentHeight > 0 && !run.CurrentWidth.empty() &&
        run.CurrentWidth.find_first_not_of("0123456789") == std::string::npos) {
        width = run.CurrentWidth;
        height = std::to_string(run.CurrentHeight);
        text = width + "\xC3\x97" + height;
        return true;
    }
    for (int i = 0; i < kResolutionCount; ++i) {
        if (run.CurrentWidth == std::to_string(kWidths[i])) {
            width = std::to_string(kWidths[i]);
            height = std::to_string(kHeights[i]);
            text = resolutionText(i);
            return true;
        }
    }
    return false;
}

}  // namespace

bool splitFirstLines(std::string_view bytes, bool more, std::vector<std::string>& lines) {
    lines.clear();
    std::size_t start = 0;
    while (lines.size() < 4) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            // The rest: the last line of the file, or a line beyond the bound.
            if (more || bytes.size() - start > ResultReader::kTimedemoLineBound) return false;
            if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
            return true;
        }
        if (end - start > ResultReader::kTimedemoLineBound) return false;
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
        if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return true;
}

std::string extractScore(const std::string& fourthLine) {
    // The third field: the text between the second and the third comma. With
    // fewer than three commas there is no third field and the score is empty.
    const auto first = fourthLine.find(',');
    if (first == std::string::npos) return {};
    const auto second = fourthLine.find(',', first + 1);
    if (second == std::string::npos) return {};
    const auto third = fourthLine.find(',', second + 1);
    if (third == std::string::npos) return {};
    return fourthLine.substr(second + 1, third - second - 1);
}

PassResult ResultReader::ReadPassResult() {
    const std::string source = resultFileIn(ctx_.paths.ResultsPath);
    const std::string copy = ctx_.paths.ResultsPath + kResultCopy;

    if (!fileExists(source)) {
        ctx_.log.append(std::string(kErrorPrefix) + "Source1 not exist.");
        return {};
    }

    const bool copied = copyFile(source, copy);
    ctx_.log.append("Source1 exist.");
    if (copied && fileExists(copy)) ctx_.log.append("Source1 conversion successful.");

    // A copy that failed is never read: a copy left over from an earlier pass
    // would give that pass's score.
    resultLines_.clear();
    if (copied) {
        if (auto today = readTodayShape(copy)) return *today;
    }
    // Only the four lines the first shape needs are read, each within the bound.
    std::string head;
    std::uint64_t size = 0;
    if (!copied || !readFileRange(copy, 0, kFirstShapeBytes, head, size)) {
        resultLines_.clear();
        ctx_.log.append(std::string(kErrorHandlingPrefix) + "Source2 loading is impossible.");
        return {};
    }
    ctx_.log.append("Source2 loading, editing.");

    std::vector<std::string> lines;
    if (!splitFirstLines(head, size > head.size(), lines)) {
        ctx_.log.append(std::string(kErrorPrefix) + "Source2 line is too long.");
        return {};
    }
    if (lines.size() < 4) {
        ctx_.log.append(std::string(kErrorPrefix) + "Source2 has fewer than four lines.");
        return {};
    }
    // The three header lines are never looked at.
    resultLines_ = {fromWindows1252(lines[3])};

    PassResult result;
    result.found = true;
    result.score = extractScore(resultLines_.front());
    ctx_.log.append("Result: " + result.score + " FPS");
    return result;
}

std::optional<PassResult> ResultReader::readTodayShape(const std::string& copy) {
    // The header: the first line, read within the bound.
    std::string head;
    std::uint64_t size = 0;
    if (!readFileRange(copy, 0, kTimedemoLineBound, head, size)) return std::nullopt;
    // Lines end at CR LF, LF or a bare CR.
    std::size_t headerBytes = head.find_first_of("\r\n");
    if (headerBytes == std::string::npos) {
        if (size > head.size()) return std::nullopt;
        headerBytes = head.size();
    }
    const std::string header = head.substr(0, headerBytes);
    const auto columns = parseTimedemoHeader(header);
    if (!columns) return std::nullopt;
    std::uint64_t rowsStart = headerBytes + 1;
    if (headerBytes + 1 < head.size() && head[headerBytes] == '\r' && head[headerBytes + 1] == '\n') ++rowsStart;
    rowsStart = std::min<std::uint64_t>(rowsStart, size);

    ctx_.log.append("Source2 loading, editing.");
    resultLines_.push_back(fromWindows1252(header));
    auto fail = [this](const std::string& what) {
        ctx_.log.append(std::string(kErrorPrefix) + what);
        return PassResult{};
    };

    // The last row: the engine appends one per timed demo, so the newest is at
    // the end. Only the last kTimedemoLineBound bytes are read.
    const std::uint64_t tailStart =
        std::max<std::uint64_t>(rowsStart, size > kTimedemoLineBound ? size - kTimedemoLineBound : 0);
    std::string tail;
    std::uint64_t ignored = 0;
    if (!readFileRange(copy, tailStart, kTimedemoLineBound, tail, ignored)) {
        ctx_.log.append(std::string(kErrorHandlingPrefix) + "Source2 loading is impossible.");
        return PassResult{};
    }
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) tail.pop_back();
    if (tail.empty()) return fail("Source2 holds no result row.");
    const auto lastBreak = tail.find_last_of("\r\n");
    if (lastBreak == std::string::npos && tailStart > rowsStart) return fail("Source2 result row is too long.");
    std::string row = fromWindows1252(lastBreak == std::string::npos ? tail : tail.substr(lastBreak + 1));
    resultLines_.push_back(row);

    const auto fields = splitTimedemoFields(row);
    const int fps = columns->of(TimedemoColumn::Fps);
    const int width = columns->of(TimedemoColumn::Width);
    const int height = columns->of(TimedemoColumn::Height);
    if (static_cast<std::size_t>(std::max({fps, width, height})) >= fields.size())
        return fail("Source2 result row has too few fields.");

    // A row for another resolution is another pass's result (a window the
    // system did not grant, a leftover row), not this one's.
    std::string passWidth, passHeight, passText;
    if (passResolution(ctx_.run, passWidth, passHeight, passText) &&
        (fields[width] != passWidth || fields[height] != passHeight))
        return fail("Source2 holds the result of " + fields[width] + "×" + fields[height] + ", not of " + passText +
                    ".");

    PassResult result;
    result.found = true;
    result.score = fields[fps];
    ctx_.log.append("Result: " + result.score + " FPS");
    return result;
}

void ResultReader::RemovePassFiles() {
    auto remove = [this](const std::string& path, const char* line) {
        if (!fileExists(path)) return;
        deleteFile(path);
        ctx_.log.append(line);
    };
    remove(resultFileIn(ctx_.paths.ResultsPath), "Source1 deleted.");
    remove(ctx_.paths.ResultsPath + kResultCopy, "Source2 deleted.");
    remove(ctx_.paths.SteamPath + kLaunchBatch, "HL2B deleted.");
    remove(ctx_.paths.SteamPath + kSteamBatch, "SteamB deleted.");
}

}  // namespace vantor
