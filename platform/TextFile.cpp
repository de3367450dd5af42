#include "platform/TextFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace vantor {
namespace {

// Unicode code points of the bytes 0x80..0x9F in Windows-1252 (0 = undefined).
constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encodeCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp && cp != 0) return static_cast<char>(0x80 + i);
    return '?';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string toWindows1252(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        std::size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c >> 5) == 0x6) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c >> 4) == 0xE) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            cp = c & 0x07;
            len = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }  // stray continuation or bad lead byte
        // A sequence cut short fails below.
        const std::size_t avail = std::min(len, s.size() - i);
        std::size_t k = 1;
        for (; k < avail; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc >> 6) != 0x2) break;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (k < len) {
            // A broken sequence: its lead byte and the continuation bytes seen so far.
            out += '?';
            i += k;
            continue;
        }
        // An overlong form (C0 8A for LF, E0 80 8D for CR, C0 80 for NUL) would
        // smuggle a control character past the encoder: unmappable, as a
        // surrogate or a code point beyond U+10FFFF is.
        static constexpr char32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            out += '?';
            i += len;
            continue;
        }
        out += encodeCodePoint(cp);
        i += len;
    }
    return out;
}

std::string fromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            appendUtf8(out, kHigh[c - 0x80] ? kHigh[c - 0x80] : 0xFFFD);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string encodeTextLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) {
        // A CR or LF inside a line would make it several when read back.
        std::string bytes = toWindows1252(line);
        std::replace_if(
            bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }, '?');
        out += bytes;
        out += "\r\n";
    }
    return out;
}

IoResult writeTextFile(const std::string& path, const std::vector<std::string>& lines) {
    return writeFileAtomic(path, encodeTextLines(lines));
}

bool readFileBytes(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    // One read at the size the file tells (system files such as /proc/cpuinfo
    // tell none), then whatever it grew by meanwhile.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    out.clear();
    out.resize(!ec && size > 0 && size < (1ull << 40) ? static_cast<std::size_t>(size) + 1 : 64 * 1024);
    std::size_t have = 0;
    for (;;) {
        in.read(out.data() + have, static_cast<std::streamsize>(out.size() - have));
        have += static_cast<std::size_t>(in.gcount());
        if (!in) break;
        out.resize(out.size() * 2);
    }
    out.resize(have);
    return !in.bad();
}

bool readFileRange(const std::string& path, std::uint64_t offset, std::size_t maxBytes, std::string& out,
                   std::uint64_t& size) {
    out.clear();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const auto end = in.tellg();
    if (end < 0) return false;
    size = static_cast<std::uint64_t>(end);
    if (offset >= size) return true;
    const std::uint64_t left = size - offset;
    out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, maxBytes)));
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

bool readTextLines(const std::string& path, std::vector<std::string>& lines) {
    std::string bytes;
    if (!readFileBytes(path, bytes)) return false;
    lines.clear();
    std::string cur;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(fromWindows1252(cur));
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(fromWindows1252(cur));
    return true;
}

}  // namespace vantor
