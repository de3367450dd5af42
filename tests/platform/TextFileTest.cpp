#include "platform/TextFile.h"

#include "platform/OsFamily.h"

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

using namespace vantor;
using vantor::test::TempDir;

TEST(TextFile, EncodesWindows1252WithCrLfAfterEveryLine) {
    struct Case {
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"640×480",
         "640\xD7"
         "480"},
        {"é É €", "\xE9 \xC9 \x80"},
        {"日本", "??"},         // no Windows-1252 byte
        {"\xFF bad", "? bad"},  // not UTF-8
        {"", ""},
        // Overlong forms of LF, CR, NUL and '©', a surrogate, beyond U+10FFFF.
        {"a\xC0\x8A"
         "b",
         "a?b"},
        {"a\xE0\x80\x8D"
         "b",
         "a?b"},
        {"a\xC0\x80"
         "b",
         "a?b"},
        {"a\xC1\xBF"
         "b",
         "a?b"},
        {"a\xE0\x82\xA9"
         "b",
         "a?b"},
        {"a\xF0\x80\x80\x8A"
         "b",
         "a?b"},
        {"a\xED\xA0\x80"
         "b",
         "a?b"},
        {"a\xF4\x90\x80\x80"
         "b",
         "a?b"},
        {"a\xE2\x82"
         "b",
         "a?b"},              // cut short by an ASCII byte
        {"a\xE2\x82", "a?"},  // cut short by the end
    };
    for (const auto& c : cases) EXPECT_EQ(toWindows1252(c.utf8), c.bytes) << c.utf8;
    // One line stays one line, whatever control characters it holds.
    EXPECT_EQ(encodeTextLines({"a\nb\rc",
                               "d\xC0\x8A"
                               "e"}),
              "a?b?c\r\nd?e\r\n");
    EXPECT_EQ(encodeTextLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(fromWindows1252("640\xD7"
                              "480 \x80"),
              "640×480 €");
}

TEST(TextFile, AtomicWriteReplacesAndLeavesNoTemporary) {
    TempDir dir;
    const auto path = dir / "valve.rc";
    vantor::test::writeFile(path, "old");
    ASSERT_TRUE(writeTextFile(path, {"x", "y"}));
    EXPECT_EQ(vantor::test::readFile(path), "x\r\ny\r\n");
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(TextFile, FailedWriteKeepsTheOldFileAndReportsTheError) {
    if (test::runningAsRoot()) GTEST_SKIP() << "root ignores folder permissions";
    TempDir dir;
    const auto path = dir / "keep.cfg";
    vantor::test::writeFile(path, "mine");
    // POSIX: a folder without write permission. Windows: the file open in another
    // program that lets nobody delete or replace it (a C runtime stream does so).
    namespace fs = std::filesystem;
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    std::ifstream held;
    if (kThisOs == OsFamily::Windows)
        held.open(path);
    else
        fs::permissions(dir.path(), writable, fs::perm_options::remove);
    auto r = writeTextFile(path, {"other"});
    held.close();
    if (kThisOs != OsFamily::Windows) fs::permissions(dir.path(), writable, fs::perm_options::add);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(vantor::test::readFile(path), "mine");
}

TEST(TextFile, WriteIntoMissingFolderFails) {
    TempDir dir;
    auto r = writeTextFile(dir / "no/such/folder/file.txt", {"x"});
    EXPECT_FALSE(r.ok);
}

TEST(TextFile, ReadsLinesLikeAStringList) {
    TempDir dir;
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}}, {"a\nb", {"a", "b"}}, {"a\r\n\r\nb", {"a", "", "b"}}, {"", {}},
        {"x\xD7y\r\n", {"x×y"}},
    };
    for (const auto& c : cases) {
        vantor::test::writeFile(dir / "f.txt", c.bytes);
        std::vector<std::string> lines;
        ASSERT_TRUE(readTextLines(dir / "f.txt", lines));
        EXPECT_EQ(lines, c.lines);
    }
    std::vector<std::string> lines;
    EXPECT_FALSE(readTextLines(dir / "missing.txt", lines));
}

TEST(TextFile, ReadsAFileWholeWhateverItsSizeAndSystemFilesThatTellNone) {
    TempDir dir;
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 1048579u}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 251);
        vantor::test::writeFile(dir / "f.bin", bytes);
        std::string read = "left over";
        ASSERT_TRUE(readFileBytes(dir / "f.bin", read));
        EXPECT_TRUE(read == bytes) << read.size() << " bytes read";
    }
    std::string read;
    EXPECT_FALSE(readFileBytes(dir / "missing.bin", read));
    if (kThisOs != OsFamily::Windows) {
        // /proc files have a size of 0 and content all the same.
        ASSERT_TRUE(readFileBytes("/proc/self/status", read));
        EXPECT_NE(read.find("\nPid:"), std::string::npos) << read;
        EXPECT_EQ(read.back(), '\n');
    }
}
