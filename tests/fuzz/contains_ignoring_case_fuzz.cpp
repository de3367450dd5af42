// ContainsIgnoringCase: a text contains each of its own pieces, and on ASCII it
// agrees with a plain upper-casing search.

#include "platform/ProcessList.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace vantor;

namespace {

std::string upperAscii(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

bool ascii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // part, a NUL byte, text.
    const std::string_view in = fuzz::asText(data, size);
    const std::size_t cut = in.find('\0');
    if (cut == std::string_view::npos) return 0;
    const std::string part(in.substr(0, cut)), text(in.substr(cut + 1));
    const bool found = ContainsIgnoringCase(part, text);
    if (part.empty()) FUZZ_CHECK(!found);
    if (!part.empty()) FUZZ_CHECK(ContainsIgnoringCase(part, "x" + part + "y"), part);
    if (ascii(part) && ascii(text) && !part.empty())
        FUZZ_CHECK(found == (upperAscii(text).find(upperAscii(part)) != std::string::npos), part + " / " + text);
    return 0;
}
