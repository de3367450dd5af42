#include "platform/ProcessList.h"

#include <locale>
#include <string>

namespace vantor {
namespace {

// Decodes UTF-8 into wide characters; bytes that are not UTF-8 pass as they are.
std::wstring widen(const std::string& s) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out += static_cast<wchar_t>(c);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 0x2) { ok = false; break; }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += static_cast<wchar_t>(c);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += len;
    }
    return out;
}

const std::locale& userLocale() {
    static const std::locale loc = [] {
        for (const char* name : {"", "C.UTF-8", "en_US.UTF-8"}) {
            try {
                return std::locale(name);
            } catch (const std::runtime_error&) {
            }
        }
        return std::locale::classic();
    }();
    return loc;
}

std::wstring upper(const std::string& s) {
    std::wstring w = widen(s);
    const auto& ct = std::use_facet<std::ctype<wchar_t>>(userLocale());
    ct.toupper(w.data(), w.data() + w.size());
    return w;
}

}  // namespace

bool ContainsIgnoringCase(const std::string& part, const std::string& text) {
    if (part.empty()) return false;
    return upper(text).find(upper(part)) != std::wstring::npos;
}

}  // namespace vantor
