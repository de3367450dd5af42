// Where the program writes its own files and, by default, its reports: beside
// itself when its folder can be written (a portable copy), else in the user's
// data and documents folders (an installed copy).
#include "core/OwnFolders.h"
#include "core/RunState.h"
#include "platform/FileOps.h"
#include "platform/UserDataFolder.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace vantor;
using namespace vantor::test;

namespace {

// Sets a variable for the scope, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setEnv(name, value);
    }
    ~ScopedEnv() {
        if (old_)
            setEnv(name_, *old_);
        else
            unsetEnv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(OwnFolders, PortableCopyWritesBesideItselfAnInstalledOneIntoTheUsersFolders) {
    const std::string bench = nativePath("/opt/vantor/"), data = nativePath("/home/u/.local/share/Quorvane/Vantor/"),
                      docs = nativePath("/home/u/Documents/");
    const struct {
        const char* name;
        std::string bench;
        bool writable;
        std::string data, docs;
        std::string files, results;
    } cases[] = {
        {"portable", bench, true, data, docs, bench, bench + nativePath("Benchmark/")},
        {"portable, no user folders", bench, true, "", "", bench, bench + nativePath("Benchmark/")},
        {"installed", bench, false, data, docs, data, docs + nativePath("Vantor/")},
        {"installed, no documents folder", bench, false, data, "", data, data + nativePath("Benchmark/")},
        {"installed, no data folder", bench, false, "", docs, "", docs + nativePath("Vantor/")},
        {"installed, no user folders", bench, false, "", "", "", ""},
        {"no program folder", "", true, data, docs, "", ""},
        {"no program folder, not writable", "", false, data, docs, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OwnFolders own = pickOwnFolders(c.bench, c.writable, c.data, c.docs);
        EXPECT_EQ(own.files, c.files);
        EXPECT_EQ(own.results, c.results);
    }
}

// Before start-up has picked (a context of its own, as the tests build), the
// paths are a portable copy's.
TEST(OwnFolders, PathsBeforeTheChoiceAreAPortableCopys) {
    Paths paths;
    EXPECT_EQ(paths.ownFiles(), "");
    EXPECT_EQ(paths.defaultReports(), "");
    paths.BenchPath = nativePath("/opt/vantor/");
    EXPECT_EQ(paths.ownFiles(), nativePath("/opt/vantor/"));
    EXPECT_EQ(paths.defaultReports(), nativePath("/opt/vantor/Benchmark/"));
    paths.OwnFilesPath = nativePath("/data/");
    paths.DefaultReportPath = nativePath("/docs/Vantor/");
    EXPECT_EQ(paths.ownFiles(), nativePath("/data/"));
    EXPECT_EQ(paths.defaultReports(), nativePath("/docs/Vantor/"));
}

// The real check: a folder a file can be created in is a portable copy's; one
// that is not there (as one that cannot be written) sends the files to the
// user's data folder, which is made, and the reports to the documents folder.
TEST(OwnFolders, TheChoiceForThisUser) {
    TempDir dir;
    const OwnFolders portable = ownFoldersFor(dir.path());
    EXPECT_EQ(portable.files, dir.path());
    EXPECT_EQ(portable.results, dir / "Benchmark/");
    EXPECT_FALSE(exists(dir / "Benchmark"));  // made by start-up, not by the choice

    // The data folder of these tests is XDG_DATA_HOME / LOCALAPPDATA (DataHome.cpp).
    ScopedEnv home("HOME", dir / "home");
    ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
    const OwnFolders installed = ownFoldersFor(dir / "missing/");
    EXPECT_EQ(installed.files, programDataFolder());
    EXPECT_TRUE(folderExists(installed.files));
    EXPECT_EQ(installed.results, documentsFolder() + "Vantor" + kPathSep);
    EXPECT_FALSE(exists(installed.results));
}
