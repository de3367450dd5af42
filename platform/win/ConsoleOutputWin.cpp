#include "platform/ConsoleOutput.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>

namespace vantor {

bool writeStdoutExactly(const std::string& bytes) {
    std::fflush(stdout);
    const int previous = _setmode(_fileno(stdout), _O_BINARY);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    if (previous != -1) _setmode(_fileno(stdout), previous);
    return ok;
}

}  // namespace vantor
