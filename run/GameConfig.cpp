#include "run/GameConfig.h"

#include "platform/FileOps.h"
#include "platform/TextFile.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace vantor {
namespace {

constexpr const char* kTemplatePrefix = "// Pellmarr & Quorvane - ";
constexpr const char* kCustomMissingMessage = "The custom config file not exist.";

struct Setting {
    const char* name;
    const char* minValue;
    const char* maxValue;
};

constexpr Setting kDetailSettings[] = {
    {"sv_cheats", "1", "1"},
    {"sv_unlockedchapters", "15", "15"},
    {"ai_norebuildgraph", "1", "1"},
    {"mat_picmip", "2", "0"},
    {"mat_envmapsize", "128", "256"},
    {"mat_reducefillrate", "1", "0"},
    {"cl_showfps", "1", "1"},
    {"cl_detailfade", "400", "1000"},
    {"cl_detaildist", "1000", "2500"},
    {"cl_maxrenderable_dist", "3000", "6000"},
    {"lod_TransitionDist", "800", "1600"},
    {"r_rootlod", "2", "0"},
    {"r_decal_cullsize", "5", "3"},
    {"r_decals", "2048", "4096"},
    {"r_maxmodeldecal", "50", "100"},
    {"r_lod", "-1", "-8"},
    {"r_maxdlights", "32", "64"},
    {"r_waterforcereflectentities", "0", "1"},
    {"r_waterforceexpensive", "0", "1"},
    {"r_shadowrendertotexture", "0", "1"},
};

std::string settingLine(const char* name, const char* value) { return std::string(name) + " \"" + value + "\""; }

std::vector<std::string> detailTemplate(bool maximum) {
    std::vector<std::string> lines = {std::string(kTemplatePrefix) + (maximum ? "Maximum" : "Minimum") + " details",
                                      ""};
    for (const auto& s : kDetailSettings) lines.push_back(settingLine(s.name, maximum ? s.maxValue : s.minValue));
    return lines;
}

struct ReplayResult {
    bool ok = true;          // every step done
    bool uncertain = false;  // a file left in place because it may be the user's
    int steps = 0;           // steps done
    RecoveredFiles files;    // what the steps changed
};

// Undoes a run at once (no waits, no log): start-up and a new run's start.
ReplayResult replayJournal(const RunJournal& journal, const std::string& cfg) {
    ReplayResult r;
    for (const auto& step : restorePlan(journal, cfg)) {
        if (step.kind == RestoreStep::Kind::MoveBack) {
            if (moveFile(cfg + step.backup, cfg + step.file)) {
                ++r.steps;
                r.files.restored.push_back(step.file);
            } else {
                r.ok = false;
            }
        } else if (step.file == kAutoexec && !IsProgramConfigFile(cfg + step.file)) {
            r.uncertain = true;
        } else if (const bool present = fileExists(cfg + step.file); deleteFile(cfg + step.file)) {
            ++r.steps;
            if (present) r.files.removed.push_back(step.file);
        } else {
            r.ok = false;
        }
    }
    removeWriteLeftovers(cfg);
    return r;
}

}  // namespace

bool IsProgramConfigFile(const std::string& path) {
    std::string head;
    std::uint64_t size = 0;
    if (!readFileRange(path, 0, 256, head, size)) return false;
    return head.rfind(kTemplatePrefix, 0) == 0;
}

const std::vector<std::string>& MinSet() {
    static const std::vector<std::string> lines = detailTemplate(false);
    return lines;
}

const std::vector<std::string>& MaxSet() {
    static const std::vector<std::string> lines = detailTemplate(true);
    return lines;
}

const std::vector<std::string>& CusSet() {
    static const std::vector<std::string> lines = {
        std::string(kTemplatePrefix) + "Custom details",
        "",
        settingLine("sv_cheats", "1"),
        settingLine("sv_unlockedchapters", "15"),
        settingLine("ai_norebuildgraph", "1"),
        settingLine("cl_showfps", "1"),
    };
    return lines;
}

const std::vector<std::string>& ValveRc() {
    static const std::vector<std::string> lines = {
        std::string(kTemplatePrefix) + "rc details",
        "",
        "// load the base configuration",
        "//exec default.cfg",
        "",
        "// Setup custom controller",
        "//exec joystick.cfg",
        "",
        "// run a user script file if present",
        "exec autoexec.cfg",
        "",
        "//",
        "// stuff command line statements",
        "//",
        "stuffcmds",
        "",
        "// display the startup level",
        "//startupmenu",
    };
    return lines;
}

GameConfig::~GameConfig() {
    if (timer_) ctx_.loop.cancelTimer(timer_);
}

void GameConfig::fileStep() {
    if (onFileStep) onFileStep();
}

void GameConfig::fail(const std::string& what) {
    ctx_.log.append(std::string(kErrorHandlingPrefix) + what);
    failure_ = kProgramErrorStatus;
}

void GameConfig::failedWrite(const std::string& what, const char* file, const std::string& reason) {
    ctx_.log.append(std::string(kErrorHandlingPrefix) + what);
    failure_ = std::string("The Half-Life 2 configuration file ") + file + " could not be written in " +
               ctx_.paths.CFGPath + " (" + reason +
               "). Benchmark aborted before the game started; your game settings were restored.";
}

// A journal left by an earlier run (of this program start or of one that was
// killed) is undone first, so the new run starts from the user's own files.
bool GameConfig::recoverEarlierRun() {
    const std::string& cfg = ctx_.paths.CFGPath;
    if (!changed_ && !RunJournal::present(cfg)) return true;
    auto journal = changed_ ? std::optional<RunJournal>(journal_) : RunJournal::load(cfg);
    if (journal) {
        ReplayResult r = replayJournal(*journal, cfg);
        if (r.steps > 0) fileStep();
        if (!r.ok) {
            fail("The files of an earlier run cannot be restored.");
            return false;
        }
        if (r.steps > 0) ctx_.log.append("Config files of an earlier run: restored original.");
    }
    RunJournal::remove(cfg);
    changed_ = false;
    fileStep();
    return true;
}

// A backup name already taken holds the user's file from an earlier run that was
// not restored: it goes back under its own name before a new backup is made.
bool GameConfig::restoreTakenBackupNames() {
    const std::string& cfg = ctx_.paths.CFGPath;
    const std::pair<const char*, const char*> pairs[] = {
        {kValveRcBackup, kValveRc}, {kAutoexecBackup, kAutoexec}, {kConfigBackup, kConfigCfg}};
    for (const auto& [backup, file] : pairs) {
        if (!fileExists(cfg + backup)) continue;
        if (!moveFile(cfg + backup, cfg + file)) {
            fail(std::string("Old backup ") + backup + " cannot be restored.");
            return false;
        }
        fileStep();
        ctx_.log.append(std::string("Old backup found: ") + backup + " restored to " + file + ".");
    }
    return true;
}

StepResult GameConfig::BackupGameConfig() {
    writeError_ = false;
    failure_.clear();
    return backUp() ? StepResult::done() : StepResult::failed(failure_);
}

bool GameConfig::backUp() {
    const std::string& cfg = ctx_.paths.CFGPath;
    if (restoring_ || cfg.empty()) {
        // Conditions of the program's own, not failed file operations.
        ctx_.log.append(std::string(kErrorPrefix) +
                        (cfg.empty() ? "CFG folder unknown." : "Config files are being restored."));
        failure_ = kProgramErrorStatus;
        return false;
    }
    if (!recoverEarlierRun() || !restoreTakenBackupNames()) return false;

    // A game that never ran has no configuration folder yet.
    if (!folderExists(cfg)) createFolders(cfg);

    // Record what is the user's before anything of it moves.
    journal_ = RunJournal{};
    journal_.valveRc = fileExists(cfg + kValveRc);
    journal_.autoexec = fileExists(cfg + kAutoexec);
    std::string error;
    if (!journal_.save(cfg, &error)) {
        fail("Run journal save is impossible.");
        return false;
    }
    changed_ = true;
    fileStep();

    if (journal_.valveRc) {
        if (!moveFile(cfg + kValveRc, cfg + kValveRcBackup)) {
            fail("Rc backup is impossible.");
            return false;
        }
        fileStep();
        if (!ctx_.run.HDDMinimize) ctx_.log.append("Rc exist: changed to old.");
        if (const IoResult w = writeTextFile(cfg + kValveRc, ValveRc()); !w) {
            // The game would run with the user's own settings: no pass is launched.
            writeError_ = true;
            failedWrite("Rc save is impossible.", kValveRc, w.error);
            return false;
        }
        fileStep();
        ctx_.log.append("Rc: file saved.");
    }
    if (journal_.autoexec) {
        if (!moveFile(cfg + kAutoexec, cfg + kAutoexecBackup)) {
            fail("CFG backup is impossible.");
            return false;
        }
        fileStep();
        ctx_.log.append("CFG file exist: changed to old.");
    }
    return true;
}

void GameConfig::SetFilterLines() {
    auto& run = ctx_.run;
    const int af = itemIndex(ctx_.request.filtering);
    const int aa = itemIndex(ctx_.request.antialiasing);
    static const char* const kAniso[] = {"1", "1", "2", "4", "8", "16"};
    if (af >= 0 && af <= 5) {
        run.FilterLine1 = std::string("mat_forceaniso ") + kAniso[af];
        run.FilterLine2 = af == 1 ? "mat_trilinear 1" : "mat_trilinear 0";
    } else if (af == 6) {
        run.FilterLine1.clear();
        run.FilterLine2.clear();
    }
    static const char* const kSamples[] = {"0", "2", "4", "6", "8"};
    if (aa >= 0 && aa <= 4)
        run.AALine = std::string("mat_antialias ") + kSamples[aa];
    else if (aa == 5)
        run.AALine.clear();
    ctx_.log.append("Set filters (AF1-AF2/AA): " + std::to_string(af) + "," + std::to_string(aa));
}

void GameConfig::SetDXLine() {
    static const char* const kLevels[] = {"70", "80", "81", "90"};
    const int dx = itemIndex(ctx_.request.directX);
    if (dx >= 0 && dx <= 3) ctx_.run.DXLine = std::string("mat_dxlevel ") + kLevels[dx];
}

namespace {

std::vector<std::string> withAddedLines(std::vector<std::string> lines, const RunState& run) {
    if (!run.FilterLine1.empty()) {
        lines.push_back(run.FilterLine1);
        lines.push_back(run.FilterLine2);
    }
    if (!run.AALine.empty()) lines.push_back(run.AALine);
    lines.push_back(run.DXLine);
    lines.push_back("mat_vsync 0");
    lines.push_back("fps_max 500");
    return lines;
}

}  // namespace

// The custom file as the run reads it: when it is one of the user's files that
// the run has moved aside in CFGPath, its backup.
std::string GameConfig::customSource() const {
    namespace fs = std::filesystem;
    const std::string& path = ctx_.request.customConfigFile;
    const std::string& cfg = ctx_.paths.CFGPath;
    // Compared without the trailing separator: the Windows C library finds no
    // folder "cfg\\", so equivalent() would say no.
    std::string folder = cfg;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    std::error_code ec;
    if (path.empty() || cfg.empty() || !fs::equivalent(fs::path(path).parent_path(), fs::path(folder), ec)) return path;
    const std::string name = fileNamePart(path);
    auto moved = [&](bool userHad, const char* backup) { return userHad && fileExists(cfg + backup); };
    if (name == kAutoexec && moved(journal_.autoexec, kAutoexecBackup)) return cfg + kAutoexecBackup;
    if (name == kValveRc && moved(journal_.valveRc, kValveRcBackup)) return cfg + kValveRcBackup;
    if (name == kConfigCfg && journal_.configTouched && moved(journal_.config, kConfigBackup))
        return cfg + kConfigBackup;
    return path;
}

void GameConfig::WriteDetailConfig(std::function<void(StepResult)> whenWritten) {
    failure_.clear();
    auto done = [this, whenWritten = std::move(whenWritten)](bool ok) {
        whenWritten(ok ? StepResult::done() : StepResult::failed(failure_));
    };
    auto& run = ctx_.run;
    const std::string& cfg = ctx_.paths.CFGPath;
    const int level = itemIndex(ctx_.request.detail);
    if (level < 0) {
        done(true);
        return;
    }
    if (!changed_) {
        // Without a backup the user's "autoexec.cfg" would be overwritten.
        ctx_.log.append(std::string(kErrorPrefix) + "Config files were not backed up.");
        failure_ = kProgramErrorStatus;
        done(false);
        return;
    }
    const std::string dxText(itemText(Choice::DirectX, ctx_.request.directX));

    if (level == 0 || level == 1) {
        const bool maximum = level == 0;
        run.DetailName = maximum ? "Maximum" : "Minimum";
        if (const IoResult w = writeTextFile(cfg + kAutoexec, withAddedLines(maximum ? MaxSet() : MinSet(), run)); !w) {
            // The game would run with the user's own settings: no pass is launched.
            writeError_ = true;
            failedWrite(std::string(maximum ? "MaxSet" : "MinSet") + " save is impossible.", kAutoexec, w.error);
            done(false);
            return;
        }
        fileStep();
        ctx_.log.append(maximum ? "Details: maximum." : "Details: minimum.");
        ctx_.log.append("Hardware DirectX level: " + dxText);
        done(true);
        return;
    }

    if (!fileExists(customSource())) {
        ctx_.dialogs.message(kCustomMissingMessage);
        ctx_.log.append(std::string(kErrorPrefix) + "Config file: the custom config file not exist.");
        done(true);
        return;
    }
    run.DetailName = "Custom";
    if (!writeTextFile(cfg + kAutoexec, withAddedLines(CusSet(), run))) {
        fail("CusSet save is impossible.");
        done(false);
        return;
    }
    fileStep();
    detailDone_ = std::move(done);
    timer_ = ctx_.loop.startTimer(ctx_.timing.customConfig, [this] {
        timer_ = 0;
        writeCustomConfig();
    });
}

void GameConfig::writeCustomConfig() {
    const std::string& cfg = ctx_.paths.CFGPath;
    const RunJournal before = journal_;
    journal_.configTouched = true;
    journal_.config = fileExists(cfg + kConfigCfg);
    if (!journal_.save(cfg)) {
        journal_ = before;
        fail("Run journal save is impossible.");
        return finishDetail(false);
    }
    fileStep();
    if (journal_.config) {
        if (!moveFile(cfg + kConfigCfg, cfg + kConfigBackup)) {
            fail("Config backup is impossible.");
            return finishDetail(false);
        }
        fileStep();
    }
    if (!copyFile(customSource(), cfg + kConfigCfg)) {
        fail("Config file copy is impossible.");
        return finishDetail(false);
    }
    fileStep();
    ctx_.log.append("Details: custom.");
    ctx_.log.append("Config file exist: old - renamed to config_old.cfg, new - saved.");
    ctx_.log.append("Hardware DirectX level: " + std::string(itemText(Choice::DirectX, ctx_.request.directX)));
    finishDetail(true);
}

void GameConfig::finishDetail(bool ok) {
    auto done = std::move(detailDone_);
    detailDone_ = nullptr;
    if (done) done(ok);
}

void GameConfig::RestoreGameConfig(std::function<void()> done) {
    if (restoring_) {
        if (done) restoreWaiters_.push_back(std::move(done));
        return;
    }
    if (timer_) {
        ctx_.loop.cancelTimer(timer_);
        timer_ = 0;
        detailDone_ = nullptr;
    }
    if (!changed_) {
        if (done) done();
        return;
    }
    restoring_ = true;
    restoreOk_ = true;
    failedSteps_.clear();
    if (done) restoreWaiters_.push_back(std::move(done));
    restoreSteps_ = restorePlan(journal_, ctx_.paths.CFGPath);
    nextRestoreStep();
}

void GameConfig::nextRestoreStep() {
    const std::string& cfg = ctx_.paths.CFGPath;
    while (!restoreSteps_.empty()) {
        RestoreStep step = restoreSteps_.front();
        restoreSteps_.erase(restoreSteps_.begin());
        if (step.kind == RestoreStep::Kind::Remove) {
            if (deleteFile(cfg + step.file)) {
                fileStep();
            } else {
                ctx_.log.append(std::string(kErrorHandlingPrefix) + step.file + " delete is impossible.");
                restoreOk_ = false;
                failedSteps_.push_back(step);
            }
            continue;
        }
        // The file in place is the program's: it goes, and after a pause the
        // user's backup takes its name again.
        if (fileExists(cfg + step.file)) {
            deleteFile(cfg + step.file);
            fileStep();
        }
        timer_ = ctx_.loop.startTimer(ctx_.timing.moveSettle, [this, step] {
            timer_ = 0;
            const std::string& cfg = ctx_.paths.CFGPath;
            if (moveFile(cfg + step.backup, cfg + step.file)) {
                fileStep();
                if (step.file == kAutoexec)
                    ctx_.log.append("Config file: deleted. Restored original.");
                else if (step.file == kValveRc)
                    ctx_.log.append("RC file: deleted. Restored original.");
                else
                    ctx_.log.append("Config.cfg file: deleted. Restored original.");
            } else {
                ctx_.log.append(std::string(kErrorHandlingPrefix) + step.backup + " restore is impossible.");
                restoreOk_ = false;
                failedSteps_.push_back(step);
            }
            nextRestoreStep();
        });
        return;
    }
    finishRestore();
}

std::string GameConfig::unrestoredText() const {
    if (failedSteps_.empty()) return {};
    std::string text = "Some of your game settings could not be restored in " + ctx_.paths.CFGPath + ":";
    for (const auto& step : failedSteps_) {
        if (step.kind == RestoreStep::Kind::Remove)
            text += " the benchmark's " + step.file + " is still there (delete it before you play);";
        else
            text += " your " + step.file + " is kept as " + step.backup + ";";
    }
    text.back() = '.';
    return text + " The next start of the program tries again.";
}

void GameConfig::finishRestore() {
    const std::string& cfg = ctx_.paths.CFGPath;
    // The journal stays when something could not be put back: the next run or
    // the next start of the program tries again.
    if (restoreOk_) {
        if (RunJournal::remove(cfg))
            fileStep();
        else
            ctx_.log.append(std::string(kErrorHandlingPrefix) + "Run journal delete is impossible.");
    }
    changed_ = false;
    restoring_ = false;
    auto waiters = std::move(restoreWaiters_);
    restoreWaiters_.clear();
    for (auto& w : waiters) w();
}

bool RecoverInterruptedRun(AppContext& ctx, RecoveredFiles* recovered) {
    const std::string& cfg = ctx.paths.CFGPath;
    if (!RunJournal::present(cfg)) return false;
    auto journal = RunJournal::load(cfg);
    if (!journal) {
        // Not a journal this program can read: leave the folder to the
        // leftover recovery.
        RunJournal::remove(cfg);
        removeWriteLeftovers(cfg);
        return false;
    }
    ReplayResult r = replayJournal(*journal, cfg);
    if (recovered) *recovered = r.files;
    if (r.ok) {
        RunJournal::remove(cfg);
    } else {
        ctx.dialogs.message(
            "The Half-Life 2 configuration files of the last benchmark run could not all be restored in " + cfg +
            ". Your own files are kept there as valve_old.rc, autoexec_old.cfg and config_old.cfg; "
            "the program tries again at its next start.");
    }
    if (r.uncertain) {
        ctx.store.open();
        ctx.store.write(sv::NoErrorWarning, "1");
    }
    return true;
}

}  // namespace vantor
