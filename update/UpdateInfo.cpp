#include "update/UpdateInfo.h"
#include "platform/AsciiCase.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vantor {
namespace {

// The four pieces of a version: a "." is added, then up to four pieces
// between dots; a piece that is not there is "0".
std::vector<std::string> versionPieces(const std::string& v) {
    std::vector<std::string> pieces;
    const std::string s = v + ".";
    std::size_t from = 0;
    while (pieces.size() < 4) {
        const auto dot = s.find('.', from);
        if (dot == std::string::npos) break;
        pieces.push_back(s.substr(from, dot - from));
        from = dot + 1;
    }
    while (pieces.size() < 4) pieces.push_back("0");
    return pieces;
}

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Two runs of digits compared as numbers, however long: -1, 0 or 1.
int compareNumbers(const std::string& a, const std::string& b) {
    const auto x = a.substr(std::min(a.find_first_not_of('0'), a.size()));
    const auto y = b.substr(std::min(b.find_first_not_of('0'), b.size()));
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    const int c = x.compare(y);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool isLowerHex(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

UpdateInfo::UpdateInfo(std::string text) : text_(std::move(text)), lower_(asciiLower(text_)) {}

std::string UpdateInfo::value(const std::string& key) const {
    const std::string k = asciiLower(key);
    const bool message = k == "message";
    const std::string pattern = "#" + k + (message ? "={" : "=");
    const auto at = lower_.find(pattern);
    if (at == std::string::npos) return {};
    const std::size_t start = at + pattern.size();
    std::size_t end = start;
    if (message) {
        end = text_.find('}', start);
        if (end == std::string::npos) end = text_.size();
    } else {
        while (end < text_.size() && static_cast<unsigned char>(text_[end]) >= 32) ++end;
    }
    return text_.substr(start, end - start);
}

TUpgradeMethod UpdateInfo::method() const {
    const std::string m = value("method");
    if (!m.empty() && m[0] == '1') return TUpgradeMethod::UseExternalSetup;
    if (!m.empty() && m[0] == '2') return TUpgradeMethod::RedirectToURL;
    return TUpgradeMethod::SelfUpgrade;
}

std::vector<UpdateFile> UpdateInfo::files() const {
    std::vector<std::string> keys;
    if (!value("url").empty()) keys.push_back("url");
    if (!value("url0").empty()) keys.push_back("url0");
    for (std::size_t n = keys.size() + 1;; ++n) {
        const std::string key = "url" + std::to_string(n);
        if (value(key).empty()) break;
        keys.push_back(key);
    }
    std::vector<UpdateFile> files;
    for (const auto& key : keys) {
        UpdateFile f;
        f.url = value(key);
        const std::string size = value(key + ".size");
        std::uint64_t n = 0;
        const auto r = std::from_chars(size.data(), size.data() + size.size(), n);
        if (!size.empty() && r.ec == std::errc() && r.ptr == size.data() + size.size()) f.size = n;
        const std::string hash = asciiLower(value(key + ".sha256"));
        if (hash.size() == 64 && isLowerHex(hash)) f.sha256 = hash;
        files.push_back(std::move(f));
    }
    return files;
}

std::string UpdateInfo::fileNameOf(const std::string& url) {
    std::string address = url;
    const auto scheme = address.find("://");
    if (scheme != std::string::npos) address.erase(0, scheme + 3);
    address = address.substr(0, address.find_first_of("?#"));
    const auto slash = address.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : address.substr(slash + 1);
}

bool UpdateInfo::isPlainFileName(const std::string& name) {
    auto plain = [](const std::string& s) {
        if (s.empty() || s == "." || s == "..") return false;
        for (unsigned char c : s)
            if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ':') return false;
        return true;
    };
    if (!plain(name)) return false;
    // Decoded as often as it changes, so nothing hides behind an escape.
    std::string text = name;
    for (int round = 0; round < 4 && text.find('%') != std::string::npos; ++round) {
        std::string decoded;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
            if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) && hex(text[i + 2])) {
                decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                decoded += text[i];
            }
        }
        if (decoded == text) break;
        if (!plain(decoded)) return false;
        text = decoded;
    }
    return true;
}

int UpdateInfo::CompareVersions(const std::string& offered, const std::string& running) {
    const auto a = versionPieces(offered), b = versionPieces(running);
    for (std::size_t i = 0; i < 4; ++i) {
        if (!allDigits(a[i]) || !allDigits(b[i])) {
            const int c = offered.compare(running);
            return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        if (const int c = compareNumbers(a[i], b[i]); c != 0) return c;
    }
    return 0;
}

bool UpdateInfo::IsNewer(const std::string& offered, const std::string& running) {
    // "1.3a" over "1.3", or anything over an unknown "", is an order of texts.
    return isVersion(offered) && isVersion(running) && CompareVersions(offered, running) == 1;
}

bool UpdateInfo::isVersion(const std::string& version) {
    if (version.empty() || version.front() == '.' || version.back() == '.') return false;
    for (std::size_t i = 0; i < version.size(); ++i) {
        const char c = version[i];
        if (c == '.' ? version[i - 1] == '.' : (c < '0' || c > '9')) return false;
    }
    return true;
}

}  // namespace vantor
