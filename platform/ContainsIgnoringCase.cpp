#include "platform/ProcessList.h"
#include "platform/UpperCase.h"

#include <string>
#include <string_view>

namespace vantor {
namespace {

void append(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

// Decodes UTF-8 into wide characters. A byte that does not start a well-formed
// sequence becomes a lone low surrogate (0xDC00 + byte): it matches only the
// same byte and has no case, so it never passes for a letter.
std::wstring widen(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<wchar_t>(c);
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
            min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
            min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
            min = 0x10000;
        }
        bool ok = len != 0 && i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            ok = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        ok = ok && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!ok) {
            out += static_cast<wchar_t>(0xDC00 + c);
            ++i;
            continue;
        }
        append(out, cp);
        i += len;
    }
    return out;
}

std::wstring upper(std::string_view s) {
    std::wstring w = widen(s);
    toUpperInPlace(w);
    return w;
}

}  // namespace

bool ContainsIgnoringCase(const std::string& part, const std::string& text) {
    if (part.empty()) return false;
    return upper(text).find(upper(part)) != std::wstring::npos;
}

}  // namespace vantor
