#include "platform/PathCase.h"

namespace vantor {

// Windows file systems ignore case: every spelling names the same entry.
std::string pathIgnoringCase(const std::string& folder, const std::string& relative) { return folder + relative; }

}  // namespace vantor
