#include "core/ProgramVersion.h"

// VANTOR_PROGRAM_VERSION comes from the build (core/CMakeLists.txt); a test copy
// of a program compiles this file into itself with another version.
namespace vantor {

std::string_view programVersion() { return VANTOR_PROGRAM_VERSION; }

}  // namespace vantor
