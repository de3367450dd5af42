#include "platform/ConsoleOutput.h"

#include <cstdio>

namespace vantor {

bool writeStdoutExactly(const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

}  // namespace vantor
