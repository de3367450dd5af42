#include "app/Discovery.h"
#include "platform/AsciiCase.h"

#include "app/SteamLayout.h"
#include "core/KeyValues.h"
#include "core/SettingsStore.h"
#include "platform/FileOps.h"
#include "platform/FindFile.h"
#include "platform/OsFamily.h"
#include "platform/PathCase.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <span>

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

// The last name of a folder path (trailing separator or not).
std::string_view lastName(std::string_view folder) {
    if (!folder.empty() && folder.back() == kPathSep) folder.remove_suffix(1);
    const auto pos = folder.rfind(kPathSep);
    return pos == std::string_view::npos ? folder : folder.substr(pos + 1);
}

// A folder path as this system compares names, with repeated separators and
// "." components left aside and one trailing separator. ".." stays: what it
// means depends on links.
std::string textKey(const std::string& folder) {
    const std::string path = comparablePath(folder);
    std::string key;
    std::size_t i = 0;
    // A leading separator; two of them begin a Windows network path.
    const std::size_t lead = kThisOs == OsFamily::Windows ? 2 : 1;
    while (i < path.size() && path[i] == kPathSep) ++i;
    key.append(std::min(i, lead), kPathSep);
    while (i < path.size()) {
        std::size_t end = path.find(kPathSep, i);
        if (end == std::string::npos) end = path.size();
        const std::string_view name(path.data() + i, end - i);
        if (!name.empty() && name != ".") {
            key += name;
            key += kPathSep;
        }
        i = end + 1;
    }
    return key;
}

// The key of a folder with links resolved, as far as it exists.
std::string folderKey(const std::string& folder) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(folder, ec);
    return textKey(ec ? folder : canonical.string());
}

// One spelling per folder: links and other spellings of a folder already seen
// are left out.
class SeenFolders {
public:
    bool firstTime(const std::string& folder) { return seen_.insert(folderKey(folder)).second; }

private:
    std::set<std::string> seen_;
};

// The folder above a folder, with a trailing separator; empty at the top.
std::string parentFolder(const std::string& folder) { return hl2PathFromMatchFolder(folder); }

// Whether the folder holds one of the game's programs, in any spelling.
bool holdsGameProgram(const std::string& gameFolder) {
    for (const char* program : gameProgramsFor(kThisOs))
        for (const auto& path : pathsIgnoringCase(gameFolder, program))
            if (fileExists(path)) return true;
    return false;
}

// The first spelling of the game's folder in hl2Path that holds one of its
// programs; empty when none does.
std::string gameFolderWithProgram(const std::string& hl2Path) {
    for (const auto& folder : pathsIgnoringCase(hl2Path, std::string(kGameFolderName) + kPathSep))
        if (holdsGameProgram(folder)) return folder;
    return {};
}

std::string joined(std::span<const char* const> names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

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

bool isGameProgram(const std::string& file, std::string& why) {
    why.clear();
    const auto programs = gameProgramsFor(kThisOs);
    const std::string name = comparablePath(fileNamePart(file));
    bool known = false;
    for (const char* program : programs) known = known || name == comparablePath(program);
    if (file.empty())
        why = "No file was chosen.";
    else if (!pathExists(file))
        why = "There is no file " + file + ".";
    else if (!fileExists(file))
        why = file + " is not a file.";
    else if (!known)
        why = file + " is not the game's program (" + joined(programs) + ").";
    else if (hl2PathFromFile(file).empty())
        why = file + " lies in no game folder.";
    return why.empty();
}

bool isSteamFolder(const std::string& folder) {
    if (folder.empty()) return false;
    const std::string base = withTrailingSep(folder);
    for (const char* program : steamProgramsFor(kThisOs))
        if (fileExists(base + program)) return true;
    return false;
}

std::string storeChosenSteam(SettingsStore& store, const std::string& folder) {
    if (folder.empty()) return "No Steam folder was chosen.";
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(folder, ec);
    const std::string path = ec ? folder : withTrailingSep(absolute.lexically_normal().string());
    if (ec || !folderExists(path)) return "There is no folder " + folder + ".";
    if (!isSteamFolder(path)) return path + " holds no Steam client (" + joined(steamProgramsFor(kThisOs)) + ").";
    store.useSettingsKey();
    if (!store.open()) return "The settings cannot be opened; the Steam folder is not kept.";
    store.write(sv::SteamFolder, path);
    return {};
}

std::string chosenSteamFolder(SettingsStore& store) {
    store.useSettingsKey();
    if (!store.open()) return {};
    const std::string folder = store.read(sv::SteamFolder);
    if (!isSteamFolder(folder)) return {};
    return withTrailingSep(folder);
}

std::string steamFolderOfGame(const std::string& hl2Path) {
    // X/steamapps/common/ or X/SteamApps/<account>/: the library X.
    const std::string apps = parentFolder(hl2Path);
    if (apps.empty() || !equalsIgnoringAsciiCase(lastName(apps), kLibraryAppsFolder)) return {};
    const std::string library = parentFolder(apps);
    if (library.empty()) return {};
    if (isSteamFolder(library)) return library;
    // Another library of a Steam folder: that folder's list names it.
    const std::string key = folderKey(library);
    std::string note;
    for (const auto& steam : readLibraryList(library, note)) {
        if (folderKey(steam) == key || !isSteamFolder(steam)) continue;
        for (const auto& named : readLibraryList(steam, note))
            if (folderKey(named) == key) return steam;
    }
    return {};
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

std::string gameFolderOf(const std::string& hl2Path) {
    if (hl2Path.empty()) return {};
    std::string folder = gameFolderWithProgram(hl2Path);
    if (folder.empty()) folder = pathIgnoringCase(hl2Path, kFirstGameFolderName) + kPathSep;
    return folder;
}

std::string gameFolderOfFile(const std::string& exe) {
    const std::string hl2Path = hl2PathFromFile(exe);
    if (hl2Path.empty()) return {};
    const std::string folder = exe.substr(0, exe.rfind(kPathSep) + 1);
    if (equalsIgnoringAsciiCase(lastName(folder), kFirstGameFolderName)) return folder;
    return gameFolderOf(hl2Path);
}

std::string cfgPathIn(const std::string& gameFolder) {
    if (gameFolder.empty()) return {};
    return pathIgnoringCase(gameFolder, native("hl2/cfg/"));
}

std::string resultsPathIn(const std::string& gameFolder) {
    if (gameFolder.empty()) return {};
    return pathIgnoringCase(gameFolder, native("hl2/"));
}

std::string cfgPathOf(const std::string& hl2Path) { return cfgPathIn(gameFolderOf(hl2Path)); }

std::string resultsPathOf(const std::string& hl2Path) { return resultsPathIn(gameFolderOf(hl2Path)); }

std::string_view pathSourceText(PathSource source) {
    switch (source) {
        case PathSource::None: return "";
        case PathSource::ProgramFolder: return "program folder";
        case PathSource::StoredValue: return "stored value";
        case PathSource::LibraryList: return "library list";
        case PathSource::UsualFolder: return "usual folder";
        case PathSource::UserChoice: return "user's choice";
        case PathSource::DerivedFromGame: return "derived from the game's library";
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
    // The first spelling that exists: "SteamApps/" may stand beside an empty "steamapps/".
    const auto spellings = pathsIgnoringCase(steamPath, native(kLibraryListFile));
    if (spellings.empty()) return {};
    std::string file = spellings.front();
    for (const auto& spelling : spellings)
        if (fileExists(spelling)) {
            file = spelling;
            break;
        }
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
    const auto named = libraryPathsOf(parseKeyValues(text), error);
    if (!error.empty()) {
        note = file + ": " + error + "; its libraries are left out.";
        return {};
    }
    std::vector<std::string> paths;
    std::set<std::string> seen;
    std::size_t distinct = 0;
    for (const auto& path : named) {
        if (!seen.insert(textKey(path)).second) continue;
        if (++distinct <= kLibraryLookBound) paths.push_back(path);
    }
    if (distinct > kLibraryLookBound)
        note = file + " names " + std::to_string(distinct) + " libraries; only the first " +
               std::to_string(kLibraryLookBound) + " are looked at.";
    return paths;
}

std::string gameInLibrary(const std::string& library) {
    if (library.empty()) return {};
    for (const auto& parent : pathsIgnoringCase(library, native(kGameParentInLibrary)))
        if (!gameFolderWithProgram(parent).empty()) return parent;
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

namespace {

// The steps of findSteamAndGame, each library looked at once.
class Finder {
public:
    explicit Finder(SteamAndGame& found) : found_(found) {}

    // Whether the folder is a Steam folder not looked at yet.
    bool firstTime(const std::string& steam) { return seenSteam_.firstTime(steam); }

    // The game in a Steam folder: the search of its tree (when search), its own
    // library, then the libraries of its list. from is the source of a game in
    // the folder itself; a listed library's is LibraryList. A list that could
    // not be used is noted when the game is not found.
    bool lookIn(const std::string& steam, bool search, PathSource from) {
        if (search && take(searchGameFolder(steam), from)) return true;
        if (seenLibraries_.firstTime(steam) && take(gameInLibrary(steam), from)) return true;
        std::string why;
        for (const auto& library : readLibraryList(steam, why))
            if (seenLibraries_.firstTime(library) && take(gameInLibrary(library), PathSource::LibraryList)) return true;
        if (!why.empty()) found_.notes.push_back(why);
        return false;
    }

private:
    bool take(const std::string& hl2Path, PathSource from) {
        if (hl2Path.empty()) return false;
        found_.hl2Path = hl2Path;
        found_.gameFolder = gameFolderOf(hl2Path);
        found_.hl2From = from;
        return true;
    }

    SteamAndGame& found_;
    SeenFolders seenSteam_;
    SeenFolders seenLibraries_;
};

}  // namespace

SteamAndGame findSteamAndGame(SettingsStore& store, const std::string& home) {
    SteamAndGame found;
    Finder finder(found);

    // 1. and 2.: the stored Steam folder.
    const auto steamExe = readSteamExe(store);
    found.steamValueStored = steamExe.has_value();
    if (steamExe && !steamExe->empty()) found.steamPath = steamPathFromSteamExe(*steamExe);
    if (!found.steamPath.empty()) {
        found.steamFrom = PathSource::StoredValue;
        finder.firstTime(found.steamPath);
        if (finder.lookIn(found.steamPath, true, PathSource::StoredValue)) return found;
    }

    // 3.: the Steam folder the user chose.
    const std::string chosen = chosenSteamFolder(store);
    if (!chosen.empty() && finder.firstTime(chosen)) {
        const bool game = finder.lookIn(chosen, true, PathSource::UserChoice);
        if (game || found.steamPath.empty()) {
            found.steamPath = chosen;
            found.steamFrom = PathSource::UserChoice;
        }
        if (game) return found;
    }

    // 4.: the usual Steam folders.
    std::string firstUsual;
    for (const auto& steam : usualSteamFolders(home)) {
        if (!finder.firstTime(steam)) continue;
        if (firstUsual.empty()) firstUsual = steam;
        if (finder.lookIn(steam, false, PathSource::UsualFolder)) {
            found.steamPath = steam;
            found.steamFrom = PathSource::UsualFolder;
            return found;
        }
    }
    if (found.steamPath.empty() && !firstUsual.empty()) {
        found.steamPath = firstUsual;
        found.steamFrom = PathSource::UsualFolder;
    }

    // 5.: the game the user chose before, while it is still there.
    found.hl2Path = chosenGameFolder(store);
    if (!found.hl2Path.empty()) {
        found.hl2From = PathSource::UserChoice;
        store.useSettingsKey();
        if (store.open()) found.gameFolder = gameFolderOfFile(store.read(sv::HL2Exe));
        if (found.steamPath.empty()) {
            found.steamPath = steamFolderOfGame(found.hl2Path);
            if (!found.steamPath.empty()) found.steamFrom = PathSource::DerivedFromGame;
        }
    }
    return found;
}

}  // namespace vantor
