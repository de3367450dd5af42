#include "platform/FileOps.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vantor;
using vantor::test::TempDir;

TEST(CanCreateFilesIn, ProbesTheFolderAndLeavesNothingBehind) {
    TempDir dir;
    // A file of the probe's first name stays untouched; the probe takes another.
    test::writeFile(dir / ".vantor-write-test-0", "user's");
    std::string error = "unchanged";
    EXPECT_TRUE(canCreateFilesIn(dir.path(), &error));
    EXPECT_TRUE(canCreateFilesIn(dir / "", &error));
    EXPECT_EQ(error, "unchanged");
    EXPECT_EQ(test::readFile(dir / ".vantor-write-test-0"), "user's");
    std::size_t files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1u);
}

TEST(CanCreateFilesIn, FolderThatCannotTakeAFileGivesTheReason) {
    TempDir dir;
    test::writeFile(dir / "file", "x");
    const struct {
        std::string folder;
        const char* why;
    } cases[] = {
        {dir / "missing/", "the folder does not exist"},
        {dir / "file", "the folder does not exist"},
        {"/proc/", nullptr},  // no file can be created there, by root either
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        std::string error;
        EXPECT_FALSE(canCreateFilesIn(c.folder, &error));
        if (c.why)
            EXPECT_EQ(error, c.why);
        else
            EXPECT_FALSE(error.empty());
    }
}
