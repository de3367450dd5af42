#pragma once
// One benchmark at a time per user: two runs against one installation would
// take each other's results and configuration files, and a program starting
// or closing meanwhile would remove the running one's batch file or undo its
// configuration as if it were a leftover. A lock file in the user's data
// folder, held for the whole run, also when the program is killed (the system
// releases it then).

#include "platform/ProgramFile.h"

#include <memory>

namespace vantor {

class RunLock {
public:
    // The lock for a run; nullptr when another program holds it. Without a data
    // folder (or where the lock file cannot be made) the run goes unguarded:
    // the object returned then holds nothing.
    static std::unique_ptr<FileLock> take();
    // Whether a run of another program holds the lock now (this program must
    // not hold it itself).
    static bool heldElsewhere();
};

}  // namespace vantor
