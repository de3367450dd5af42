// Every test program keeps the user's data (the run history) in a folder of its
// own: runs that tests finish never reach the real user's history. Programs the
// tests start inherit it.
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <cstdlib>

namespace vantor::test {
namespace {

struct DataHome {
    TempDir dir;
    DataHome() { vantor::test::setEnv("XDG_DATA_HOME", (dir / "data").c_str()); }
};

const DataHome dataHome;

}  // namespace
}  // namespace vantor::test
