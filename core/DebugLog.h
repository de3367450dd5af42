#pragma once
// The program's one log: ordered plain text lines in memory that every step of
// a run appends to, written to "debuginfo.txt" at the save points in debug mode.

#include <functional>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kDebugLogFileName = "debuginfo.txt";
inline constexpr const char* kErrorPrefix = ">>> ERROR <<< ";
inline constexpr const char* kErrorHandlingPrefix = ">>> ERROR <<< Error handling. ";

class DebugLog {
public:
    void append(const std::string& line) { lines_.push_back(line); }
    void clear() { lines_.clear(); }
    const std::vector<std::string>& lines() const { return lines_; }

    // Writes the whole list to path (Windows-1252, CR LF, atomic). A failure
    // does not stop anything: it is reported once through the failure handler.
    bool save(const std::string& path);

    // Called with a readable text the first time a save fails.
    void setSaveFailureHandler(std::function<void(const std::string&)> handler) { onSaveFailure_ = std::move(handler); }

private:
    std::vector<std::string> lines_;
    std::function<void(const std::string&)> onSaveFailure_;
    bool failureReported_ = false;
};

}  // namespace vantor
