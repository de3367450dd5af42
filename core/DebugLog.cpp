#include "core/DebugLog.h"

#include "platform/TextFile.h"

namespace vantor {

bool DebugLog::save(const std::string& path) {
    auto result = writeTextFile(path, lines_);
    if (!result && !failureReported_) {
        failureReported_ = true;
        if (onSaveFailure_) onSaveFailure_("The debug log could not be saved to " + path + ": " + result.error);
    }
    return result.ok;
}

}  // namespace vantor
