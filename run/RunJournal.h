#pragma once
// The record of what a run changes in CFGPath. It is written (atomically)
// before any of the user's files is moved and updated before "config.cfg" is
// touched, so that a run cut short at any point (a crash, the program killed)
// can be undone exactly: the user's files come back from their backups, the
// program's own files go, and a file whose move never happened stays as it is.

#include <optional>
#include <string>
#include <vector>

namespace vantor {

inline constexpr const char* kRunJournalName = "vantor_run.journal";

// The game's files a run replaces and the names their backups take.
inline constexpr const char* kValveRc = "valve.rc";
inline constexpr const char* kValveRcBackup = "valve_old.rc";
inline constexpr const char* kAutoexec = "autoexec.cfg";
inline constexpr const char* kAutoexecBackup = "autoexec_old.cfg";
inline constexpr const char* kConfigCfg = "config.cfg";
inline constexpr const char* kConfigBackup = "config_old.cfg";

struct RunJournal {
    bool valveRc = false;        // the user had "valve.rc" when the run started
    bool autoexec = false;       // the user had "autoexec.cfg" when the run started
    bool configTouched = false;  // the run is replacing "config.cfg"
    bool config = false;         // the user had "config.cfg" (meaningful with configTouched)

    // Writes the journal into cfgPath atomically. The error text is set on failure.
    bool save(const std::string& cfgPath, std::string* error = nullptr) const;
    // The journal in cfgPath; nullopt when there is none or it cannot be read.
    static std::optional<RunJournal> load(const std::string& cfgPath);
    static bool present(const std::string& cfgPath);
    static bool remove(const std::string& cfgPath);

    bool operator==(const RunJournal&) const = default;
};

// One step of putting the user's files back.
struct RestoreStep {
    enum class Kind {
        MoveBack,  // the user's backup goes back over the file
        Remove,    // the file is the program's: it goes
    };
    Kind kind;
    std::string file;    // name in CFGPath
    std::string backup;  // MoveBack: the backup's name
};

// The steps that undo a run, in order ("autoexec.cfg", "valve.rc", "config.cfg"),
// judged from the journal and what is in cfgPath now. Running the plan again
// after it was cut short yields the rest of the work (it is idempotent).
std::vector<RestoreStep> restorePlan(const RunJournal& journal, const std::string& cfgPath);

// Removes the temporary files an atomic write into cfgPath may have left when the
// program was killed in the middle of it ("autoexec.cfg.tmp123" and the like).
void removeWriteLeftovers(const std::string& cfgPath);

}  // namespace vantor
