#pragma once
// The update-information file: a plain text read as one string, values looked
// up by key ("#key=value"; "#message={...}"), the list of file addresses and,
// beside each address, its size and SHA-256 ("#url1.size=", "#url1.sha256=";
// older readers do not see them). Also the version comparison.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

enum class TUpgradeMethod { SelfUpgrade = 0, UseExternalSetup = 1, RedirectToURL = 2 };

struct UpdateFile {
    std::string url;
    std::optional<std::uint64_t> size;
    std::string sha256;  // lower-case hex; empty when missing or malformed
};

class UpdateInfo {
public:
    explicit UpdateInfo(std::string text);

    // The value of a key, empty when it is missing or empty. Keys match
    // without regard to case, anywhere in the text; the first occurrence counts.
    std::string value(const std::string& key) const;

    std::string version() const { return value("version"); }
    std::string message() const { return value("message"); }
    TUpgradeMethod method() const;
    // "url", "url0", then "url" + number from one more than the count so far.
    std::vector<UpdateFile> files() const;

    // -1, 0 or 1: whether the offered version is older, the same or newer.
    // The first four dot-separated pieces compare as numbers of any length
    // ("1.10" after "1.9"); when a piece is no number, the whole texts compare
    // by character. Antisymmetric.
    static int CompareVersions(const std::string& offered, const std::string& running);
    // Whether an update to offered is one: both are plain dotted numbers and
    // offered is the larger. An order of texts never makes an offer newer.
    static bool IsNewer(const std::string& offered, const std::string& running);
    // A plain dotted number: digits, single dots between them ("1.3", "2.0.1").
    static bool isVersion(const std::string& version);

    // The last path component of an address (slashes and backslashes both
    // separate; a query or fragment does not count).
    static std::string fileNameOf(const std::string& url);
    // A plain file name: not empty, not "." or "..", no separator, no control
    // character, no ':', and none of these once %-escapes are decoded.
    static bool isPlainFileName(const std::string& name);

private:
    std::string text_, lower_;
};

}  // namespace vantor
