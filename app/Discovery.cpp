#include "app/Discovery.h"

#include "app/SteamLayout.h"
#include "core/KeyValues.h"
#include "core/SettingsStore.h"
#include "platform/FileOps.h"
#include "platform/FindFile.h"
#include "platform/OsFamily.h"
#include "platform/PathCase.h"
#include "platform/TextFile.h"

#include <filesystem>
#include <set>

namespace vantor {
namespace {

// A relative path of the layout tables ('/' between names) in native separators.
std::string native(std::string relative) {
    for (char& c : relative)
        if (c == '/') c = kPathSep;
    return relative;
}

bool isNumber(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// One spelling per folder: links and other spellings of a folder already seen
// are left out.
class SeenFolders {
public:
    bool firstTime(const std::string& folder) {
        std::error_code ec;
        auto canonical = std::filesystem::weakly_canonical(folder, ec);
        const std::string key = ec ? folder : withTrailingSep(canonical.string());
        return seen_.insert(key).second;
    }

private:
    std::set<std::string> seen_;
};

}  // namespace

std::string steamPathFromSteamExe(const std::string& steamExe) {
    std::string path = steamExe;
    for (char& c : path)
        if (c == '\\' || c == '/') c = kPathSep;
    if (path.size() < 9) return {};
    path.resize(path.size() - 9);
    return path;
}

std::string hl2PathFromMatchFolder(const std::string& folder) {
    std::string f = folder;
    if (!f.empty() && f.back() == kPathSep) f.pop_back();
    auto pos = f.rfind(kPathSep);
    return pos == std::string::npos ? std::string() : f.substr(0, pos + 1);
}

std::string hl2PathFromFile(const std::string& file) {
    auto pos = file.rfind(kPathSep);
    if (pos == std::string::npos) return {};
    return hl2PathFromMatchFolder(file.substr(0, pos + 1));
}

std::optional<std::string> readSteamExe(SettingsStore& store) {
    std::optional<std::string> steamExe;
    try {
        if (store.openSteamKey() && store.exists(sv::SteamExe)) steamExe = store.read(sv::SteamExe);
    } catch (...) {
        store.useSettingsKey();
        throw;
    }
    store.useSettingsKey();
    return steamExe;
}

std::string readSteamPath(SettingsStore& store) {
    const auto steamExe = readSteamExe(store);
    if (!steamExe || steamExe->empty()) return {};
    return steamPathFromSteamExe(*steamExe);
}

std::string chosenGameFolder(SettingsStore& store) {
    if (!store.open()) return {};
    const std::string exe = store.read(sv::HL2Exe);
    if (exe.empty() || !fileExists(exe)) return {};
    return hl2PathFromFile(exe);
}

std::string storeChosenGame(SettingsStore& store, const std::string& exe) {
    store.useSettingsKey();
    if (store.open()) store.write(sv::HL2Exe, exe);
    return hl2PathFromFile(exe);
}

std::string searchGameFolder(const std::string& steamPath) {
    std::string hl2Path;
    TFindFile find;
    find.Criteria.Files.FileName = "hl2.exe";
    find.Criteria.Files.Location = steamPath;
    find.OnFileMatch = [&](TFindFile&, const std::string& folder, const TFileInfo&) {
        hl2Path = hl2PathFromMatchFolder(folder);
    };
    find.Search();
    return hl2Path;
}

std::string cfgPathOf(const std::string& hl2Path) {
    if (hl2Path.empty()) return {};
    return pathIgnoringCase(hl2Path, native("half-life 2/hl2/cfg/"));
}

std::string resultsPathOf(const std::string& hl2Path) {
    if (hl2Path.empty()) return {};
    return pathIgnoringCase(hl2Path, native("half-life 2/hl2/"));
}

std::string_view pathSourceText(PathSource source) {
    switch (source) {
        case PathSource::None: return "";
        case PathSource::ProgramFolder: return "program folder";
        case PathSource::StoredValue: return "stored value";
        case PathSource::LibraryList: return "library list";
        case PathSource::UsualFolder: return "usual folder";
        case PathSource::UserChoice: return "user's choice";
    }
    return "";
}

std::vector<std::string> libraryPathsOf(const KeyValuesResult& parsed, std::string& error) {
    std::vector<std::string> paths;
    error.clear();
    if (!parsed.ok) {
        error = parsed.error;
        return paths;
    }
    const KeyValue* list = nullptr;
    for (const auto& entry : parsed.entries)
        if (entry.section && keyEquals(entry.key, kLibraryListKey)) list = list ? list : &entry;
    if (!list) {
        error = std::string("no \"") + kLibraryListKey + "\" section";
        return paths;
    }
    for (const auto& entry : list->children) {
        if (!isNumber(entry.key)) continue;  // TimeNextStatsReport, ContentStatsID, ...
        std::string path = entry.value;
        if (entry.section) {
            const KeyValue* p = entry.find("path");
            path = p && !p->section ? p->value : std::string();
        }
        if (!isAbsolutePath(path)) continue;
        paths.push_back(withTrailingSep(path));
    }
    return paths;
}

std::vector<std::string> readLibraryList(const std::string& steamPath, std::string& note) {
    note.clear();
    const std::string file = pathIgnoringCase(steamPath, native(kLibraryListFile));
    if (!pathExists(file)) return {};
    std::string text;
    std::uint64_t size = 0;
    if (!fileExists(file) || !readFileRange(file, 0, kLibraryListBound, text, size)) {
        note = file + " cannot be read; its libraries are left out.";
        return {};
    }
    if (size > kLibraryListBound) {
        note =
            file + " is larger than " + std::to_string(kLibraryListBound / 1024) + " KiB; its libraries are left out.";
        return {};
    }
    std::string error;
    auto paths = libraryPathsOf(parseKeyValues(text), error);
    if (!error.empty()) note = file + ": " + error + "; its libraries are left out.";
    return paths;
}

std::string gameInLibrary(const std::string& library) {
    if (library.empty()) return {};
    const std::string parent = pathIgnoringCase(library, native(kGameParentInLibrary));
    const std::string game = pathIgnoringCase(parent, kGameFolderName) + kPathSep;
    for (const char* program : gameProgramsFor(kThisOs))
        if (fileExists(pathIgnoringCase(game, program))) return parent;
    return {};
}

std::vector<std::string> usualSteamFolders(const std::string& home) {
    std::vector<std::string> folders;
    if (home.empty()) return folders;
    SeenFolders seen;
    for (const char* relative : usualSteamFoldersFor(kThisOs)) {
        const std::string folder = withTrailingSep(home) + native(relative);
        if (folderExists(folder) && seen.firstTime(folder)) folders.push_back(folder);
    }
    return folders;
}

SteamAndGame findSteamAndGame(SettingsStore& store, const std::string& home) {
    SteamAndGame found;
    auto note = [&](const std::string& text) {
        if (!text.empty()) found.notes.push_back(text);
    };
    SeenFolders seenSteam;

    // 1. and 2.: the stored Steam folder.
    const auto steamExe = readSteamExe(store);
    found.steamValueStored = steamExe.has_value();
    if (steamExe && !steamExe->empty()) found.steamPath = steamPathFromSteamExe(*steamExe);
    if (!found.steamPath.empty()) {
        found.steamFrom = PathSource::StoredValue;
        seenSteam.firstTime(found.steamPath);
        found.hl2Path = searchGameFolder(found.steamPath);
        if (!found.hl2Path.empty()) {
            found.hl2From = PathSource::StoredValue;
            return found;
        }
        found.hl2Path = gameInLibrary(found.steamPath);
        if (!found.hl2Path.empty()) {
            found.hl2From = PathSource::StoredValue;
            return found;
        }
        std::string why;
        for (const auto& library : readLibraryList(found.steamPath, why)) {
            found.hl2Path = gameInLibrary(library);
            if (!found.hl2Path.empty()) {
                found.hl2From = PathSource::LibraryList;
                return found;
            }
        }
        note(why);
    }

    // 3.: the usual Steam folders.
    std::string firstUsual;
    for (const auto& steam : usualSteamFolders(home)) {
        if (!seenSteam.firstTime(steam)) continue;
        if (firstUsual.empty()) firstUsual = steam;
        std::string hl2 = gameInLibrary(steam);
        PathSource from = PathSource::UsualFolder;
        std::string why;
        if (hl2.empty()) {
            for (const auto& library : readLibraryList(steam, why)) {
                hl2 = gameInLibrary(library);
                if (!hl2.empty()) break;
            }
            from = PathSource::LibraryList;
        }
        if (!hl2.empty()) {
            found.steamPath = steam;
            found.steamFrom = PathSource::UsualFolder;
            found.hl2Path = hl2;
            found.hl2From = from;
            return found;
        }
        note(why);
    }
    if (found.steamPath.empty() && !firstUsual.empty()) {
        found.steamPath = firstUsual;
        found.steamFrom = PathSource::UsualFolder;
    }

    // 4.: the game the user chose before, while it is still there.
    found.hl2Path = chosenGameFolder(store);
    if (!found.hl2Path.empty()) found.hl2From = PathSource::UserChoice;
    return found;
}

}  // namespace vantor
