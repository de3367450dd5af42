#pragma once
// The game's configuration files in CFGPath: the user's "valve.rc",
// "autoexec.cfg" and "config.cfg" are kept aside while a run puts its own in
// place, and put back afterwards. Also the detail-level chooser.

#include "core/AppContext.h"
#include "core/StepResult.h"
#include "run/RunJournal.h"

#include <functional>
#include <string>
#include <vector>

namespace vantor {

// The templates, line by line.
const std::vector<std::string>& MinSet();
const std::vector<std::string>& MaxSet();
const std::vector<std::string>& CusSet();
const std::vector<std::string>& ValveRc();

class GameConfig {
public:
    explicit GameConfig(AppContext& ctx) : ctx_(ctx) {}
    ~GameConfig();
    GameConfig(const GameConfig&) = delete;
    GameConfig& operator=(const GameConfig&) = delete;

    // Run start: clears the write-error flag; keeps the user's files aside and
    // writes the program's "valve.rc". Fails when the run cannot go on safely,
    // "valve.rc" not written included (the result's text is for the user, the
    // log has the line; nothing of the user's is lost; the caller restores).
    StepResult BackupGameConfig();
    void SetFilterLines();
    void SetDXLine();
    // Writes "autoexec.cfg" (and "config.cfg" for the custom level); done runs
    // after the 200 ms settle of the custom level. A failure ends the run (also
    // when the maximum or minimum "autoexec.cfg" cannot be written).
    void WriteDetailConfig(std::function<void(StepResult)> done);
    // Puts the user's files back when a run has changed them and they were not
    // restored yet; otherwise does nothing. done runs when finished. A custom
    // level's WriteDetailConfig still waiting is abandoned (its done never runs);
    // a call while a restore is under way runs its done when that one ends.
    void RestoreGameConfig(std::function<void()> done);
    // Whether a run has changed the files and they are not restored yet.
    bool restorePending() const { return changed_; }
    // What the last restore could not do, for the user: empty when it put
    // everything back (or had nothing to do).
    std::string unrestoredText() const;

    bool writeError() const { return writeError_; }

    // Called after every change this object makes in CFGPath (tests take
    // snapshots of the folder there, as a kill at that point would leave it).
    std::function<void()> onFileStep;

private:
    bool backUp();
    void fileStep();
    bool recoverEarlierRun();
    bool restoreTakenBackupNames();
    void fail(const std::string& what);
    // A configuration file of the run could not be written: the run ends.
    void failedWrite(const std::string& what, const char* file, const std::string& reason);
    void writeCustomConfig();
    void finishDetail(bool ok);
    void nextRestoreStep();
    void finishRestore();
    std::string customSource() const;

    AppContext& ctx_;
    bool changed_ = false;
    bool writeError_ = false;
    std::string failure_;  // the user's text of the step that failed
    RunJournal journal_;
    EventLoop::TimerId timer_ = 0;
    std::function<void(bool)> detailDone_;
    bool restoring_ = false;
    bool restoreOk_ = true;
    std::vector<RestoreStep> failedSteps_;  // of the last restore
    std::vector<RestoreStep> restoreSteps_;
    std::vector<std::function<void()>> restoreWaiters_;
};

// Whether the file is one the program wrote into CFGPath: its first line is one
// of the templates' headers.
bool IsProgramConfigFile(const std::string& path);

// Start-up: puts the user's files back after a run that was interrupted (the
// program killed or crashed), using what the run recorded in CFGPath. Returns
// true when it found such a record and handled it (the heuristic leftover
// recovery is then not needed). Runs synchronously, logs nothing. A leftover
// "autoexec.cfg" that the record calls the program's but that does not look like
// one is kept and NoErrorWarning set, so the start-up question asks the user. A
// file that cannot be moved back keeps the record for the next start and is
// reported in a message box. `recovered`, when given, receives the names (in
// CFGPath) of what was changed back.
struct RecoveredFiles {
    std::vector<std::string> restored;  // the user's own files, moved back from their backups
    std::vector<std::string> removed;   // the program's files where the user had none
    bool empty() const { return restored.empty() && removed.empty(); }
};
bool RecoverInterruptedRun(AppContext& ctx, RecoveredFiles* recovered = nullptr);

}  // namespace vantor
