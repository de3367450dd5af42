// The search mask matcher against a plain reference: "*" any run, "?" one
// character, letters without regard to case, "*" and "*.*" match everything.
// The two are compared on ASCII names and masks; other bytes only must not
// break the matcher.

#include "platform/FindFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <vector>

using namespace vantor;

namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Dynamic programming over the two texts: can[i][j] = mask[i..] matches name[j..].
bool reference(const std::string& name, const std::string& mask) {
    if (mask == "*" || mask == "*.*") return true;
    const std::size_t n = name.size(), m = mask.size();
    std::vector<std::vector<char>> can(m + 1, std::vector<char>(n + 1, 0));
    can[m][n] = 1;
    for (std::size_t i = m; i-- > 0;) {
        for (std::size_t j = n + 1; j-- > 0;) {
            if (mask[i] == '*')
                can[i][j] = can[i + 1][j] || (j < n && can[i][j + 1]);
            else if (j < n && (mask[i] == '?' || fold(mask[i]) == fold(name[j])))
                can[i][j] = can[i + 1][j + 1];
        }
    }
    return can[0][0];
}

bool ascii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // mask, a NUL byte, name (a short name and mask keep the reference cheap).
    const std::string_view text = fuzz::asText(data, size);
    const std::size_t cut = text.find('\0');
    if (cut == std::string_view::npos) return 0;
    const std::string mask(text.substr(0, cut)), name(text.substr(cut + 1));
    if (mask.size() > 64 || name.size() > 256) return 0;
    const bool matched = MatchesMask(name, mask);
    if (ascii(name) && ascii(mask)) FUZZ_CHECK(matched == reference(name, mask), mask + " / " + name);
    // A name always matches itself as a mask without wildcards.
    if (name.find_first_of("*?") == std::string::npos && !name.empty()) FUZZ_CHECK(MatchesMask(name, name), name);
    return 0;
}
