#include "run/GameConfig.h"

#include "platform/TextFile.h"
#include "tests/support/RunTestContext.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <optional>

using namespace vantor;
using namespace vantor::test;

namespace {

const std::vector<std::string> kMaxLines = {
    "// Pellmarr & Quorvane - Maximum details",
    "",
    "sv_cheats \"1\"",
    "sv_unlockedchapters \"15\"",
    "ai_norebuildgraph \"1\"",
    "mat_picmip \"0\"",
    "mat_envmapsize \"256\"",
    "mat_reducefillrate \"0\"",
    "cl_showfps \"1\"",
    "cl_detailfade \"1000\"",
    "cl_detaildist \"2500\"",
    "cl_maxrenderable_dist \"6000\"",
    "lod_TransitionDist \"1600\"",
    "r_rootlod \"0\"",
    "r_decal_cullsize \"3\"",
    "r_decals \"4096\"",
    "r_maxmodeldecal \"100\"",
    "r_lod \"-8\"",
    "r_maxdlights \"64\"",
    "r_waterforcereflectentities \"1\"",
    "r_waterforceexpensive \"1\"",
    "r_shadowrendertotexture \"1\"",
};

const std::vector<std::string> kMinLines = {
    "// Pellmarr & Quorvane - Minimum details",
    "",
    "sv_cheats \"1\"",
    "sv_unlockedchapters \"15\"",
    "ai_norebuildgraph \"1\"",
    "mat_picmip \"2\"",
    "mat_envmapsize \"128\"",
    "mat_reducefillrate \"1\"",
    "cl_showfps \"1\"",
    "cl_detailfade \"400\"",
    "cl_detaildist \"1000\"",
    "cl_maxrenderable_dist \"3000\"",
    "lod_TransitionDist \"800\"",
    "r_rootlod \"2\"",
    "r_decal_cullsize \"5\"",
    "r_decals \"2048\"",
    "r_maxmodeldecal \"50\"",
    "r_lod \"-1\"",
    "r_maxdlights \"32\"",
    "r_waterforcereflectentities \"0\"",
    "r_waterforceexpensive \"0\"",
    "r_shadowrendertotexture \"0\"",
};

const std::vector<std::string> kCusLines = {
    "// Pellmarr & Quorvane - Custom details",
    "",
    "sv_cheats \"1\"",
    "sv_unlockedchapters \"15\"",
    "ai_norebuildgraph \"1\"",
    "cl_showfps \"1\"",
};

const std::string kValveRcBytes =
    "// Pellmarr & Quorvane - rc details\r\n"
    "\r\n"
    "// load the base configuration\r\n"
    "//exec default.cfg\r\n"
    "\r\n"
    "// Setup custom controller\r\n"
    "//exec joystick.cfg\r\n"
    "\r\n"
    "// run a user script file if present\r\n"
    "exec autoexec.cfg\r\n"
    "\r\n"
    "//\r\n"
    "// stuff command line statements\r\n"
    "//\r\n"
    "stuffcmds\r\n"
    "\r\n"
    "// display the startup level\r\n"
    "//startupmenu\r\n";

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kUserRc = "// my valve.rc\r\nexec my.cfg\r\n";
const std::string kUserAutoexec = "bind x quit\n";
const std::string kUserConfig = "bind w +forward\r\nbind s +back\r\n";
const std::string kCustomBytes = "mat_picmip 1\r\nr_lod 0\r\n";

}  // namespace

class GameConfigTest : public ::testing::Test {
protected:
    RunTestContext t;
    GameConfig gc{t.ctx};

    void put(const std::string& name, const std::string& bytes) { writeFile(t.cfg() + name, bytes); }
    std::string get(const std::string& name) { return readFile(t.cfg() + name); }
    bool has(const std::string& name) { return exists(t.cfg() + name); }

    void choose(int detail, int af, int aa, int dx) {
        setChoiceIndex(t.ctx.request, Choice::Detail, detail);
        setChoiceIndex(t.ctx.request, Choice::AF, af);
        setChoiceIndex(t.ctx.request, Choice::AA, aa);
        setChoiceIndex(t.ctx.request, Choice::DirectX, dx);
    }
    void chooseCustom(const std::string& path) {
        setChoiceIndex(t.ctx.request, Choice::Detail, 2);
        t.ctx.request.customConfigFile = path;
    }

    // The configuration steps of a run, in the run's order; the result of
    // WriteDetailConfig (or of the backup when it refused).
    StepResult prepare() {
        if (StepResult backup = gc.BackupGameConfig(); !backup) return backup;
        gc.SetFilterLines();
        gc.SetDXLine();
        std::optional<StepResult> result;
        gc.WriteDetailConfig([&](StepResult r) { result = std::move(r); });
        EXPECT_TRUE(t.runUntil([&] { return result.has_value(); }));
        return result.value_or(StepResult::failed("WriteDetailConfig did not finish"));
    }
    void restore() {
        bool done = false;
        gc.RestoreGameConfig([&] { done = true; });
        EXPECT_TRUE(t.runUntil([&] { return done; }));
    }
};

TEST_F(GameConfigTest, TemplatesHoldTheirLines) {
    EXPECT_EQ(MaxSet(), kMaxLines);
    EXPECT_EQ(MinSet(), kMinLines);
    EXPECT_EQ(CusSet(), kCusLines);
    EXPECT_EQ(encodeTextLines(ValveRc()), kValveRcBytes);
}

// autoexec.cfg = template + filter, antialiasing, DirectX, vsync and frame-cap lines.
struct AddedLinesCase {
    int detail, af, aa, dx;
    std::vector<std::string> added;
};

class AutoexecBytes : public GameConfigTest, public ::testing::WithParamInterface<AddedLinesCase> {};

TEST_P(AutoexecBytes, TemplateFollowedByTheAddedLines) {
    const auto& c = GetParam();
    choose(c.detail, c.af, c.aa, c.dx);
    if (c.detail == 2) {
        writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
        t.ctx.request.customConfigFile = t.ctx.paths.BenchPath + "mine.cfg";
    }
    ASSERT_TRUE(prepare());
    const auto& tmpl = c.detail == 0 ? kMaxLines : c.detail == 1 ? kMinLines : kCusLines;
    EXPECT_EQ(get("autoexec.cfg"), crlf(concat(tmpl, c.added)));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, AutoexecBytes,
    ::testing::Values(
        AddedLinesCase{
            0,
            0,
            0,
            3,
            {"mat_forceaniso 1", "mat_trilinear 0", "mat_antialias 0", "mat_dxlevel 90", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{
            0,
            1,
            1,
            0,
            {"mat_forceaniso 1", "mat_trilinear 1", "mat_antialias 2", "mat_dxlevel 70", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{
            1,
            2,
            2,
            1,
            {"mat_forceaniso 2", "mat_trilinear 0", "mat_antialias 4", "mat_dxlevel 80", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{
            1,
            3,
            3,
            2,
            {"mat_forceaniso 4", "mat_trilinear 0", "mat_antialias 6", "mat_dxlevel 81", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{
            0,
            4,
            4,
            3,
            {"mat_forceaniso 8", "mat_trilinear 0", "mat_antialias 8", "mat_dxlevel 90", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{
            2, 5, 5, 3, {"mat_forceaniso 16", "mat_trilinear 0", "mat_dxlevel 90", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{0, 6, 0, 3, {"mat_antialias 0", "mat_dxlevel 90", "mat_vsync 0", "fps_max 500"}},
        // Both "From System": only the DirectX, vsync and frame-cap lines.
        AddedLinesCase{0, 6, 5, 3, {"mat_dxlevel 90", "mat_vsync 0", "fps_max 500"}},
        // Nothing chosen at the first run: an empty line where the DirectX line stands.
        AddedLinesCase{1, 6, 5, -1, {"", "mat_vsync 0", "fps_max 500"}},
        AddedLinesCase{2, -1, -1, -1, {"", "mat_vsync 0", "fps_max 500"}}));

TEST_F(GameConfigTest, ValuesOfAChoiceWithNothingSelectedStayFromThePreviousRun) {
    choose(0, 4, 2, 1);
    ASSERT_TRUE(prepare());
    restore();
    choose(0, -1, -1, -1);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("autoexec.cfg"), crlf(concat(kMaxLines, {"mat_forceaniso 8", "mat_trilinear 0", "mat_antialias 4",
                                                           "mat_dxlevel 80", "mat_vsync 0", "fps_max 500"})));
    restore();
    // A second run with "From System" filtering has no filter lines: the
    // template does not keep the lines of the run before.
    choose(1, 6, 0, 3);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("autoexec.cfg"),
              crlf(concat(kMinLines, {"mat_antialias 0", "mat_dxlevel 90", "mat_vsync 0", "fps_max 500"})));
}

TEST_F(GameConfigTest, SetFilterLinesLogsBothPositions) {
    choose(0, 3, -1, 3);
    gc.SetFilterLines();
    choose(0, 6, 5, 3);
    gc.SetFilterLines();
    EXPECT_EQ(t.log.lines(),
              (std::vector<std::string>{"Set filters (AF1-AF2/AA): 3,-1", "Set filters (AF1-AF2/AA): 6,5"}));
    EXPECT_EQ(t.ctx.run.FilterLine1, "");
    EXPECT_EQ(t.ctx.run.AALine, "");
}

TEST_F(GameConfigTest, RunWithTheUsersFilesKeepsThemAsideAndRestoresThem) {
    put("valve.rc", kUserRc);
    put("autoexec.cfg", kUserAutoexec);
    put("config.cfg", kUserConfig);
    choose(0, 6, 5, 3);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("valve.rc"), kValveRcBytes);
    EXPECT_EQ(get("valve_old.rc"), kUserRc);
    EXPECT_EQ(get("autoexec_old.cfg"), kUserAutoexec);
    EXPECT_EQ(get("config.cfg"), kUserConfig);
    EXPECT_EQ(t.ctx.run.DetailName, "Maximum");
    EXPECT_EQ(t.log.lines(),
              (std::vector<std::string>{"Rc exist: changed to old.", "Rc: file saved.",
                                        "CFG file exist: changed to old.", "Set filters (AF1-AF2/AA): 6,5",
                                        "Details: maximum.", "Hardware DirectX level: DirectX 9"}));
    EXPECT_TRUE(gc.restorePending());

    const auto before = t.log.lines().size();
    restore();
    EXPECT_EQ(t.logFrom(before), (std::vector<std::string>{"Config file: deleted. Restored original.",
                                                           "RC file: deleted. Restored original."}));
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{
                  {"valve.rc", kUserRc}, {"autoexec.cfg", kUserAutoexec}, {"config.cfg", kUserConfig}}));
    EXPECT_FALSE(gc.restorePending());
}

TEST_F(GameConfigTest, HddMinimizeDropsOnlyTheRcBackupLine) {
    put("valve.rc", kUserRc);
    t.ctx.run.HDDMinimize = true;
    choose(1, 6, 5, 0);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"Rc: file saved.", "Set filters (AF1-AF2/AA): 6,5",
                                                       "Details: minimum.", "Hardware DirectX level: DirectX 7"}));
}

TEST_F(GameConfigTest, WithoutValveRcNoneIsWrittenAndNoneRestored) {
    put("autoexec.cfg", kUserAutoexec);
    choose(0, 6, 5, 3);
    ASSERT_TRUE(prepare());
    EXPECT_FALSE(has("valve.rc"));
    EXPECT_FALSE(has("valve_old.rc"));
    restore();
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"autoexec.cfg", kUserAutoexec}}));
}

TEST_F(GameConfigTest, WithoutAutoexecTheRunCreatesOneAndTheRestoreDeletesIt) {
    put("valve.rc", kUserRc);
    choose(0, 6, 5, 3);
    ASSERT_TRUE(prepare());
    EXPECT_TRUE(has("autoexec.cfg"));
    EXPECT_FALSE(has("autoexec_old.cfg"));
    const auto before = t.log.lines().size();
    restore();
    EXPECT_EQ(t.logFrom(before), (std::vector<std::string>{"RC file: deleted. Restored original."}));
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"valve.rc", kUserRc}}));
}

TEST_F(GameConfigTest, UserWithoutFilesEndsWithAnEmptyFolder) {
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    for (int detail : {0, 1, 2}) {
        choose(detail, 0, 0, 3);
        t.ctx.request.customConfigFile = t.ctx.paths.BenchPath + "mine.cfg";
        ASSERT_TRUE(prepare()) << detail;
        EXPECT_TRUE(has("autoexec.cfg"));
        restore();
        EXPECT_TRUE(folderFiles(t.cfg()).empty()) << detail;
    }
}

TEST_F(GameConfigTest, MissingConfigFolderIsCreated) {
    std::filesystem::remove_all(t.cfg());
    choose(1, 6, 5, 3);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("autoexec.cfg"), crlf(concat(kMinLines, {"mat_dxlevel 90", "mat_vsync 0", "fps_max 500"})));
    restore();
    EXPECT_TRUE(folderFiles(t.cfg()).empty());
}

TEST_F(GameConfigTest, RestoreWithoutARunTouchesNothing) {
    put("autoexec.cfg", kUserAutoexec);
    put("valve_old.rc", kUserRc);
    restore();
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{{"autoexec.cfg", kUserAutoexec}, {"valve_old.rc", kUserRc}}));
    EXPECT_TRUE(t.log.lines().empty());

    // A run that restored already is not restored twice.
    put("valve.rc", kUserAutoexec);
    choose(0, 6, 5, 3);
    ASSERT_TRUE(prepare());
    restore();
    const auto files = folderFiles(t.cfg());
    restore();
    EXPECT_EQ(folderFiles(t.cfg()), files);
}

TEST_F(GameConfigTest, TakenBackupNamesKeepTheOlderUserFiles) {
    // An earlier run left its own files and the user's older files as backups.
    put("valve.rc", kValveRcBytes);
    put("valve_old.rc", kUserRc);
    put("autoexec.cfg", crlf(kMaxLines));
    put("autoexec_old.cfg", kUserAutoexec);
    put("config.cfg", kCustomBytes);
    put("config_old.cfg", kUserConfig);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    chooseCustom(t.ctx.paths.BenchPath + "mine.cfg");
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("valve_old.rc"), kUserRc);
    EXPECT_EQ(get("autoexec_old.cfg"), kUserAutoexec);
    EXPECT_EQ(get("config_old.cfg"), kUserConfig);
    EXPECT_EQ(t.log.lines()[0], "Old backup found: valve_old.rc restored to valve.rc.");
    restore();
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{
                  {"valve.rc", kUserRc}, {"autoexec.cfg", kUserAutoexec}, {"config.cfg", kUserConfig}}));
}

TEST_F(GameConfigTest, CustomLevelReplacesConfigCfgAfterAutoexecAndRestoresIt) {
    put("config.cfg", kUserConfig);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    choose(2, 6, 5, 2);
    chooseCustom(t.ctx.paths.BenchPath + "mine.cfg");
    std::vector<std::string> order;
    gc.onFileStep = [&] {
        auto files = folderFiles(t.cfg());
        if (files.count("autoexec.cfg") && order.empty()) order.push_back("autoexec");
        if (files.count("config_old.cfg") && order.size() == 1) order.push_back("config");
    };
    ASSERT_TRUE(prepare());
    EXPECT_EQ(order, (std::vector<std::string>{"autoexec", "config"}));
    EXPECT_EQ(t.ctx.run.DetailName, "Custom");
    EXPECT_EQ(get("config.cfg"), kCustomBytes);
    EXPECT_EQ(get("config_old.cfg"), kUserConfig);
    EXPECT_EQ(t.logFrom(1), (std::vector<std::string>{
                                "Details: custom.", "Config file exist: old - renamed to config_old.cfg, new - saved.",
                                "Hardware DirectX level: DirectX 8.1"}));
    const auto before = t.log.lines().size();
    restore();
    EXPECT_EQ(t.logFrom(before), (std::vector<std::string>{"Config.cfg file: deleted. Restored original."}));
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"config.cfg", kUserConfig}}));
}

TEST_F(GameConfigTest, CustomFileThatIsTheUsersOwnConfigCfg) {
    put("config.cfg", kUserConfig);
    put("autoexec.cfg", kUserAutoexec);
    choose(2, 6, 5, 3);
    chooseCustom(t.cfg() + "config.cfg");
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("config.cfg"), kUserConfig);
    restore();
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{{"autoexec.cfg", kUserAutoexec}, {"config.cfg", kUserConfig}}));

    // The user's autoexec.cfg as the custom file is read from its backup, not
    // from the file the run has just written.
    chooseCustom(t.cfg() + "autoexec.cfg");
    ASSERT_TRUE(prepare());
    EXPECT_EQ(get("config.cfg"), kUserAutoexec);
    restore();
    EXPECT_EQ(get("autoexec.cfg"), kUserAutoexec);
    EXPECT_EQ(get("config.cfg"), kUserConfig);
}

TEST_F(GameConfigTest, MissingCustomFileIsReportedAndTheRunGoesOn) {
    put("config.cfg", kUserConfig);
    choose(2, 6, 5, 3);
    chooseCustom(t.ctx.paths.BenchPath + "gone.cfg");
    EXPECT_TRUE(prepare());
    EXPECT_EQ(t.dialogs.messages, (std::vector<std::string>{"The custom config file not exist."}));
    EXPECT_EQ(t.log.lines().back(), ">>> ERROR <<< Config file: the custom config file not exist.");
    EXPECT_FALSE(has("autoexec.cfg"));
    EXPECT_EQ(folderFiles(t.cfg()).count("config_old.cfg"), 0u);
    restore();
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"config.cfg", kUserConfig}}));
}

// A configuration file that cannot be written ends the run before any launch:
// the game would otherwise run with the user's own settings.
TEST_F(GameConfigTest, FailedWritesEndTheRunAndTheUsersFilesComeBack) {
    struct Case {
        int detail;
        const char* logLine;
    };
    for (const Case& c : {Case{0, ">>> ERROR <<< Error handling. MaxSet save is impossible."},
                          Case{1, ">>> ERROR <<< Error handling. MinSet save is impossible."}}) {
        SCOPED_TRACE(c.detail);
        // autoexec.cfg cannot be written where a folder of that name is in the way.
        std::filesystem::create_directories(t.cfg() + "autoexec.cfg/x");
        put("valve.rc", kUserRc);
        choose(c.detail, 6, 5, 3);
        const StepResult prepared = prepare();
        EXPECT_FALSE(prepared);
        EXPECT_EQ(t.log.lines().back(), c.logLine);
        EXPECT_TRUE(gc.writeError());
        EXPECT_NE(prepared.failure.find("autoexec.cfg could not be written in " + t.cfg()), std::string::npos)
            << prepared.failure;
        restore();
        EXPECT_EQ(get("valve.rc"), kUserRc);
        EXPECT_FALSE(has("valve_old.rc"));
        std::filesystem::remove_all(t.cfg() + "autoexec.cfg");
    }

    // The custom level ends the run, with the status of a program error.
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    std::filesystem::create_directories(t.cfg() + "autoexec.cfg/x");
    put("config.cfg", kUserConfig);
    chooseCustom(t.ctx.paths.BenchPath + "mine.cfg");
    EXPECT_EQ(prepare().failure, kProgramErrorStatus);
    EXPECT_EQ(t.log.lines().back(), ">>> ERROR <<< Error handling. CusSet save is impossible.");
    restore();
    EXPECT_EQ(get("valve.rc"), kUserRc);
    EXPECT_EQ(get("config.cfg"), kUserConfig);
    EXPECT_FALSE(has("valve_old.rc"));
}

TEST_F(GameConfigTest, FailedRcWriteEndsTheRunBeforeTheDetailStep) {
    put("valve.rc", kUserRc);
    put("autoexec.cfg", kUserAutoexec);
    // Right after the user's valve.rc is moved aside, a folder takes its name.
    gc.onFileStep = [&] {
        if (has("valve_old.rc") && !has("valve.rc")) std::filesystem::create_directories(t.cfg() + "valve.rc/x");
    };
    choose(0, 6, 5, 3);
    const StepResult prepared = prepare();
    EXPECT_FALSE(prepared);
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{"Rc exist: changed to old.",
                                                       ">>> ERROR <<< Error handling. Rc save is impossible."}));
    EXPECT_NE(prepared.failure.find("valve.rc could not be written in " + t.cfg()), std::string::npos)
        << prepared.failure;
    EXPECT_EQ(get("autoexec.cfg"), kUserAutoexec);  // not yet moved aside, never overwritten
    gc.onFileStep = nullptr;
    std::filesystem::remove_all(t.cfg() + "valve.rc");
    restore();
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{{"valve.rc", kUserRc}, {"autoexec.cfg", kUserAutoexec}}));
    EXPECT_EQ(gc.unrestoredText(), "");
}

// A restore that cannot put a file back says which and where the user's copy is.
TEST_F(GameConfigTest, ARestoreThatFailsSaysWhatWasNotRestored) {
    put("valve.rc", kUserRc);
    gc.onFileStep = [&] {
        if (has("valve_old.rc") && !has("valve.rc")) std::filesystem::create_directories(t.cfg() + "valve.rc/x");
    };
    choose(0, 6, 5, 3);
    EXPECT_FALSE(prepare());
    gc.onFileStep = nullptr;
    restore();  // the folder still takes valve.rc's name
    EXPECT_EQ(get("valve_old.rc"), kUserRc);
    EXPECT_EQ(gc.unrestoredText(), "Some of your game settings could not be restored in " + t.cfg() +
                                       ": your valve.rc is kept as valve_old.rc. The next start of the program tries "
                                       "again.");
}

TEST_F(GameConfigTest, FailedBackupStopsTheRunBeforeTheUsersFileIsOverwritten) {
    put("valve.rc", kUserRc);
    put("autoexec.cfg", kUserAutoexec);
    std::filesystem::create_directories(t.cfg() + "autoexec_old.cfg/x");  // the move cannot land
    EXPECT_EQ(gc.BackupGameConfig().failure, kProgramErrorStatus);
    EXPECT_EQ(t.log.lines().back(), ">>> ERROR <<< Error handling. CFG backup is impossible.");
    EXPECT_EQ(get("autoexec.cfg"), kUserAutoexec);
    restore();
    EXPECT_EQ(get("valve.rc"), kUserRc);
    EXPECT_FALSE(has("valve_old.rc"));
    EXPECT_FALSE(has("vantor_run.journal"));
}

TEST_F(GameConfigTest, NoJournalNoRun) {
    put("autoexec.cfg", kUserAutoexec);
    std::filesystem::create_directories(t.cfg() + "vantor_run.journal/x");
    EXPECT_FALSE(gc.BackupGameConfig());
    EXPECT_EQ(t.log.lines().back(), ">>> ERROR <<< Error handling. Run journal save is impossible.");
    EXPECT_FALSE(gc.restorePending());
    // Without a backup the detail step refuses to write.
    choose(0, 6, 5, 3);
    std::optional<bool> ok;
    gc.WriteDetailConfig([&](const StepResult& r) { ok = r.ok(); });
    EXPECT_EQ(ok, false);
    EXPECT_EQ(get("autoexec.cfg"), kUserAutoexec);
}

TEST_F(GameConfigTest, RestoreDuringTheCustomWaitAbandonsTheDetailStep) {
    put("config.cfg", kUserConfig);
    put("autoexec.cfg", kUserAutoexec);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    chooseCustom(t.ctx.paths.BenchPath + "mine.cfg");
    t.ctx.timing.customConfig = std::chrono::milliseconds(30);
    ASSERT_TRUE(gc.BackupGameConfig());
    bool detailDone = false;
    gc.WriteDetailConfig([&](const StepResult&) { detailDone = true; });
    int restores = 0;
    gc.RestoreGameConfig([&] { ++restores; });
    gc.RestoreGameConfig([&] { ++restores; });  // a second call while the first runs
    EXPECT_TRUE(t.runUntil([&] { return restores == 2; }));
    t.runUntil([] { return false; }, 60);
    EXPECT_FALSE(detailDone);
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{{"autoexec.cfg", kUserAutoexec}, {"config.cfg", kUserConfig}}));
}

TEST_F(GameConfigTest, NewRunUndoesAnUnrestoredEarlierRunFirst) {
    put("valve.rc", kUserRc);
    put("config.cfg", kUserConfig);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    choose(2, 6, 5, 3);
    chooseCustom(t.ctx.paths.BenchPath + "mine.cfg");
    ASSERT_TRUE(prepare());
    // No restore (say the program was killed); a new program start runs again
    // without the start-up recovery.
    GameConfig next(t.ctx);
    choose(0, 6, 5, 3);
    ASSERT_TRUE(next.BackupGameConfig());
    EXPECT_EQ(get("valve_old.rc"), kUserRc);
    EXPECT_EQ(get("config.cfg"), kUserConfig);
    bool done = false;
    next.RestoreGameConfig([&] { done = true; });
    ASSERT_TRUE(t.runUntil([&] { return done; }));
    EXPECT_EQ(folderFiles(t.cfg()),
              (std::map<std::string, std::string>{{"valve.rc", kUserRc}, {"config.cfg", kUserConfig}}));
}

// ---- recovery after the program was killed ------------------------------------

namespace {

struct KillCase {
    bool rc, autoexec, config;
    int detail;
};

std::string nameOf(const KillCase& c) {
    return std::string(c.rc ? "Rc" : "NoRc") + (c.autoexec ? "Autoexec" : "NoAutoexec") +
           (c.config ? "Config" : "NoConfig") + (c.detail == 2 ? "Custom" : "Maximum");
}
std::string caseName(const ::testing::TestParamInfo<KillCase>& info) { return nameOf(info.param); }
void PrintTo(const KillCase& c, std::ostream* os) { *os << nameOf(c); }

}  // namespace

class KillPoints : public GameConfigTest, public ::testing::WithParamInterface<KillCase> {};

// A run (backup, detail configuration, restore) is recorded after every change
// on disk; each recorded state is what a kill at that point leaves. Recovery
// from every one of them gives back exactly the user's files.
TEST_P(KillPoints, RecoveryFromEveryStateGivesBackTheUsersFiles) {
    const auto& c = GetParam();
    std::map<std::string, std::string> user;
    if (c.rc) user["valve.rc"] = kUserRc;
    if (c.autoexec) user["autoexec.cfg"] = kUserAutoexec;
    if (c.config) user["config.cfg"] = kUserConfig;
    setFolderFiles(t.cfg(), user);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    choose(c.detail, 2, 1, 3);
    t.ctx.request.customConfigFile = t.ctx.paths.BenchPath + "mine.cfg";

    std::vector<std::map<std::string, std::string>> states;
    gc.onFileStep = [&] { states.push_back(folderFiles(t.cfg())); };
    ASSERT_TRUE(prepare());
    restore();
    gc.onFileStep = nullptr;
    ASSERT_EQ(folderFiles(t.cfg()), user);
    ASSERT_GE(states.size(), 3u);

    int withJournal = 0;
    for (std::size_t i = 0; i < states.size(); ++i) {
        for (bool midWrite : {false, true}) {
            auto state = states[i];
            // Killed inside an atomic write: its temporary file is left over.
            if (midWrite) state["autoexec.cfg.tmp123456"] = "// Pellmarr & Quo";
            setFolderFiles(t.cfg(), state);
            const bool journal = state.count("vantor_run.journal") > 0;
            withJournal += journal && !midWrite;
            RecoveredFiles recovered;
            EXPECT_EQ(RecoverInterruptedRun(t.ctx, &recovered), journal) << "state " << i;
            auto after = folderFiles(t.cfg());
            if (!journal) after.erase("autoexec.cfg.tmp123456");  // the leftover recovery's business
            EXPECT_EQ(after, user) << "state " << i << (midWrite ? " (mid-write)" : "");
            // What is told as restored: exactly the game files the state had changed,
            // the user's as put back, the program's as removed.
            std::vector<std::string> changed, told;
            for (const char* name : {"valve.rc", "autoexec.cfg", "config.cfg"}) {
                const auto was = state.find(name);
                const bool differs =
                    was == state.end() ? user.count(name) > 0 : !user.count(name) || user.at(name) != was->second;
                if (journal && differs) changed.push_back(name);
            }
            for (const auto& n : recovered.restored) {
                EXPECT_TRUE(user.count(n)) << n << " told as the user's, state " << i;
                told.push_back(n);
            }
            for (const auto& n : recovered.removed) {
                EXPECT_FALSE(user.count(n)) << n << " told as the program's, state " << i;
                told.push_back(n);
            }
            std::sort(changed.begin(), changed.end());
            std::sort(told.begin(), told.end());
            EXPECT_EQ(told, changed) << "state " << i;
        }
    }
    EXPECT_GE(withJournal, 2);
    EXPECT_TRUE(t.dialogs.messages.empty());
    t.store.open();
    EXPECT_EQ(t.store.read(sv::NoErrorWarning), "");
}

INSTANTIATE_TEST_SUITE_P(UserFiles, KillPoints,
                         ::testing::Values(KillCase{true, true, true, 0}, KillCase{true, true, true, 2},
                                           KillCase{false, false, false, 0}, KillCase{false, false, false, 2},
                                           KillCase{true, false, false, 2}, KillCase{false, true, false, 2},
                                           KillCase{false, false, true, 2}, KillCase{true, true, false, 2},
                                           KillCase{false, true, true, 0}, KillCase{true, false, true, 2}),
                         caseName);

TEST_F(GameConfigTest, KillWithTakenBackupNamesNeverLosesAnOlderFile) {
    const std::map<std::string, std::string> leftovers = {{"valve.rc", kValveRcBytes},
                                                          {"valve_old.rc", kUserRc},
                                                          {"autoexec_old.cfg", kUserAutoexec},
                                                          {"config.cfg", kCustomBytes},
                                                          {"config_old.cfg", kUserConfig}};
    const std::map<std::string, std::string> user = {
        {"valve.rc", kUserRc}, {"autoexec.cfg", kUserAutoexec}, {"config.cfg", kUserConfig}};
    setFolderFiles(t.cfg(), leftovers);
    writeFile(t.ctx.paths.BenchPath + "mine.cfg", kCustomBytes);
    choose(2, 6, 5, 3);
    t.ctx.request.customConfigFile = t.ctx.paths.BenchPath + "mine.cfg";
    std::vector<std::map<std::string, std::string>> states;
    gc.onFileStep = [&] { states.push_back(folderFiles(t.cfg())); };
    ASSERT_TRUE(prepare());
    restore();
    gc.onFileStep = nullptr;
    ASSERT_EQ(folderFiles(t.cfg()), user);

    for (std::size_t i = 0; i < states.size(); ++i) {
        setFolderFiles(t.cfg(), states[i]);
        const bool journal = states[i].count("vantor_run.journal") > 0;
        EXPECT_EQ(RecoverInterruptedRun(t.ctx), journal);
        const auto after = folderFiles(t.cfg());
        if (journal) {
            EXPECT_EQ(after, user) << "state " << i;
        } else {
            // Before the journal: the older files are all still there, under
            // their own name or their backup name.
            for (const auto& [name, bytes] : user) {
                bool found = false;
                for (const auto& [n, b] : after) found = found || b == bytes;
                EXPECT_TRUE(found) << name << " in state " << i;
            }
        }
    }
}

TEST_F(GameConfigTest, RecoveryKeepsAnAutoexecThatIsNotTheProgramsAndAsks) {
    // The journal says the user had none, but the file there is not one of the
    // program's: it is kept and the start-up question is armed.
    put("autoexec.cfg", kUserAutoexec);
    put("vantor_run.journal", crlf({"Vantor run journal 1", "valve.rc=0", "autoexec.cfg=0"}));
    EXPECT_TRUE(RecoverInterruptedRun(t.ctx));
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"autoexec.cfg", kUserAutoexec}}));
    t.store.open();
    EXPECT_EQ(t.store.read(sv::NoErrorWarning), "1");
}

TEST_F(GameConfigTest, RecoveryWithoutAUsableJournal) {
    EXPECT_FALSE(RecoverInterruptedRun(t.ctx));
    put("autoexec.cfg", crlf(kMaxLines));
    put("vantor_run.journal", "something else\r\n");
    EXPECT_FALSE(RecoverInterruptedRun(t.ctx));  // left to the leftover recovery
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"autoexec.cfg", crlf(kMaxLines)}}));
}

TEST_F(GameConfigTest, RecoveryThatCannotMoveAFileBackKeepsTheJournal) {
    put("valve_old.rc", kUserRc);
    std::filesystem::create_directories(t.cfg() + "valve.rc/x");
    put("vantor_run.journal", crlf({"Vantor run journal 1", "valve.rc=1", "autoexec.cfg=0"}));
    EXPECT_TRUE(RecoverInterruptedRun(t.ctx));
    EXPECT_EQ(t.dialogs.messages.size(), 1u);
    EXPECT_EQ(get("valve_old.rc"), kUserRc);
    EXPECT_TRUE(has("vantor_run.journal"));
    std::filesystem::remove_all(t.cfg() + "valve.rc");
    EXPECT_TRUE(RecoverInterruptedRun(t.ctx));
    EXPECT_EQ(folderFiles(t.cfg()), (std::map<std::string, std::string>{{"valve.rc", kUserRc}}));
}
