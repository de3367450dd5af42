// The run history's database: what goes in comes out, a file of a newer schema
// or a damaged one is kept aside, and a write cut short by a kill leaves the
// runs before it intact.
#include "history/HistoryExport.h"
#include "history/HistoryStore.h"

#include "tests/history/FaultyDisk.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <latch>
#include <mutex>
#include <set>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace vantor;
using namespace vantor::test;
namespace fs = std::filesystem;

namespace {

StoredRun sampleRun(const std::string& demo, double base) {
    StoredRun r;
    r.time = "2026-12-11T00:40:12Z";
    r.started = "12/11/26 01:40:12";
    r.version = "1.3";
    r.demo = demo;
    r.status = "The benchmarking is successful.";
    r.report = "/home/u/Reports/result_12_11_26_01_40_12.htm";
    r.settings = {{"demo", demo}, {"detail", "Maximum"}, {"note", "clean boot, \"quoted\"\nsecond line"}};
    r.hardware = {{"CPU", "Ryzen 7"}, {"VGA", "RX 7800"}};
    r.passes = {{640, 480, base, 10.5},
                {640, 480, base + 1.25, 9.75},
                {800, 600, std::nullopt, 3.0},
                {1024, 768, base / 3, std::nullopt}};
    return r;
}

// Runs SQL on a file outside the store.
void sql(const std::string& path, const std::string& text) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, text.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

std::vector<fs::path> asideFiles(const std::string& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("history.db.", 0) == 0) out.push_back(e.path());
    return out;
}

}  // namespace

TEST(HistoryStore, StoredRunsComeBackWholeAndListed) {
    TempDir dir;
    const std::string path = dir / "nested/folder/history.db";
    std::vector<StoredRun> stored = {sampleRun("Coast", 90.5), sampleRun("Canals", 61.0)};
    stored[0].settings.push_back({"debug", "yes"});  // a debug mode run is marked in the list
    stored[1].settings.push_back({"debug", "no"});
    {
        HistoryStore store(path);
        EXPECT_EQ(store.notice(), "");
        for (auto& r : stored) r.id = store.add(r);
    }
    EXPECT_EQ(stored[0].id, 1);
    EXPECT_EQ(stored[1].id, 2);

    HistoryStore store(path);
    EXPECT_EQ(store.runs(), stored);
    // Asked for by id, in the order asked; unknown ids are left out.
    EXPECT_EQ(store.runs({2, 99, 1}), (std::vector<StoredRun>{stored[1], stored[0]}));
    EXPECT_EQ(store.run(2), stored[1]);
    EXPECT_EQ(store.run(3), std::nullopt);

    const auto list = store.list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].id, 2);
    EXPECT_EQ(list[1].demo, "Canals");
    EXPECT_EQ(list[1].version, "1.3");
    ASSERT_EQ(list[1].passes.size(), 4u);
    EXPECT_EQ(list[1].passes[1].score, 62.25);
    EXPECT_EQ(list[1].passes[2].score, std::nullopt);
    EXPECT_EQ(list[1].passes[3].width, 1024);
    EXPECT_EQ(list[0].shownDemo(), "Coast (debug)");
    EXPECT_EQ(store.run(1)->shownDemo(), "Coast (debug)");
    EXPECT_EQ(list[1].shownDemo(), "Canals");
    EXPECT_NE(historyText(list).find(" Coast (debug) "), std::string::npos) << historyText(list);
}

TEST(HistoryStore, AMissingFileIsAnEmptyHistoryForReadingAndIsNotMade) {
    TempDir dir;
    HistoryStore store(dir / "history.db", false);
    EXPECT_TRUE(store.list().empty());
    EXPECT_TRUE(store.runs().empty());
    EXPECT_EQ(store.typicalPassSeconds("Coast", 640, 480), std::nullopt);
    EXPECT_FALSE(fs::exists(dir / "history.db"));
}

TEST(HistoryStore, TypicalPassTimeIsTheMedianOfTheLastTenMeasuredPassesOfThatDemoAndSize) {
    TempDir dir;
    HistoryStore store(dir / "history.db");
    auto runWith = [](const std::string& demo, std::vector<StoredPass> passes) {
        StoredRun r = sampleRun(demo, 50);
        r.passes = std::move(passes);
        return r;
    };
    // An old slow pass that the last ten push out.
    store.add(runWith("Coast", {{640, 480, 80, 500.0}}));
    for (double s : {30.0, 10.0, 20.0, 40.0, 50.0}) store.add(runWith("Coast", {{640, 480, 80, s}, {640, 480, 81, s}}));
    store.add(runWith("Coast", {{640, 480, 80, std::nullopt}}));  // not measured
    store.add(runWith("Canals", {{640, 480, 80, 7.0}}));
    store.add(runWith("Coast", {{800, 600, 80, 9.0}}));

    EXPECT_EQ(store.typicalPassSeconds("Coast", 640, 480), 30.0);
    EXPECT_EQ(store.typicalPassSeconds("Canals", 640, 480), 7.0);
    EXPECT_EQ(store.typicalPassSeconds("Coast", 800, 600), 9.0);
    EXPECT_EQ(store.typicalPassSeconds("Coast", 1024, 768), std::nullopt);
    EXPECT_EQ(store.typicalPassSeconds("Town", 640, 480), std::nullopt);
}

// Each case leaves a file the program must not use; it is renamed aside with
// its bytes unchanged, the user is told, and a new history takes the run.
TEST(HistoryStore, ANewerOrDamagedFileIsKeptAsideAndANewHistoryStarted) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        const char* tag;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"not a database", [](const std::string& p) { writeFile(p, std::string(8192, 'x')); }, "damaged", "is damaged"},
        {"newer schema",
         [](const std::string& p) {
             {
                 HistoryStore s(p);
                 s.add(sampleRun("Coast", 90));
             }
             sql(p, "PRAGMA user_version = 2;");
         },
         "newer", "comes from a newer version of Vantor (history schema 2)"},
        {"another program's database", [](const std::string& p) { sql(p, "CREATE TABLE notes(text);"); }, "damaged",
         "other tables"},
        {"a broken page",
         [](const std::string& p) {
             {
                 HistoryStore s(p);
                 StoredRun big = sampleRun("Coast", 90);
                 big.passes.assign(3000, StoredPass{640, 480, 90.0, 10.0});
                 s.add(big);
             }
             std::string bytes = readFile(p);
             ASSERT_GT(bytes.size(), 5u * 4096);
             for (std::size_t i = 3 * 4096; i < 5 * 4096; ++i) bytes[i] = static_cast<char>(i * 7);
             writeFile(p, bytes);
         },
         "damaged", "is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "history.db";
        c.make(path);
        ASSERT_FALSE(fs::exists(path + "-wal"));
        const std::string before = readFile(path);

        // A reader that cannot tell the user leaves the file where it is.
        try {
            HistoryStore reader(path, false, HistoryStore::IfUnusable::Report);
            reader.runs();
            ADD_FAILURE() << "no error";
        } catch (const HistoryError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_TRUE(asideFiles(dir.path()).empty());
        EXPECT_EQ(readFile(path), before);

        HistoryStore store(path);
        const auto aside = asideFiles(dir.path());
        ASSERT_EQ(aside.size(), 1u);
        const std::string name = aside[0].filename().string();
        EXPECT_EQ(name.rfind(std::string("history.db.") + c.tag + "-", 0), 0u) << name;
        EXPECT_EQ(readFile(aside[0].string()), before);
        EXPECT_NE(store.notice().find(c.says), std::string::npos) << store.notice();
        EXPECT_NE(store.notice().find("kept as " + aside[0].string()), std::string::npos) << store.notice();

        EXPECT_TRUE(store.list().empty());
        EXPECT_EQ(store.add(sampleRun("Canals", 60)), 1);
        EXPECT_EQ(store.list().size(), 1u);
    }
}

TEST(HistoryStore, ASecondDamagedFileDoesNotReplaceTheFirstOneKeptAside) {
    TempDir dir;
    const std::string path = dir / "history.db";
    writeFile(path, "first broken file" + std::string(600, '1'));
    { HistoryStore store(path); }
    writeFile(path, "second broken file" + std::string(600, '2'));
    { HistoryStore store(path); }
    const auto aside = asideFiles(dir.path());
    ASSERT_EQ(aside.size(), 2u);
    std::set<std::string> contents;
    for (const auto& a : aside) contents.insert(readFile(a.string()).substr(0, 6));
    EXPECT_EQ(contents, (std::set<std::string>{"first ", "second"}));
}

TEST(HistoryStore, ReadingADamagedFileKeepsItAsideWithoutStartingAFile) {
    TempDir dir;
    const std::string path = dir / "history.db";
    writeFile(path, std::string(4096, 'z'));
    HistoryStore store(path, false);
    EXPECT_NE(store.notice().find("is damaged"), std::string::npos);
    EXPECT_TRUE(store.list().empty());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(asideFiles(dir.path()).size(), 1u);
}

// Reading does not look at every page first: the broken one shows up in the
// middle of the list, which then ends empty with the file kept aside.
TEST(HistoryStore, ABrokenPageFoundWhileReadingKeepsTheFileAside) {
    TempDir dir;
    const std::string path = dir / "history.db";
    {
        HistoryStore s(path);
        StoredRun big = sampleRun("Coast", 90);
        big.passes.assign(3000, StoredPass{640, 480, 90.0, 10.0});
        s.add(big);
    }
    std::string bytes = readFile(path);
    ASSERT_GT(bytes.size(), 8u * 4096);
    for (std::size_t i = 6 * 4096; i < 8 * 4096; ++i) bytes[i] = static_cast<char>(i * 13);
    writeFile(path, bytes);

    HistoryStore store(path, false);
    EXPECT_EQ(store.notice(), "");
    EXPECT_TRUE(store.list().empty());
    EXPECT_NE(store.notice().find("is damaged"), std::string::npos) << store.notice();
    ASSERT_EQ(asideFiles(dir.path()).size(), 1u);
    EXPECT_EQ(readFile(asideFiles(dir.path())[0].string()), bytes);
    EXPECT_FALSE(fs::exists(path));
}

// Whole runs are read from the three tables side by side: each run gets its
// own passes and values, whatever ids are missing and whatever rows belong to
// no run; a stream is handed them one at a time.
TEST(HistoryStore, EachRunGetsItsOwnPassesAndValuesWhereIdsAndRowsAreMissing) {
    TempDir dir;
    const std::string path = dir / "history.db";
    std::vector<StoredRun> stored;
    {
        HistoryStore store(path);
        for (int i = 0; i < 6; ++i) {
            StoredRun r = sampleRun(i % 2 ? "Canals" : "Coast", 50.0 + i);
            r.passes.resize(static_cast<std::size_t>(i % 4));  // 0 to 3 passes
            if (i == 3) r.hardware.clear();
            r.settings.push_back({"run", std::to_string(i + 1)});
            r.id = store.add(r);
            stored.push_back(r);
        }
    }
    // Runs 2 and 5 gone without their rows; rows of runs that never were.
    sql(path,
        "DELETE FROM runs WHERE id IN (2, 5);"
        "INSERT INTO passes VALUES (0, 0, 1, 1, 1.0, 1.0), (9, 0, 2, 2, 2.0, 2.0);"
        "INSERT INTO run_values VALUES (0, 'setting', 0, 'x', 'y'), (9, 'hardware', 0, 'x', 'y');");
    const std::vector<StoredRun> expected = {stored[0], stored[2], stored[3], stored[5]};

    HistoryStore store(path, false);
    EXPECT_EQ(store.runs(), expected);
    struct Count final : RunStream<StoredRun> {
        void start() override { ++starts; }
        void add(const StoredRun& run) override { ids.push_back(run.id); }
        int starts = 0;
        std::vector<std::int64_t> ids;
    } count;
    store.runs({}, count);
    EXPECT_EQ(count.starts, 1);
    EXPECT_EQ(count.ids, (std::vector<std::int64_t>{1, 3, 4, 6}));

    const auto list = store.list();
    ASSERT_EQ(list.size(), 4u);
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].id, expected[i].id);
        ASSERT_EQ(list[i].passes.size(), expected[i].passes.size()) << list[i].id;
        for (std::size_t p = 0; p < list[i].passes.size(); ++p)
            EXPECT_EQ(list[i].passes[p].score, expected[i].passes[p].score);
    }
}

// The columns of a CSV export: every setting and hardware name, each where it
// first appears, as the export of the runs read whole finds them.
TEST(HistoryStore, ValueNamesComeInTheOrderTheyFirstAppear) {
    TempDir dir;
    HistoryStore store(dir / "history.db");
    std::vector<std::string> settings = {"stale"}, hardware = {"stale"};
    store.valueNames(settings, hardware);
    EXPECT_TRUE(settings.empty() && hardware.empty());
    const std::vector<std::vector<NamedValue>> runSettings = {
        {{"b", "1"}, {"a", "2"}}, {{"a", "3"}, {"c", "4"}}, {{"d", "5"}}};
    const std::vector<std::vector<NamedValue>> runHardware = {{{"H2", "x"}}, {{"H1", "y"}, {"H2", "z"}}, {}};
    for (std::size_t i = 0; i < 3; ++i) {
        StoredRun r = sampleRun("Coast", 10);
        r.settings = runSettings[i];
        r.hardware = runHardware[i];
        store.add(r);
    }
    store.valueNames(settings, hardware);
    EXPECT_EQ(settings, (std::vector<std::string>{"b", "a", "c", "d"}));
    EXPECT_EQ(hardware, (std::vector<std::string>{"H2", "H1"}));
    std::vector<std::string> s2, h2;
    for (const auto& r : store.runs()) valueNames(r, s2, h2);
    EXPECT_EQ(s2, settings);
    EXPECT_EQ(h2, hardware);
}

// Programs that start a history at the same moment: each makes or finds the
// same schema, every run is stored, and no healthy file is taken for damage.
TEST(HistoryStore, ProgramsStartingAHistoryAtOnceStoreEveryRunAndKeepNothingAside) {
    constexpr int kTrials = 12;  // before the fix nearly every trial lost a run
    constexpr int kWriters = 4;
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        TempDir dir;
        const std::string path = dir / "data/history.db";
        std::latch start(kWriters);
        std::mutex mutex;
        std::vector<std::string> problems;
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                start.arrive_and_wait();
                try {
                    HistoryStore store(path);
                    store.add(sampleRun("Writer " + std::to_string(w), 50 + w));
                    if (!store.notice().empty()) throw HistoryError(store.notice());
                } catch (const std::exception& e) {
                    const std::lock_guard lock(mutex);
                    problems.push_back(e.what());
                }
            });
        for (auto& t : writers) t.join();
        EXPECT_EQ(problems, std::vector<std::string>{});
        EXPECT_EQ(asideFiles(dir / "data").size(), 0u);
        std::set<std::string> demos;
        for (const auto& r : HistoryStore(path, false).list()) demos.insert(r.demo);
        EXPECT_EQ(demos.size(), static_cast<std::size_t>(kWriters));
        if (HasFailure()) break;
    }
}

// Reading needs no write: a history in a folder that takes no new files, or on
// a full disk where SQLite cannot make its -shm index, reads as it is.
TEST(HistoryStore, AHistoryThatCannotBeWrittenIsStillRead) {
    using Fault = FaultyDisk::Fault;
    const struct {
        const char* name;
        Fault fault;
        bool readOnly;  // read without locks
    } cases[] = {
        {"read-only folder", Fault::ReadOnly, true},
        {"full disk", Fault::FullNoShm, true},
        {"full disk, -shm there", Fault::Full, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "history.db";
        std::vector<StoredRun> stored = {sampleRun("Coast", 90), sampleRun("Canals", 60)};
        {
            HistoryStore store(path);
            for (auto& r : stored) r.id = store.add(r);
        }
        const auto files = snapshot(dir.path());
        FaultyDisk disk;
        disk.fault = c.fault;
        {
            HistoryStore store(path, false);
            EXPECT_EQ(store.readOnly(), c.readOnly);
            EXPECT_EQ(store.runs(), stored);
            EXPECT_EQ(store.list().size(), 2u);
            EXPECT_EQ(store.typicalPassSeconds("Coast", 640, 480), 10.125);
            EXPECT_EQ(store.notice(), "");
        }
        EXPECT_EQ(readFile(path), files.at("history.db"));
        if (c.fault == Fault::ReadOnly) {
            EXPECT_EQ(snapshot(dir.path()), files);
        }
        EXPECT_TRUE(asideFiles(dir.path()).empty());
    }
}

// A writer that died leaves its last runs in the -wal file. A reader that can
// make no -shm index beside it cannot read them: an error naming the log, not
// a history without them.
TEST(HistoryStore, RunsLeftInTheWriteAheadLogAreNotLeftOutSilently) {
    TempDir dir;
    const std::string path = dir / "history.db";
    const std::string copy = dir / "copy/history.db";
    {
        HistoryStore store(path);
        store.add(sampleRun("Coast", 90));
        fs::create_directories(dir / "copy");
        fs::copy_file(path, copy);
        fs::copy_file(path + "-wal", copy + "-wal");
        ASSERT_GT(fs::file_size(copy + "-wal"), 0u);
    }
    FaultyDisk disk;
    disk.fault = FaultyDisk::Fault::ReadOnly;
    try {
        HistoryStore store(copy, false);
        ADD_FAILURE() << "read " << store.runs().size() << " runs";
    } catch (const HistoryError& e) {
        EXPECT_NE(std::string(e.what()).find("its write-ahead log " + copy + "-wal holds runs"), std::string::npos)
            << e.what();
    }
    disk.fault = FaultyDisk::Fault::None;
    EXPECT_EQ(HistoryStore(copy, false).runs().size(), 1u);
}

// Storing on a full disk: a message naming the file, and the runs before it
// stay as they were.
TEST(HistoryStore, AFullDiskIsSaidAsSuchAndTheEarlierRunsStay) {
    TempDir dir;
    const std::string path = dir / "history.db";
    std::vector<StoredRun> stored = {sampleRun("Coast", 90)};
    {
        HistoryStore store(path);
        stored[0].id = store.add(stored[0]);
    }
    FaultyDisk disk;
    HistoryStore store(path);
    disk.fault = FaultyDisk::Fault::Full;
    try {
        store.add(sampleRun("Canals", 60));
        ADD_FAILURE() << "stored on a full disk";
    } catch (const HistoryError& e) {
        EXPECT_EQ(std::string(e.what()), "The history file " + path + " cannot be written: disk full");
    }
    disk.fault = FaultyDisk::Fault::None;
    EXPECT_EQ(store.runs(), stored);
    EXPECT_EQ(store.add(sampleRun("Canals", 60)), 2);
    EXPECT_TRUE(asideFiles(dir.path()).empty());
}

// A damaged file is kept aside, then the new one cannot be made: the error
// tells both, as there is no store left to ask for its notice.
TEST(HistoryStore, AFileKeptAsideIsToldWhenTheNewHistoryCannotBeMade) {
    TempDir dir;
    const std::string path = dir / "history.db";
    const std::string bytes(8192, 'x');
    writeFile(path, bytes);
    FaultyDisk disk;
    disk.fault = FaultyDisk::Fault::Full;
    std::string error;
    try {
        HistoryStore store(path);
    } catch (const HistoryError& e) {
        error = e.what();
    }
    const auto aside = asideFiles(dir.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0].string()), bytes);
    EXPECT_EQ(error.rfind("The history file " + path + " is damaged (", 0), 0u) << error;
    EXPECT_NE(error.find("; it was kept as " + aside[0].string() + " and a new history was started. "),
              std::string::npos)
        << error;
    const std::string tail = "The history file " + path + " cannot be written: disk full";
    EXPECT_EQ(error.substr(error.size() - std::min(error.size(), tail.size())), tail) << error;
}

// SQLite's own guarantee, shown once: a process killed in the middle of its
// transaction (its log already holding pages of it) leaves the runs stored
// before it whole and the file usable.
TEST(HistoryStore, AWriteCutShortByAKillLeavesTheEarlierRunsAndAUsableFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a child made by fork: POSIX only";
#else
    TempDir dir;
    const std::string path = dir / "history.db";
    std::vector<StoredRun> earlier = {sampleRun("Coast", 90), sampleRun("Canals", 60), sampleRun("Town", 45)};
    {
        HistoryStore store(path);
        for (auto& r : earlier) r.id = store.add(r);
    }
    ASSERT_FALSE(fs::exists(path + "-wal"));  // the last close folded the log in

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A run far larger than the page cache: its pages spill into the log
        // long before the commit.
        try {
            HistoryStore store(path);
            StoredRun huge = sampleRun("Huge", 99);
            huge.passes.assign(1'000'000, StoredPass{640, 480, 99.0, 10.0});
            store.add(huge);
        } catch (...) {}
        ::_exit(0);
    }
    // Killed as soon as the log holds 1 MiB of the transaction.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::error_code ec;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto size = fs::file_size(path + "-wal", ec);
        if (!ec && size > (1u << 20)) break;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const auto walSize = fs::file_size(path + "-wal", ec);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before the kill";
    ASSERT_GT(walSize, 1u << 20);

    HistoryStore store(path);
    EXPECT_EQ(store.notice(), "");
    EXPECT_EQ(store.runs(), earlier);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
    // The next run goes in after the earlier ones.
    EXPECT_EQ(store.add(sampleRun("Coast", 91)), 4);
#endif
}
