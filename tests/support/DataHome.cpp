// Every test keeps the user's data (the run history) in a folder of its own:
// runs that tests finish never reach the real user's history, nor another
// test's. Programs the tests start inherit it.
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace vantor::test {
namespace {

class DataHome : public ::testing::EmptyTestEventListener {
public:
    DataHome() { point(); }

private:
    void OnTestStart(const ::testing::TestInfo&) override { point(); }

    // A new, empty folder for the next test.
    void point() {
        const std::string folder = dir_ / ("data" + std::to_string(++count_));
        setEnv("XDG_DATA_HOME", folder);  // POSIX
        setEnv("LOCALAPPDATA", folder);   // Windows
    }

    TempDir dir_;
    int count_ = 0;
};

// Registered before main: the listeners list owns it.
const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new DataHome);
    return true;
}();

}  // namespace
}  // namespace vantor::test
