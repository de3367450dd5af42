#include "report/ResultReader.h"

#include "core/GameFiles.h"
#include "platform/FileOps.h"
#include "platform/TextFile.h"

namespace vantor {

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
    const std::string source = ctx_.paths.ResultsPath + kResultFile;
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
    if (!copied || !readTextLines(copy, resultLines_)) {
        resultLines_.clear();
        ctx_.log.append(std::string(kErrorHandlingPrefix) + "Source2 loading is impossible.");
        return {};
    }
    ctx_.log.append("Source2 loading, editing.");

    if (resultLines_.size() < 4) {
        ctx_.log.append(std::string(kErrorPrefix) + "Source2 has fewer than four lines.");
        return {};
    }
    // The three header lines are never looked at.
    resultLines_.erase(resultLines_.begin(), resultLines_.begin() + 3);

    PassResult result;
    result.found = true;
    result.score = extractScore(resultLines_.front());
    ctx_.log.append("Result: " + result.score + " FPS");
    return result;
}

void ResultReader::RemovePassFiles() {
    auto remove = [this](const std::string& path, const char* line) {
        if (!fileExists(path)) return;
        deleteFile(path);
        ctx_.log.append(line);
    };
    remove(ctx_.paths.ResultsPath + kResultFile, "Source1 deleted.");
    remove(ctx_.paths.ResultsPath + kResultCopy, "Source2 deleted.");
    remove(ctx_.paths.SteamPath + kLaunchBatch, "HL2B deleted.");
    remove(ctx_.paths.SteamPath + kSteamBatch, "SteamB deleted.");
}

}  // namespace vantor
