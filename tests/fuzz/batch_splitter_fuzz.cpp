// The batch host's command-line splitter: the words it finds, each put in
// quotes and joined by blanks, split into the same words again.

#include "platform/posix/ProgramLookup.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto words = posix::splitCommandWords(fuzz::asText(data, size));
    std::string joined;
    for (const auto& w : words) {
        FUZZ_CHECK(w.find('"') == std::string::npos, w);
        joined += (joined.empty() ? "\"" : " \"") + w + "\"";
    }
    FUZZ_CHECK(posix::splitCommandWords(joined) == words, joined);
    return 0;
}
