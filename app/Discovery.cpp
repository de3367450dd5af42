#include "app/Discovery.h"

#include "core/SettingsStore.h"
#include "platform/FileOps.h"
#include "platform/FindFile.h"

namespace vantor {

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

std::string discoverGameFolder(const std::string& steamPath, SettingsStore& store) {
    // An empty SteamPath would search the working folder.
    if (!steamPath.empty()) {
        if (std::string found = searchGameFolder(steamPath); !found.empty()) return found;
    }
    return chosenGameFolder(store);
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
    return hl2Path + "half-life 2" + kPathSep + "hl2" + kPathSep + "cfg" + kPathSep;
}

std::string resultsPathOf(const std::string& hl2Path) {
    if (hl2Path.empty()) return {};
    return hl2Path + "half-life 2" + kPathSep + "hl2" + kPathSep;
}

}  // namespace vantor
