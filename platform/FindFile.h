#pragma once
// TFindFile: walks folder trees and reports every file that meets the criteria.
// Depth first: a folder's matching files are reported before anything in its
// subfolders. Masks follow the Windows wildcard rules, without regard to case.
// Hidden files are matched; folders never are.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantor {

enum class TFolderIgnore { None, JustThis, JustSubfolders, ThisAndSubfolders };

struct TFileCriteria {
    std::string FileName;  // masks separated by ";"
    std::string Location;  // start folders separated by ";"; "<" no subfolders, ">" with
    bool Subfolders = true;
    int MinLevel = 0;  // depth limits, 0 = none; the start folder is depth 1
    int MaxLevel = 0;
};

struct TSearchCriteria {
    TFileCriteria Files;
};

// What the platform tells of a found entry.
struct TFileInfo {
    std::string Name;        // file name without folder
    bool Hidden = false;     // name starts with "." (POSIX); the hidden attribute (Windows)
    std::uint64_t Size = 0;  // 0 when not asked for
};

class TFindFile {
public:
    using FileMatchEvent = std::function<void(TFindFile& sender, const std::string& folder, const TFileInfo& info)>;
    using FolderChangeEvent = std::function<void(TFindFile& sender, const std::string& folder, TFolderIgnore& ignore)>;
    using NotifyEvent = std::function<void(TFindFile& sender)>;

    TSearchCriteria Criteria;
    FileMatchEvent OnFileMatch;        // folder ends with the separator
    FolderChangeEvent OnFolderChange;  // on entering each folder
    NotifyEvent OnSearchBegin, OnSearchFinish, OnSearchAbort;

    // Runs a whole search; returns when it is over. Does nothing while busy.
    void Search();
    // Stops the running search at its next check (from a handler).
    void Abort();
    bool Busy() const { return busy_; }
    bool Aborted() const { return aborted_; }

private:
    bool busy_ = false;
    bool aborted_ = false;
    friend struct FindFileWalker;
};

// Whether name matches mask by the Windows wildcard rules ("*", "?", "*.*"),
// ignoring case.
bool MatchesMask(const std::string& name, const std::string& mask);

}  // namespace vantor
