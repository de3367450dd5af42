#include "core/OwnFolders.h"

#include "core/RunState.h"
#include "platform/FileOps.h"
#include "platform/UserDataFolder.h"

namespace vantor {

OwnFolders pickOwnFolders(const std::string& benchPath, bool benchWritable, const std::string& dataFolder,
                          const std::string& documentsFolder) {
    if (benchPath.empty()) return {};
    if (benchWritable) return {benchPath, benchPath + "Benchmark" + kPathSep};
    OwnFolders own;
    own.files = dataFolder;
    if (!documentsFolder.empty())
        own.results = documentsFolder + "Vantor" + kPathSep;
    else if (!dataFolder.empty())
        own.results = dataFolder + "Benchmark" + kPathSep;
    return own;
}

OwnFolders ownFoldersFor(const std::string& benchPath) {
    const bool writable = !benchPath.empty() && canCreateFilesIn(benchPath);
    const OwnFolders own = pickOwnFolders(benchPath, writable, writable ? std::string() : programDataFolder(),
                                          writable ? std::string() : documentsFolder());
    if (!writable && !own.files.empty()) createFolders(own.files);
    return own;
}

void useOwnFolders(Paths& paths) {
    const OwnFolders own = ownFoldersFor(paths.BenchPath);
    paths.OwnFilesPath = own.files;
    paths.DefaultReportPath = own.results;
}

}  // namespace vantor
