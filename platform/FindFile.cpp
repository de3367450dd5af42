#include "platform/FindFile.h"

#include "platform/DirectoryListing.h"
#include "platform/FileOps.h"

#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

namespace vantor {

using detail::DirectoryListing;
using detail::EntryKind;
using detail::ListedEntry;

namespace {

// ---- letters without regard to case --------------------------------------------

// Lower-case partner of a letter of the Latin, Greek and Cyrillic alphabets.
// Only pairs whose UTF-8 forms have the same length are folded, so two names
// that are equal without regard to case have the same byte length.
char32_t foldChar(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (c == 0x178) return 0xFF;
        // Pairs begin at even code points, except in these two runs.
        const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool upper = oddFirst ? (c & 1) != 0 : (c & 1) == 0;
        return upper ? c + 1 : c;
    }
    if (c >= 0x386 && c <= 0x3AB) {
        if (c >= 0x391 && c != 0x3A2) return c + 0x20;
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return c + 0x25;
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return c + 0x3F;
        return c;
    }
    if (c == 0x3C2) return 0x3C3;  // final sigma
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

// One character of UTF-8 at s[i]; i moves past it. A byte that does not start a
// valid sequence is a character of its own, equal only to the same byte.
char32_t decodeChar(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    std::size_t len = 0;
    char32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        cp = b & 0x07;
    }
    if (len == 0 || i + len > s.size()) {
        ++i;
        return 0x110000 + b;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0x110000 + b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    return cp;
}

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (foldChar(decodeChar(a, i)) != foldChar(decodeChar(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

// "*" any run of characters, "?" exactly one; letters without regard to case.
bool wildcardMatch(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size()) {
            std::size_t n2 = n, m2 = m;
            const char32_t nc = decodeChar(name, n2);
            const char32_t mc = decodeChar(mask, m2);
            if (mc == '?' || foldChar(mc) == foldChar(nc)) {
                n = n2;
                m = m2;
                continue;
            }
        }
        if (starMask == std::string_view::npos) return false;
        decodeChar(name, starName);  // let the last "*" take one more character
        n = starName;
        m = starMask;
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

// A mask prepared once per search.
class MaskMatcher {
public:
    explicit MaskMatcher(std::string mask) : mask_(std::move(mask)) {
        if (mask_ == "*" || mask_ == "*.*") {
            kind_ = Kind::All;
        } else if (mask_.find_first_of("*?") == std::string::npos) {
            kind_ = Kind::Literal;
            for (char& c : mask_) c = foldAscii(c);
        } else {
            kind_ = Kind::Wildcard;
        }
    }

    const std::string& text() const { return mask_; }

    bool matches(std::string_view name) const {
        switch (kind_) {
            case Kind::All: return true;
            case Kind::Literal: return literalMatch(name);
            case Kind::Wildcard: return wildcardMatch(name, mask_);
        }
        return false;
    }

private:
    enum class Kind { All, Literal, Wildcard };

    bool literalMatch(std::string_view name) const {
        if (name.size() != mask_.size()) return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            const char a = name[i], b = mask_[i];
            if (a == b) continue;
            if ((static_cast<unsigned char>(a) | static_cast<unsigned char>(b)) < 0x80) {
                if (foldAscii(a) != b) return false;
                continue;
            }
            return equalsIgnoringCase(name, mask_);
        }
        return true;
    }

    std::string mask_;
    Kind kind_ = Kind::Literal;
};

// ---- the search plan ------------------------------------------------------------

struct FolderTarget {
    std::string path;  // absolute, ends with the separator
    bool subfolders = true;
};

struct SearchPlan {
    std::vector<MaskMatcher> masks;
    std::vector<FolderTarget> targets;
    int minLevel = 0;
    int maxLevel = 0;
};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// The trimmed, non-empty parts of a ";" list, in order.
std::vector<std::string_view> splitList(std::string_view list) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t semi = list.find(';');
        const std::string_view part = trimmed(list.substr(0, semi));
        if (!part.empty()) parts.push_back(part);
        if (semi == std::string_view::npos) break;
        list.remove_prefix(semi + 1);
    }
    return parts;
}

std::string fullFolderPath(std::string_view folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(folder), ec);
    if (ec) p = fs::path(folder);
    std::string s = p.lexically_normal().make_preferred().string();
    if (!s.empty() && s.back() != kPathSep) s += kPathSep;
    return s;
}

SearchPlan buildPlan(const TSearchCriteria& criteria) {
    const TFileCriteria& files = criteria.Files;
    SearchPlan plan;
    plan.minLevel = files.MinLevel;
    plan.maxLevel = files.MaxLevel;
    for (std::string_view mask : splitList(files.FileName)) {
        bool repeat = false;
        for (const MaskMatcher& m : plan.masks) repeat = repeat || equalsIgnoringCase(m.text(), mask);
        if (!repeat) plan.masks.emplace_back(std::string(mask));
    }
    for (std::string_view folder : splitList(files.Location)) {
        bool subfolders = files.Subfolders;
        if (folder.front() == '<' || folder.front() == '>') {
            subfolders = folder.front() == '>';
            folder = trimmed(folder.substr(1));
            if (folder.empty()) continue;
        }
        std::string path = fullFolderPath(folder);
        if (path.empty()) continue;
        bool known = false;
        for (const FolderTarget& t : plan.targets) known = known || equalsIgnoringCase(t.path, path);
        if (!known) plan.targets.push_back({std::move(path), subfolders});
    }
    return plan;
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& mask) { return MaskMatcher(mask).matches(name); }

// ---- the walk -------------------------------------------------------------------

struct FindFileWalker {
    FindFileWalker(TFindFile& f, const SearchPlan& p) : finder(f), plan(p) {}

    TFindFile& finder;
    const SearchPlan& plan;
    const FolderTarget* target = nullptr;
    std::string path;  // the folder being searched, ends with the separator
    int depth = 0;
    std::vector<std::unique_ptr<DirectoryListing>> levels;  // one listing per depth
    TFileInfo info;

    bool aborted() const { return finder.aborted_; }

    void searchTarget(const FolderTarget& t) {
        target = &t;
        depth = 0;
        path = t.path;
        searchFolder(nullptr, std::string_view());
    }

    DirectoryListing& listingAt(int level) {
        const auto index = static_cast<std::size_t>(level);
        if (levels.size() <= index) levels.resize(index + 1);
        if (!levels[index]) levels[index] = std::make_unique<DirectoryListing>();
        return *levels[index];
    }

    // Searches the folder named by path; parent is the listing it was found in.
    void searchFolder(const DirectoryListing* parent, std::string_view name) {
        struct DepthScope {
            int& d;
            explicit DepthScope(int& depthRef) : d(depthRef) { ++d; }
            ~DepthScope() { --d; }
        } depthScope(depth);

        TFolderIgnore answer = TFolderIgnore::ThisAndSubfolders;
        if (!aborted()) {
            answer = TFolderIgnore::None;
            if (finder.OnFolderChange) finder.OnFolderChange(finder, path, answer);
            if (aborted()) return;
        }
        const bool listFiles = (answer == TFolderIgnore::None || answer == TFolderIgnore::JustSubfolders) &&
                               depth >= plan.minLevel && !plan.masks.empty();
        const bool intoSubfolders = target->subfolders && answer != TFolderIgnore::JustSubfolders &&
                                    answer != TFolderIgnore::ThisAndSubfolders &&
                                    !(plan.maxLevel != 0 && depth >= plan.maxLevel);
        if (!listFiles && !intoSubfolders) return;

        DirectoryListing& listing = listingAt(depth);
        if (!listing.open(parent, name, path)) return;  // missing or unreadable
        struct CloseScope {
            DirectoryListing& l;
            ~CloseScope() { l.close(); }
        } closeScope{listing};

        bool listed = false;
        if (listFiles) {
            reportFiles(listing);
            listed = true;
        }
        if (!intoSubfolders || aborted()) return;
        if (listed) listing.rewind();
        ListedEntry entry;
        while (!aborted() && listing.next(entry)) {
            EntryKind kind = entry.kind;
            if (kind == EntryKind::Unknown) kind = listing.resolve(entry);
            if (kind != EntryKind::Folder) continue;  // links to folders are not followed
            const std::size_t length = path.size();
            path.append(entry.name);
            path += kPathSep;
            searchFolder(&listing, entry.name);
            path.resize(length);
        }
    }

    // The folder's files, for each mask from the last to the first; a file that
    // meets several masks is reported once, under the first of them asked.
    void reportFiles(DirectoryListing& listing) {
        const std::size_t count = plan.masks.size();
        for (std::size_t i = count; i-- > 0 && !aborted();) {
            if (i + 1 != count) listing.rewind();
            const MaskMatcher& mask = plan.masks[i];
            ListedEntry entry;
            while (!aborted() && listing.next(entry)) {
                if (entry.kind == EntryKind::Folder || !mask.matches(entry.name)) continue;
                bool reported = false;
                for (std::size_t j = i + 1; j < count && !reported; ++j) reported = plan.masks[j].matches(entry.name);
                if (reported) continue;
                if (entry.kind != EntryKind::File && listing.resolve(entry) != EntryKind::File) continue;
                info.Name.assign(entry.name);
                info.Hidden = entry.hidden;
                info.Size = 0;
                if (finder.OnFileMatch) finder.OnFileMatch(finder, path, info);
            }
        }
    }
};

void TFindFile::Search() {
    if (busy_) return;
    busy_ = true;
    aborted_ = false;
    // Finish: OnSearchFinish, then idle again, also when a handler throws.
    auto finish = [this] {
        struct Idle {
            bool& busy;
            ~Idle() { busy = false; }
        } idle{busy_};
        if (OnSearchFinish) OnSearchFinish(*this);
    };
    try {
        const SearchPlan plan = buildPlan(Criteria);
        if (OnSearchBegin) OnSearchBegin(*this);
        FindFileWalker walker{*this, plan};
        for (const FolderTarget& target : plan.targets) {
            if (aborted_) break;
            walker.searchTarget(target);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TFindFile::Abort() {
    if (!busy_ || aborted_) return;
    aborted_ = true;
    if (OnSearchAbort) OnSearchAbort(*this);
}

}  // namespace vantor
