#pragma once
// The program's own version, compiled in from the build's one version number
// (CMake's project version): shown in the window, printed by --version,
// stored as Programversion and compared with what an update offers.

#include <string_view>

namespace vantor {

std::string_view programVersion();

}  // namespace vantor
