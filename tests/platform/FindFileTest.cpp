#include "platform/FindFile.h"

#include "platform/FileOps.h"
#include "platform/OsFamily.h"

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace vantor;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

// Records what a search reports, with folders relative to the temporary root.
struct Recorder {
    explicit Recorder(const TempDir& dir) : root(dir.path()) {}

    std::string root;
    std::vector<std::string> events;   // "enter <folder>" and "match <folder><name>" in order
    std::vector<std::string> matches;  // "<folder><name>"
    std::vector<TFileInfo> infos;
    std::map<std::string, TFolderIgnore> answers;  // by relative folder
    int begins = 0, finishes = 0, aborts = 0;

    // Below the root with '/' between the names, as the cases write them.
    std::string rel(const std::string& folder) const {
        if (folder.compare(0, root.size(), root) != 0) return "ABS:" + folder;
        std::string relative = folder.substr(root.size());
        for (char& c : relative)
            if (c == kPathSep) c = '/';
        return relative;
    }

    void attach(TFindFile& f) {
        f.OnFileMatch = [this](TFindFile&, const std::string& folder, const TFileInfo& info) {
            matches.push_back(rel(folder) + info.Name);
            events.push_back("match " + matches.back());
            infos.push_back(info);
        };
        f.OnFolderChange = [this](TFindFile&, const std::string& folder, TFolderIgnore& ignore) {
            EXPECT_EQ(ignore, TFolderIgnore::None);
            events.push_back("enter " + rel(folder));
            auto it = answers.find(rel(folder));
            if (it != answers.end()) ignore = it->second;
        };
        f.OnSearchBegin = [this](TFindFile& s) {
            EXPECT_TRUE(s.Busy());
            ++begins;
        };
        f.OnSearchFinish = [this](TFindFile& s) {
            EXPECT_TRUE(s.Busy());
            ++finishes;
        };
        f.OnSearchAbort = [this](TFindFile&) { ++aborts; };
    }

    std::vector<std::string> sortedMatches() const {
        auto m = matches;
        std::sort(m.begin(), m.end());
        return m;
    }
};

void touch(const TempDir& dir, const std::string& rel) { writeFile(dir / rel, ""); }

void mkdirs(const TempDir& dir, const std::string& rel) { std::filesystem::create_directories(dir / rel); }

std::vector<std::string> searchMatches(const TempDir& dir, const std::string& mask, const std::string& location,
                                       bool subfolders = true) {
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = mask;
    f.Criteria.Files.Location = location;
    f.Criteria.Files.Subfolders = subfolders;
    f.Search();
    return r.matches;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(FindFileMask, WindowsWildcardRulesWithoutRegardToCase) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    };
    const Case cases[] = {
        {"hl2.exe", "hl2.exe", true},
        {"HL2.EXE", "hl2.exe", true},
        {"hl2.exe", "Hl2.Exe", true},
        {"hl2.ex", "hl2.exe", false},
        {"hl2.exe.bak", "hl2.exe", false},
        {"xhl2.exe", "hl2.exe", false},
        {"hl3.exe", "hl2.exe", false},
        {"hl2.exe", "hl?.exe", true},
        {"hl.exe", "hl?.exe", false},
        {"hl22.exe", "hl?.exe", false},
        {"hl2.exe", "*.exe", true},
        {".exe", "*.exe", true},
        {"hl2.exe", "*.EXE", true},
        {"hl2.exe.txt", "*.exe", false},
        {"a.b.exe", "*.*.exe", true},
        {"hl2.exe", "h*2*e", true},
        {"hl2.exe", "h*3*e", false},
        {"abcabc", "*abc", true},
        {"abcab", "*abc", false},
        {"hl2.exe", "*", true},
        {"hl2.exe", "*.*", true},
        {"README", "*.*", true},
        {".hidden", "*.*", true},
        {"hl2.exe", "???????", true},
        {"hl2.exe", "????????", false},
        {"hl2.exe", "hl2.exe*", true},
        {"hl2.exe", "**hl2**", true},
        {"ÉCOLE.txt", "école.TXT", true},  // letters beyond ASCII
        {"straße", "STRASSE", false},
        {"Ωmega", "ωMEGA", true},
        {"ДОМ", "дом", true},
        {"é", "?", true},  // "?" is one character, not one byte
        {"é", "??", false},
        {"a\xFF", "A\xFF", true},  // not UTF-8: bytes compared as they are
        {"a\xFF", "a\xFE", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(FindFile, ReportsAFoldersMatchesBeforeItsSubfoldersDepthFirst) {
    TempDir dir;
    for (const char* f : {"hl2.exe", "a/hl2.exe", "a/x/hl2.exe", "a/x/y/hl2.exe", "a/z/hl2.exe", "b/hl2.exe",
                          "b/w/hl2.exe", "c/other.txt", "c/v/hl2.exe"})
        touch(dir, f);
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location = dir.path();
    f.Search();

    EXPECT_EQ(r.sortedMatches(), (Names{"a/hl2.exe", "a/x/hl2.exe", "a/x/y/hl2.exe", "a/z/hl2.exe", "b/hl2.exe",
                                        "b/w/hl2.exe", "c/v/hl2.exe", "hl2.exe"}));
    // Every folder is entered once; its match comes right after entering it, before
    // anything else, and a subtree once left is never entered again.
    std::vector<std::string> entered;
    std::string current;
    for (const auto& e : r.events) {
        if (e.rfind("enter ", 0) == 0) {
            current = e.substr(6);
            EXPECT_EQ(std::count(entered.begin(), entered.end(), current), 0) << current;
            if (!entered.empty()) {
                // The parent of each folder is on the path of folders entered just before it.
                const std::string parent = current.substr(0, current.rfind('/', current.size() - 2) + 1);
                EXPECT_NE(std::find(entered.begin(), entered.end(), parent), entered.end()) << current;
                // Once a folder is left for a folder outside it, no folder inside it follows.
                for (const auto& earlier : entered) {
                    const bool inside = current.compare(0, earlier.size(), earlier) == 0;
                    const bool leftEarlier = std::any_of(
                        entered.begin() + (std::find(entered.begin(), entered.end(), earlier) - entered.begin()),
                        entered.end(),
                        [&](const std::string& x) { return x.compare(0, earlier.size(), earlier) != 0; });
                    EXPECT_FALSE(inside && leftEarlier) << current << " after leaving " << earlier;
                }
            }
            entered.push_back(current);
        } else {
            EXPECT_EQ(e, "match " + current + "hl2.exe");
        }
    }
    EXPECT_EQ(entered.size(), 9u);
    EXPECT_EQ(entered.front(), "");
    EXPECT_EQ(r.events[1], "match hl2.exe");
    EXPECT_EQ(r.begins, 1);
    EXPECT_EQ(r.finishes, 1);
    EXPECT_EQ(r.aborts, 0);
    EXPECT_FALSE(f.Busy());
}

TEST(FindFile, TwoInstallationsGiveTwoCallsInVisitOrderWithFoldersEndingInTheSeparator) {
    TempDir dir;
    touch(dir, "SteamApps/acc1/half-life 2/hl2.exe");
    touch(dir, "SteamApps/acc2/half-life 2/hl2.exe");
    touch(dir, "SteamApps/acc2/half-life 2/hl2/cfg/valve.rc");
    TFindFile f;
    std::vector<std::string> folders, entered;
    f.OnFileMatch = [&](TFindFile&, const std::string& folder, const TFileInfo& info) {
        EXPECT_EQ(info.Name, "hl2.exe");
        EXPECT_FALSE(info.Hidden);
        folders.push_back(folder);
    };
    f.OnFolderChange = [&](TFindFile&, const std::string& folder, TFolderIgnore&) { entered.push_back(folder); };
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location = dir.path();
    f.Search();

    ASSERT_EQ(folders.size(), 2u);
    const auto pos = [&](const std::string& folder) {
        return std::find(entered.begin(), entered.end(), folder) - entered.begin();
    };
    EXPECT_LT(pos(folders[0]), pos(folders[1]));
    std::vector<std::string> sorted = folders;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Names{dir / "SteamApps/acc1/half-life 2/", dir / "SteamApps/acc2/half-life 2/"}));
}

TEST(FindFile, HiddenFilesMatchFoldersAndLinksToFoldersDoNot) {
    TempDir dir;
    touch(dir, ".hl2.exe");
    touch(dir, ".steam/hl2.exe");        // inside a hidden folder
    mkdirs(dir, "game/hl2.exe");         // a folder named like the mask
    touch(dir, "game/hl2.exe/hl2.exe");  // ... is searched, not reported
    touch(dir, "real/target.exe");
    test::makeHidden(dir / ".hl2.exe");  // Windows: the attribute, not the name
    // Wine makes no symbolic links: there the links are left out.
    const bool links = test::makeSymlink(dir / "real/target.exe", dir / "link.exe");
    if (kThisOs == OsFamily::Posix) {
        ASSERT_TRUE(links);
    }
    if (links) {
        ASSERT_TRUE(test::makeSymlink(dir / "nowhere", dir / "dangling.exe"));
        ASSERT_TRUE(test::makeSymlink(dir.path(), dir / "real/loop.exe"));  // a loop back to the root
    }

    EXPECT_EQ(searchMatches(dir, "hl2.exe", dir.path()).size(), 2u);
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "*hl2.exe;*.exe";
    f.Criteria.Files.Location = dir.path();
    f.Search();
    Names expected{".hl2.exe", ".steam/hl2.exe", "game/hl2.exe/hl2.exe", "real/target.exe"};
    if (links) expected.insert(expected.begin() + 3, "link.exe");
    EXPECT_EQ(r.sortedMatches(), expected);
    for (const auto& info : r.infos) EXPECT_EQ(info.Hidden, info.Name.front() == '.') << info.Name;
}

TEST(FindFile, MaskListsAreAskedFromTheLastAndReportEachFileOnce) {
    TempDir dir;
    for (const char* f : {"a.txt", "b.dll", "c.TXT", "d.bin", "sub/e.dll", "sub/f.txt"}) touch(dir, f);
    struct Case {
        const char* masks;
        Names folderOrder;
    };
    const Case cases[] = {
        // Within a folder the last mask's files come first; the subfolder follows.
        {"*.txt;*.dll", {"b.dll", "a.txt|c.TXT", "sub/e.dll", "sub/f.txt"}},
        {"*.dll;*.txt", {"a.txt|c.TXT", "b.dll", "sub/f.txt", "sub/e.dll"}},
        // Repeats (also in other letter case), blanks and empty items are dropped.
        {" *.dll ;;*.DLL; *.dll", {"b.dll", "sub/e.dll"}},
        // A file that meets several masks is reported once, under the last mask.
        {"a.*;*.txt", {"a.txt|c.TXT", "sub/f.txt"}},
        {"*.txt;a.*", {"a.txt", "c.TXT", "sub/f.txt"}},
        {"*.*;d.bin", {"d.bin", "a.txt|b.dll|c.TXT", "sub/e.dll|sub/f.txt"}},
        {"", {}},
        {" ; ", {}},
    };
    for (const auto& c : cases) {
        const Names got = searchMatches(dir, c.masks, dir.path());
        // Groups separated by "|" may come in any order among themselves (the listing's order).
        Names expected;
        std::size_t at = 0;
        for (const auto& group : c.folderOrder) {
            Names members;
            for (std::size_t s = 0, e; s <= group.size(); s = e + 1) {
                e = group.find('|', s);
                if (e == std::string::npos) e = group.size();
                members.push_back(group.substr(s, e - s));
            }
            ASSERT_LE(at + members.size(), got.size()) << c.masks;
            Names slice(got.begin() + static_cast<long>(at), got.begin() + static_cast<long>(at + members.size()));
            std::sort(slice.begin(), slice.end());
            EXPECT_EQ(slice, members) << c.masks;
            at += members.size();
        }
        EXPECT_EQ(at, got.size()) << c.masks;
    }
}

TEST(FindFile, LocationPrefixesChooseSubfoldersPerStartFolder) {
    TempDir dir;
    for (const char* f : {"one/hl2.exe", "one/sub/hl2.exe", "two/hl2.exe", "two/sub/hl2.exe"}) touch(dir, f);
    struct Case {
        std::string location;
        bool subfolders;
        Names expected;
    };
    const std::string one = dir / "one", two = dir / "two";
    const Case cases[] = {
        {one + ";" + two, true, {"one/hl2.exe", "one/sub/hl2.exe", "two/hl2.exe", "two/sub/hl2.exe"}},
        {one + ";" + two, false, {"one/hl2.exe", "two/hl2.exe"}},
        {"<" + one + "; >" + two, true, {"one/hl2.exe", "two/hl2.exe", "two/sub/hl2.exe"}},
        {">" + one + ";<" + two, false, {"one/hl2.exe", "one/sub/hl2.exe", "two/hl2.exe"}},
        {"< " + one + "/", true, {"one/hl2.exe"}},
        {"<;>;" + two, false, {"two/hl2.exe"}},
    };
    for (const auto& c : cases) {
        Names got = searchMatches(dir, "hl2.exe", c.location, c.subfolders);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.expected) << c.location << " subfolders " << c.subfolders;
    }
}

TEST(FindFile, StartFoldersAreSearchedInTheOrderGivenAndOnceEach) {
    TempDir dir;
    touch(dir, "b/hl2.exe");
    touch(dir, "Steam/hl2.exe");
    // The same folder under a name that differs only in letter case, as a
    // case-insensitive file system shows it.
    ASSERT_TRUE(test::makeSymlink((dir / "Steam").c_str(), (dir / "steam").c_str()));
    const std::string b = dir / "b";
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location =
        b + ";" + dir / "Steam" + ";" + dir / "steam/" + ";" + dir / "STEAM" + ";" + b + "/;" + dir / "x/../b";
    f.Search();
    EXPECT_EQ(r.matches, (Names{"b/hl2.exe", "Steam/hl2.exe"}));
    EXPECT_EQ(r.events, (Names{"enter b/", "match b/hl2.exe", "enter Steam/", "match Steam/hl2.exe"}));
}

TEST(FindFile, RelativeStartFoldersAreMadeAbsolute) {
    TempDir dir;
    touch(dir, "rel/hl2.exe");
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const Names got = searchMatches(dir, "hl2.exe", "rel");
    std::filesystem::current_path(before);
    // The folder handed to the handler is absolute and ends with the separator.
    EXPECT_EQ(got, (Names{"rel/hl2.exe"}));
}

TEST(FindFile, FolderChangeAnswersSkipFilesOrSubfolders) {
    TempDir dir;
    for (const char* f : {"hl2.exe", "sub/hl2.exe", "sub/deeper/hl2.exe"}) touch(dir, f);
    struct Case {
        TFolderIgnore answer;
        Names events;
    };
    const Case cases[] = {
        {TFolderIgnore::None, {"enter sub/", "match sub/hl2.exe", "enter sub/deeper/", "match sub/deeper/hl2.exe"}},
        {TFolderIgnore::JustThis, {"enter sub/", "enter sub/deeper/", "match sub/deeper/hl2.exe"}},
        {TFolderIgnore::JustSubfolders, {"enter sub/", "match sub/hl2.exe"}},
        {TFolderIgnore::ThisAndSubfolders, {"enter sub/"}},
    };
    for (const auto& c : cases) {
        TFindFile f;
        Recorder r(dir);
        r.attach(f);
        r.answers["sub/"] = c.answer;
        f.Criteria.Files.FileName = "hl2.exe";
        f.Criteria.Files.Location = dir / "sub";
        f.Search();
        EXPECT_EQ(r.events, c.events) << static_cast<int>(c.answer);
    }
}

TEST(FindFile, DepthLimitsCountTheStartFolderAsOne) {
    TempDir dir;
    for (const char* f : {"f.dat", "a/f.dat", "a/b/f.dat", "a/b/c/f.dat"}) touch(dir, f);
    struct Case {
        int min, max;
        Names expected;
        std::size_t entered;
    };
    const Case cases[] = {
        {0, 0, {"a/b/c/f.dat", "a/b/f.dat", "a/f.dat", "f.dat"}, 4},
        {0, 1, {"f.dat"}, 1},
        {0, 2, {"a/f.dat", "f.dat"}, 2},
        {2, 0, {"a/b/c/f.dat", "a/b/f.dat", "a/f.dat"}, 4},
        {2, 3, {"a/b/f.dat", "a/f.dat"}, 3},
        {5, 0, {}, 4},
    };
    for (const auto& c : cases) {
        TFindFile f;
        Recorder r(dir);
        r.attach(f);
        f.Criteria.Files.FileName = "f.dat";
        f.Criteria.Files.Location = dir.path();
        f.Criteria.Files.MinLevel = c.min;
        f.Criteria.Files.MaxLevel = c.max;
        f.Search();
        EXPECT_EQ(r.sortedMatches(), c.expected) << c.min << ".." << c.max;
        EXPECT_EQ(std::count_if(r.events.begin(), r.events.end(),
                                [](const std::string& e) { return e.rfind("enter", 0) == 0; }),
                  static_cast<long>(c.entered))
            << c.min << ".." << c.max;
    }
}

TEST(FindFile, AbortFromTheMatchHandlerStopsTheSearch) {
    TempDir dir;
    for (const char* f : {"one/a.exe", "one/b.exe", "one/sub/c.exe", "two/d.exe"}) touch(dir, f);
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "*.exe";
    f.Criteria.Files.Location = dir / "one" + ";" + dir / "two";
    f.OnFileMatch = [&](TFindFile& s, const std::string& folder, const TFileInfo& info) {
        r.events.push_back("match " + r.rel(folder) + info.Name);
        s.Abort();
        s.Abort();  // a second request changes nothing
        EXPECT_TRUE(s.Aborted());
    };
    f.Search();
    ASSERT_EQ(r.events.size(), 2u);
    EXPECT_EQ(r.events[0], "enter one/");
    EXPECT_EQ(r.aborts, 1);
    EXPECT_EQ(r.finishes, 1);
    EXPECT_FALSE(f.Busy());
    EXPECT_TRUE(f.Aborted());

    // Abort outside a search does nothing; the next search starts afresh.
    f.Abort();
    EXPECT_EQ(r.aborts, 1);
    f.OnFileMatch = nullptr;
    r.events.clear();
    f.Search();
    EXPECT_FALSE(f.Aborted());
    EXPECT_EQ(r.events, (Names{"enter one/", "enter one/sub/", "enter two/"}));
}

TEST(FindFile, AbortFromTheFolderHandlerListsNothingMore) {
    TempDir dir;
    for (const char* f : {"hl2.exe", "sub/hl2.exe"}) touch(dir, f);
    TFindFile f;
    int entered = 0, matched = 0;
    f.OnFolderChange = [&](TFindFile& s, const std::string&, TFolderIgnore&) {
        ++entered;
        s.Abort();
    };
    f.OnFileMatch = [&](TFindFile&, const std::string&, const TFileInfo&) { ++matched; };
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location = dir.path() + ";" + dir / "sub";
    f.Search();
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(matched, 0);
}

TEST(FindFile, MissingOrEmptyLocationsYieldNothingWithoutError) {
    TempDir dir;
    touch(dir, "here/hl2.exe");
    touch(dir, "afile");
    struct Case {
        std::string location;
        Names expected;
    };
    const Case cases[] = {
        {dir / "missing", {}},
        {dir / "afile", {}},  // a file, not a folder
        {dir / "missing;" + dir / "here", {"here/hl2.exe"}},
        {"", {}},
        {" ; ;", {}},
    };
    for (const auto& c : cases) {
        TFindFile f;
        Recorder r(dir);
        r.attach(f);
        f.Criteria.Files.FileName = "hl2.exe";
        f.Criteria.Files.Location = c.location;
        EXPECT_NO_THROW(f.Search()) << c.location;
        EXPECT_EQ(r.matches, c.expected) << c.location;
        EXPECT_EQ(r.begins, 1);
        EXPECT_EQ(r.finishes, 1);
    }
}

TEST(FindFile, AHandlerExceptionFinishesTheSearchAndReachesTheCaller) {
    TempDir dir;
    touch(dir, "a/hl2.exe");
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location = dir.path();
    f.OnFileMatch = [](TFindFile&, const std::string&, const TFileInfo&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(f.Search(), std::runtime_error);
    EXPECT_EQ(r.finishes, 1);
    EXPECT_FALSE(f.Busy());
    r.attach(f);
    f.Search();  // usable again
    EXPECT_EQ(r.matches, (Names{"a/hl2.exe"}));
}

TEST(FindFile, SearchWhileBusyDoesNothing) {
    TempDir dir;
    touch(dir, "hl2.exe");
    touch(dir, "sub/hl2.exe");
    TFindFile f;
    int matches = 0, begins = 0;
    f.OnSearchBegin = [&](TFindFile&) { ++begins; };
    f.OnFileMatch = [&](TFindFile& s, const std::string&, const TFileInfo&) {
        ++matches;
        s.Criteria.Files.Location = "";  // the running search keeps its own copy
        s.Search();
    };
    f.Criteria.Files.FileName = "hl2.exe";
    f.Criteria.Files.Location = dir.path();
    f.Search();
    EXPECT_EQ(matches, 2);
    EXPECT_EQ(begins, 1);
}

TEST(FindFile, BigFoldersAreListedWholeInEveryPass) {
    TempDir dir;
    // Several times more entry bytes than one read of the folder takes (32 KiB),
    // so each pass reads the folder anew. Links to one file: quick to make.
    const int kFiles = 300;
    touch(dir, "big/zz/hl2.exe");
    touch(dir, "source");
    const std::string longPart(180, 'n');
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = dir / "big/" + longPart + std::to_string(i) + (i % 2 ? ".txt" : ".dll");
        ASSERT_TRUE(test::makeHardLink((dir / "source").c_str(), name.c_str())) << name;
    }
    TFindFile f;
    Recorder r(dir);
    r.attach(f);
    f.Criteria.Files.FileName = "*.txt;*.dll;hl2.exe";
    f.Criteria.Files.Location = dir.path();
    f.Search();
    ASSERT_EQ(r.matches.size(), static_cast<std::size_t>(kFiles + 1));
    const auto endsWith = [](const std::string& s, const char* tail) {
        return s.size() >= std::strlen(tail) && s.compare(s.size() - std::strlen(tail), std::string::npos, tail) == 0;
    };
    for (int i = 0; i < kFiles; ++i) {
        const auto& m = r.matches[static_cast<std::size_t>(i)];
        EXPECT_TRUE(endsWith(m, i < kFiles / 2 ? ".dll" : ".txt")) << i << " " << m;
    }
    EXPECT_EQ(r.matches.back(), "big/zz/hl2.exe");
    EXPECT_EQ(std::set<std::string>(r.matches.begin(), r.matches.end()).size(), r.matches.size());
}

TEST(FindFile, UnreadableSubfoldersAreSkipped) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "permission bits: POSIX only";
    if (test::runningAsRoot()) GTEST_SKIP() << "root reads every folder";
    TempDir dir;
    touch(dir, "closed/hl2.exe");
    touch(dir, "open/hl2.exe");
    ASSERT_EQ(::chmod((dir / "closed").c_str(), 0), 0);
    const Names got = searchMatches(dir, "hl2.exe", dir.path());
    ::chmod((dir / "closed").c_str(), 0755);
    EXPECT_EQ(got, (Names{"open/hl2.exe"}));
}
