#include "run/RunLock.h"

#include "platform/FileOps.h"
#include "platform/UserDataFolder.h"

namespace vantor {
namespace {

constexpr const char* kRunLockFile = "benchmark.lock";

}  // namespace

std::unique_ptr<FileLock> RunLock::take() {
    const std::string folder = programDataFolder();
    if (folder.empty() || (!folderExists(folder) && !createFolders(folder)))
        return std::make_unique<FileLock>(std::string());
    auto lock = std::make_unique<FileLock>(folder + kRunLockFile);
    // A lock file that cannot be made is no other program's run.
    if (lock->locked() || !canCreateFilesIn(folder)) return lock;
    return nullptr;
}

bool RunLock::heldElsewhere() { return take() == nullptr; }

}  // namespace vantor
