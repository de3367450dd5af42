#include "platform/UpperCase.h"

#include <cstdlib>
#include <locale>
#include <stdexcept>
#include <string>

namespace vantor {
namespace {

// The user's case rules: the locale that LC_ALL, LC_CTYPE or LANG names. Text
// inside the program is UTF-8, so where the user names no language ("C",
// "POSIX" or nothing, as in many services and CI jobs) the Unicode rules of
// C.UTF-8 apply; the plain "C" locale upper-cases only A to Z.
std::locale makeUserLocale() {
    std::string name;
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* v = std::getenv(var); v && *v) {
            name = v;
            break;
        }
    }
    if (name != "C" && name != "POSIX" && !name.empty()) {
        try {
            return std::locale(name.c_str());
        } catch (const std::runtime_error&) {
            // named but not installed
        }
    }
    try {
        return std::locale("C.UTF-8");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

const std::ctype<wchar_t>& userCase() {
    static const std::locale loc = makeUserLocale();
    return std::use_facet<std::ctype<wchar_t>>(loc);
}

}  // namespace

void toUpperInPlace(std::wstring& text) { userCase().toupper(text.data(), text.data() + text.size()); }

}  // namespace vantor
