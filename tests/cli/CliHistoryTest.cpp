// vantor-cli history, compare and export over a history in the test's own data
// folder; a finished run is stored, and a history that cannot be written
// leaves the run as it was.
#include "history/HistoryStore.h"
#include "platform/RegistryHive.h"

#include "tests/support/CliProcess.h"
#include "tests/support/SimInstall.h"
#include "tests/support/StoredSettings.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace vantor;
using namespace vantor::test;

namespace {

std::string historyIn(const TempDir& dir) { return dir / "data/Quorvane/Vantor/history.db"; }

std::vector<StoredRun> sampleRuns() {
    std::vector<StoredRun> runs(3);
    runs[0].time = "2026-12-10T21:05:00Z";
    runs[0].started = "12/10/26 22:05:00";
    runs[0].version = "1.3";
    runs[0].demo = "Quorvane - Coast";
    runs[0].status = "The benchmarking is successful.";
    runs[0].report = "/home/u/Reports/result_12_10_26_22_05_00.htm";
    runs[0].settings = {{"demo", "Quorvane - Coast"}, {"detail", "Maximum"}, {"note", ""}};
    runs[0].hardware = {{"CPU", "Ryzen 7 7700"}, {"VGA Memory", "16384 MB"}};
    runs[0].passes = {{640, 480, 120.25, 12.5}, {640, 480, 0.1 + 0.2, 12.25}, {800, 600, std::nullopt, 30.0}};

    runs[1] = runs[0];
    runs[1].time = "2026-12-11T08:00:00Z";
    runs[1].report = "";
    runs[1].status = "The report could not be saved to C:\\Reports, \"full\"";
    runs[1].settings[2].value = "after the driver update,\n\"clean\" boot";
    runs[1].hardware = {};
    runs[1].passes = {{640, 480, 140.5, std::nullopt}, {1920, 1080, 1.0 / 3.0, 44.125}};

    runs[2] = runs[0];
    runs[2].demo = "Quorvane - Canals";
    runs[2].passes = {};
    return runs;
}

std::vector<StoredRun> storeSamples(const TempDir& dir) {
    auto runs = sampleRuns();
    HistoryStore store(historyIn(dir));
    for (auto& r : runs) r.id = store.add(r);
    return runs;
}

Cli cli(const TempDir& dir, std::vector<std::string> args) {
    return Cli(dir.path(), dir.path() + "registry.reg", std::move(args));
}

std::optional<double> optionalNumber(const nlohmann::json& j) {
    if (j.is_null()) return std::nullopt;
    return j.get<double>();
}

std::vector<StoredRun> runsFromJson(const std::string& text) {
    std::vector<StoredRun> out;
    const auto json = nlohmann::json::parse(text);
    for (const auto& j : json) {
        StoredRun r;
        r.id = j.at("id");
        r.time = j.at("time");
        r.started = j.at("started");
        r.version = j.at("version");
        r.demo = j.at("demo");
        r.status = j.at("status");
        r.report = j.at("report");
        for (const auto& [name, value] : j.at("settings").items()) r.settings.push_back({name, value});
        for (const auto& [name, value] : j.at("hardware").items()) r.hardware.push_back({name, value});
        for (const auto& p : j.at("passes")) {
            EXPECT_EQ(p.at("resolution"),
                      std::to_string(p.at("width").get<int>()) + "\u00d7" + std::to_string(p.at("height").get<int>()));
            r.passes.push_back(
                {p.at("width"), p.at("height"), optionalNumber(p.at("score")), optionalNumber(p.at("seconds"))});
        }
        out.push_back(std::move(r));
    }
    return out;
}

// RFC 4180: fields split by commas, quoted fields with doubled quotes and line
// breaks inside, records ended by CR LF.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        auto& field = rows.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            rows.emplace_back(1);
        } else {
            field += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
}

std::optional<double> csvNumber(const std::string& s) {
    if (s.empty()) return std::nullopt;
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// Back from the rows: settings columns always hold a value, an empty hardware
// cell is a value the run does not have.
std::vector<StoredRun> runsFromCsv(const std::string& text) {
    const auto rows = readCsv(text);
    EXPECT_FALSE(rows.empty());
    if (rows.empty()) return {};
    const auto& header = rows[0];
    std::map<std::string, std::size_t> col;
    for (std::size_t i = 0; i < header.size(); ++i) col[header[i]] = i;
    std::vector<StoredRun> out;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        EXPECT_EQ(row.size(), header.size());
        const std::int64_t id = std::stoll(row[col["run"]]);
        if (out.empty() || out.back().id != id) {
            StoredRun run;
            run.id = id;
            run.time = row[col["time"]];
            run.started = row[col["started"]];
            run.version = row[col["version"]];
            run.demo = row[col["demo"]];
            run.status = row[col["status"]];
            run.report = row[col["report"]];
            for (std::size_t i = 0; i < header.size(); ++i) {
                if (header[i].rfind("setting:", 0) == 0) run.settings.push_back({header[i].substr(8), row[i]});
                if (header[i].rfind("hardware:", 0) == 0 && !row[i].empty())
                    run.hardware.push_back({header[i].substr(9), row[i]});
            }
            out.push_back(std::move(run));
        }
        if (row[col["pass"]].empty()) continue;
        EXPECT_EQ(std::stoul(row[col["pass"]]), out.back().passes.size() + 1);
        out.back().passes.push_back({std::stoi(row[col["width"]]), std::stoi(row[col["height"]]),
                                     csvNumber(row[col["score"]]), csvNumber(row[col["seconds"]])});
    }
    return out;
}

}  // namespace

TEST(CliHistory, ExportWritesWhatWasStoredAndAParserReadsItBackEqual) {
    TempDir dir;
    const auto stored = storeSamples(dir);
    for (const std::string format : {"json", "csv"}) {
        SCOPED_TRACE(format);
        auto back = [&](const std::string& out) { return format == "json" ? runsFromJson(out) : runsFromCsv(out); };
        Cli all = cli(dir, {"export", "--format", format});
        ASSERT_EQ(all.wait(), 0) << all.err();
        EXPECT_EQ(all.err(), "");
        // The export's bytes are the same on every system (no CR LF translation).
        EXPECT_EQ(back(all.outBytes()), stored) << all.out();

        Cli some = cli(dir, {"export", "--format", format, "2", "1"});
        ASSERT_EQ(some.wait(), 0) << some.err();
        EXPECT_EQ(back(some.outBytes()), (std::vector<StoredRun>{stored[1], stored[0]})) << some.out();
    }
}

TEST(CliHistory, HistoryListsTheRunsAndCompareGivesTheVerdicts) {
    TempDir dir;
    storeSamples(dir);
    Cli list = cli(dir, {"history"});
    ASSERT_EQ(list.wait(), 0) << list.err();
    const std::string text = list.out();
    EXPECT_NE(text.find("1     2026-12-10T21:05:00Z  1.3      Quorvane - Coast      640\u00d7480 60.2"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("800\u00d7600 no result"), std::string::npos) << text;
    EXPECT_NE(text.find("3     2026-12-10T21:05:00Z  1.3      Quorvane - Canals     \n"), std::string::npos) << text;

    Cli json = cli(dir, {"history", "--json"});
    ASSERT_EQ(json.wait(), 0) << json.err();
    const auto runs = nlohmann::json::parse(json.out());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1]["id"], 2);
    ASSERT_EQ(runs[1]["resolutions"].size(), 2u);
    EXPECT_EQ(runs[1]["resolutions"][1]["resolution"], "1920\u00d71080");
    EXPECT_EQ(runs[1]["resolutions"][1]["mean"].get<double>(), 1.0 / 3.0);
    EXPECT_EQ(runs[0]["resolutions"][0]["passes"], 2);

    Cli compare = cli(dir, {"compare", "1", "2"});
    ASSERT_EQ(compare.wait(), 0) << compare.err();
    const std::string out = compare.out();
    EXPECT_EQ(out.rfind("Run 2 (2026-12-11T08:00:00Z, Quorvane - Coast) against run 1 (", 0), 0u) << out;
    // 140.5 against a mean of 60.275 whose passes spread far: within noise.
    EXPECT_NE(out.find("+133.1%     within noise\n"), std::string::npos) << out;
    EXPECT_NE(out.find("only in run 2\n"), std::string::npos) << out;
}

TEST(CliHistory, BadArgumentsAndUnknownRunsGetClearErrors) {
    TempDir dir;
    storeSamples(dir);
    const struct {
        std::vector<std::string> args;
        int code;
        const char* says;
    } cases[] = {
        {{"history", "--csv"}, 2, "vantor-cli: wrong arguments for 'history'\nusage:"},
        {{"compare", "1"}, 2, "vantor-cli: wrong arguments for 'compare'\nusage:"},
        {{"compare", "1", "2", "3"}, 2, "vantor-cli: wrong arguments for 'compare'\nusage:"},
        {{"compare", "1", "two"}, 2, "vantor-cli: 'two' is not a run number (vantor-cli history lists the runs)\n"},
        {{"compare", "0", "1"}, 2, "vantor-cli: '0' is not a run number"},
        {{"compare", "1", "9"},
         1,
         "vantor-cli: there is no run 9 in the history (vantor-cli history lists the runs)\n"},
        {{"export"}, 2, "vantor-cli: wrong arguments for 'export'\nusage:"},
        {{"export", "1"}, 2, "vantor-cli: wrong arguments for 'export'\nusage:"},
        {{"export", "--format"}, 2, "vantor-cli: wrong arguments for 'export'\nusage:"},
        {{"export", "--format", "xml"}, 2, "vantor-cli: unknown export format 'xml' (csv or json)\n"},
        {{"export", "--format", "csv", "1", "-3"}, 2, "vantor-cli: '-3' is not a run number"},
        {{"export", "--format", "csv", "1", "1.5"}, 2, "vantor-cli: '1.5' is not a run number"},
        {{"export", "--format", "json", "4"}, 1, "vantor-cli: there is no run 4 in the history"},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (auto& a : c.args) shown += a + " ";
        SCOPED_TRACE("vantor-cli " + shown);
        Cli run = cli(dir, c.args);
        EXPECT_EQ(run.wait(), c.code);
        EXPECT_EQ(run.err().rfind(c.says, 0), 0u) << run.err();
        EXPECT_EQ(run.out(), "");
    }
}

TEST(CliHistory, ADamagedHistoryIsKeptAsideWithAMessage) {
    TempDir dir;
    writeFile(historyIn(dir), std::string(5000, '#'));
    Cli list = cli(dir, {"history"});
    ASSERT_EQ(list.wait(), 0) << list.err();
    EXPECT_EQ(list.out(), "No runs stored yet.\n");
    EXPECT_EQ(list.err().rfind("vantor-cli: The history file " + historyIn(dir) + " is damaged (", 0), 0u)
        << list.err();
    EXPECT_NE(list.err().find("; it was kept as " + historyIn(dir) + ".damaged-"), std::string::npos) << list.err();
}

// Damage that only shows while the runs are read (a broken page among them):
// the file is kept aside in the middle of the command, and each command tells
// where it went.
TEST(CliHistory, DamageFoundWhileReadingIsToldByEveryReadingCommand) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* out;
    } cases[] = {
        {{"history"}, 0, "No runs stored yet.\n"},
        {{"history", "--json"}, 0, "[]\n"},
        {{"export", "--format", "csv"}, 0, nullptr},
        {{"compare", "1", "2"}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        TempDir dir;
        const std::string path = historyIn(dir);
        {
            HistoryStore store(path);
            for (const char* demo : {"Quorvane - Coast", "Quorvane - Canals"}) {
                StoredRun big = sampleRuns()[0];
                big.demo = demo;
                big.passes.assign(3000, StoredPass{640, 480, 90.0, 10.0});
                store.add(big);
            }
        }
        std::string bytes = readFile(path);
        ASSERT_GT(bytes.size(), 20u * 4096);
        for (std::size_t i = 6 * 4096; i < 9 * 4096; ++i) bytes[i] = static_cast<char>(i * 13);
        writeFile(path, bytes);

        Cli run = cli(dir, c.args);
        EXPECT_EQ(run.wait(), c.code) << run.err();
        if (c.out) {
            EXPECT_EQ(run.out(), c.out);
        }
        const std::string prefix = "vantor-cli: The history file " + path + " is damaged (";
        EXPECT_EQ(run.err().rfind(prefix, 0), 0u) << run.err();
        EXPECT_NE(run.err().find("; it was kept as " + path + ".damaged-"), std::string::npos) << run.err();
        std::size_t kept = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir / "data/Quorvane/Vantor"))
            if (e.path().filename().string().rfind("history.db.damaged-", 0) == 0) {
                ++kept;
                EXPECT_EQ(readFile(e.path().string()), bytes);
            }
        EXPECT_EQ(kept, 1u);
    }
}

// An export larger than what is held back goes out while it is read. Damage
// found after part of it went out cannot take that part back: the command says
// the output is incomplete and fails; the file is kept aside as always.
TEST(CliHistory, DamageFoundAfterPartOfALargeExportWentOutEndsWithAnError) {
    TempDir dir;
    const std::string path = historyIn(dir);
    {
        std::vector<StoredRun> runs(300, sampleRuns()[0]);
        for (auto& r : runs) r.passes.assign(150, StoredPass{640, 480, 90.0, 10.0});
        runs.back().report = "the last run's report";
        HistoryStore(path).addAll(runs);
    }
    // The page that holds the last runs, which only the end of the read needs.
    std::string bytes = readFile(path);
    const std::size_t pageSize = bytes[16] == 0 && bytes[17] == 1
                                     ? 65536
                                     : static_cast<std::size_t>(static_cast<unsigned char>(bytes[16])) << 8 |
                                           static_cast<unsigned char>(bytes[17]);
    const std::size_t marker = bytes.find("the last run's report");
    ASSERT_NE(marker, std::string::npos);
    ASSERT_EQ(bytes.find("the last run's report", marker + 1), std::string::npos);
    for (std::size_t i = marker / pageSize * pageSize; i < (marker / pageSize + 1) * pageSize; ++i)
        bytes[i] = static_cast<char>(i * 13);
    writeFile(path, bytes);

    Cli run = cli(dir, {"export", "--format", "csv"});
    EXPECT_EQ(run.wait(), 1);
    const std::string out = run.outBytes();
    EXPECT_GE(out.size(), 8u * 1024 * 1024) << "what is held back went out";
    EXPECT_EQ(out.rfind("run,time,started,", 0), 0u);
    const std::string prefix = "vantor-cli: The history file " + path + " is damaged (";
    EXPECT_EQ(run.err().rfind(prefix, 0), 0u) << run.err();
    EXPECT_NE(run.err().find("the output above is incomplete\n"), std::string::npos) << run.err();
    std::size_t kept = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "data/Quorvane/Vantor"))
        if (e.path().filename().string().rfind("history.db.damaged-", 0) == 0) {
            ++kept;
            EXPECT_EQ(readFile(e.path().string()), bytes);
        }
    EXPECT_EQ(kept, 1u);
}

// A history in a folder the user cannot write is read by every reading
// command, and nothing is made beside it. POSIX permissions; as root, where
// they do not bind, vantor-cli runs as an unprivileged user through setpriv.
TEST(CliHistory, AHistoryInAFolderThatCannotBeWrittenIsRead) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permissions";
#else
    TempDir dir;
    const auto stored = storeSamples(dir);
    const std::string folder = dir / "data/Quorvane/Vantor";
    std::string program;
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        if (!std::filesystem::exists("/usr/bin/setpriv")) {
            GTEST_SKIP() << "root, and no setpriv to run as another user";
        }
        program = "/usr/bin/setpriv";
        prefix = {"--reuid=65534", "--regid=65534", "--clear-groups", std::string(VANTOR_BIN_DIR) + "/vantor-cli"};
    }
    ASSERT_EQ(::chmod(historyIn(dir).c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    struct Restore {
        std::string folder;
        ~Restore() { ::chmod(folder.c_str(), 0755); }
    } restore{folder};
    if (program.empty() && std::ofstream(folder + "/probe")) {
        std::filesystem::remove(folder + "/probe");
        GTEST_SKIP() << "the folder's permissions do not bind for this user";
    }
    const auto before = snapshot(folder);

    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), prefix.begin(), prefix.end());
        return Cli(dir.path(), dir.path() + "registry.reg", args, {}, "cli", program);
    };
    Cli exported = run({"export", "--format", "json"});
    ASSERT_EQ(exported.wait(), 0) << exported.err();
    EXPECT_EQ(exported.err(), "");
    EXPECT_EQ(runsFromJson(exported.out()), stored);

    Cli list = run({"history"});
    ASSERT_EQ(list.wait(), 0) << list.err();
    EXPECT_EQ(list.err(), "");
    EXPECT_NE(list.out().find("3     2026-12-10T21:05:00Z  1.3      Quorvane - Canals"), std::string::npos)
        << list.out();

    Cli compare = run({"compare", "1", "2"});
    ASSERT_EQ(compare.wait(), 0) << compare.err();
    EXPECT_EQ(compare.out().rfind("Run 2 (2026-12-11T08:00:00Z, Quorvane - Coast) against run 1 (", 0), 0u)
        << compare.out();

    EXPECT_EQ(snapshot(folder), before);
#endif
}

// A simulated installation with 640×480 and 800×600 ticked.
class CliRunHistory : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok) << "scripts/make-sim-install failed";
        std::filesystem::create_directories(sim.dir.path() + "Reports/");
        ASSERT_TRUE(storeSettings(
            sim.hive(),
            chosenSettings(sim.dir.path() + "Reports/",
                           {{"Save Info", "1"}, {"CPU", "Test CPU 3 GHz"}, {"VGA", "Test VGA"}, {"Note", "history"}})));
        sim.startSteam();
    }
    Cli cli(std::vector<std::string> args, std::vector<std::string> env = {}) {
        env.insert(env.end(), {"VANTOR_SIM_PLAY_MS=250", "VANTOR_SIM_START_DELAY_MS=30"});
        return Cli(sim.dir.path(), sim.hive(), std::move(args), env);
    }
    SimInstall sim;
};

TEST_F(CliRunHistory, AFinishedRunIsStoredWithItsScoresSettingsHardwareAndPassTimes) {
    Cli run = cli({"run", "--json"});
    ASSERT_EQ(run.wait(), 0) << run.out() << run.err();
    const auto summary = nlohmann::json::parse(run.out());

    Cli exported = cli({"export", "--format", "json"});
    ASSERT_EQ(exported.wait(), 0) << exported.err();
    const auto runs = runsFromJson(exported.out());
    ASSERT_EQ(runs.size(), 1u);
    const StoredRun& r = runs[0];
    EXPECT_EQ(r.id, 1);
    EXPECT_EQ(r.version, "1.3");
    EXPECT_EQ(r.demo, "Quorvane - Coast");
    EXPECT_EQ(r.started, summary["started"]);
    EXPECT_EQ(r.report, summary["report"]);
    EXPECT_EQ(r.status, "The benchmarking is successful.");
    ASSERT_EQ(r.passes.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(r.passes[i].width, summary["passes"][i]["width"]);
        EXPECT_EQ(r.passes[i].score, summary["passes"][i]["score"].get<double>());
        ASSERT_TRUE(r.passes[i].seconds);
        EXPECT_GT(*r.passes[i].seconds, 0.25);  // at least the simulated play
    }
    const std::vector<NamedValue> hardware = {{"CPU", "Test CPU 3 GHz"}, {"VGA", "Test VGA"}};
    EXPECT_EQ(r.hardware, hardware);
    const std::map<std::string, std::string> expected = {
        {"detail", "Maximum"}, {"note", "history"}, {"fastZ", "Disabled"}, {"debug", "no"}};
    for (const auto& [name, value] : expected) {
        const auto it = std::find_if(r.settings.begin(), r.settings.end(), [&](auto& v) { return v.name == name; });
        ASSERT_NE(it, r.settings.end()) << name;
        EXPECT_EQ(it->value, value) << name;
    }
}

// The run's time estimate reads the history before the run; a damaged file is
// left for the run's end, which keeps it aside and says so in the status line
// and the log.
TEST_F(CliRunHistory, ADamagedHistoryIsKeptAsideWhenTheRunIsStoredAndTheStatusSaysSo) {
    const std::string path = sim.dir.path() + nativePath("data/Quorvane/Vantor/history.db");
    writeFile(path, std::string(6000, '#'));
    const std::string log = sim.dir.path() + "debug.log";
    Cli run = cli({"run", "--json", "--log", log});
    ASSERT_EQ(run.wait(), 0) << run.out() << run.err();
    const auto summary = nlohmann::json::parse(run.out());
    const std::string status = summary["status"];
    const std::string notice = "The history file " + path + " is damaged (";
    EXPECT_EQ(status.rfind("The benchmarking is successful. " + notice, 0), 0u) << status;
    EXPECT_NE(status.find("; it was kept as " + path + ".damaged-"), std::string::npos) << status;
    EXPECT_NE(readFile(log).find(">>> ERROR <<< " + notice), std::string::npos) << readFile(log);

    Cli exported = cli({"export", "--format", "json"});
    ASSERT_EQ(exported.wait(), 0) << exported.err();
    EXPECT_EQ(exported.err(), "");
    EXPECT_EQ(runsFromJson(exported.out()).size(), 1u);
}

TEST_F(CliRunHistory, AHistoryThatCannotBeWrittenIsShownAndTheRunKeepsItsReport) {
    // The data folder is a file: the history's folder cannot be made.
    writeFile(sim.dir.path() + "datafile", "not a folder");
    const std::string log = sim.dir.path() + "debug.log";
    Cli run = cli({"run", "--json", "--log", log}, {"XDG_DATA_HOME=" + sim.dir.path() + "datafile"});
    ASSERT_EQ(run.wait(), 0) << run.out() << run.err();
    const auto summary = nlohmann::json::parse(run.out());
    EXPECT_EQ(summary["succeeded"], true);
    EXPECT_TRUE(std::filesystem::is_regular_file(summary["report"].get<std::string>()));
    const std::string status = summary["status"];
    EXPECT_EQ(status.rfind("The benchmarking is successful. The run could not be stored in the history: ", 0), 0u)
        << status;
    EXPECT_NE(readFile(log).find("\r\n>>> ERROR <<< The run could not be stored in the history: "), std::string::npos)
        << readFile(log);
}
