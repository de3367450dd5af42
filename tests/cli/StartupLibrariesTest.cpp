// What the programs load when they start: none of the libraries that only some
// commands need (transfers, the history, hashes of downloads); their backends
// load them on first use. The system's loader lists what a start would load.
#include "platform/OsFamily.h"

#include "tests/support/CliProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vantor;
using namespace vantor::test;

namespace {

// The libraries the loader would map to start program (glibc's trace, as ldd
// shows it), one line each.
std::string librariesAtStart(const TempDir& dir, const std::string& program) {
    Cli trace(dir.path(), dir.path() + "registry.reg", {}, {"LD_TRACE_LOADED_OBJECTS=1"}, "trace", program);
    EXPECT_EQ(trace.wait(), 0) << trace.err();
    return trace.out();
}

}  // namespace

TEST(StartupLibraries, TheProgramsStartWithoutTheLibrariesOnlySomeCommandsNeed) {
    if (kThisOs == OsFamily::Windows)
        GTEST_SKIP() << "glibc's loader trace; the Windows programs are linked statically";
    TempDir dir;
    std::vector<std::string> programs = {std::string(VANTOR_BIN_DIR) + "/vantor-cli"};
    if (std::filesystem::exists(std::string(VANTOR_BIN_DIR) + "/vantor"))
        programs.push_back(std::string(VANTOR_BIN_DIR) + "/vantor");
    for (const auto& program : programs) {
        SCOPED_TRACE(program);
        const std::string libraries = librariesAtStart(dir, program);
        ASSERT_NE(libraries.find("libc.so"), std::string::npos) << "no trace: " << libraries;
        for (const char* later : {"libcurl", "libsqlite3", "libcrypto", "libssl", "libgnutls", "libldap", "libssh"})
            EXPECT_EQ(libraries.find(later), std::string::npos) << later << " at start:\n" << libraries;
    }
#if defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
    // vantor-cli has the C++ runtime linked in: its commands are over before
    // loading libstdc++ would be.
    EXPECT_EQ(librariesAtStart(dir, programs.front()).find("libstdc++"), std::string::npos);
#endif
}
