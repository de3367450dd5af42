// The new-file writer a download fills: created anew, written in order, and
// flushed to the disk when it is closed, before anyone renames it into place.
// The flush is seen by counting this process's fsync calls (POSIX).

#include "platform/FileOps.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <dlfcn.h>

#include <atomic>

namespace {
std::atomic<int> gFsyncs{0};
}

// Every fsync of the test program passes here on its way to the C library.
extern "C" int fsync(int fd) {
    using Real = int (*)(int);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "fsync"));
    const int rc = real(fd);
    if (rc == 0) ++gFsyncs;
    return rc;
}
#endif

using namespace vantor;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;

TEST(NewFileTest, ReplacesAnOlderFileAndIsFlushedWhenClosed) {
    TempDir dir;
    const std::string path = dir / "vantor.uTMP";
    writeFile(path, "an older and longer file");
    NewFile file;
    std::string error;
    ASSERT_TRUE(file.create(path, error, true)) << error;
    ASSERT_TRUE(file.write("new ", 4, error)) << error;
    ASSERT_TRUE(file.write("bytes", 5, error)) << error;
#ifndef _WIN32
    const int before = gFsyncs;
#endif
    ASSERT_TRUE(file.close(error)) << error;
#ifndef _WIN32
    EXPECT_EQ(gFsyncs, before + 1);
#endif
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(readFile(path), "new bytes");
    EXPECT_TRUE(file.close(error));  // closing again does nothing
}
