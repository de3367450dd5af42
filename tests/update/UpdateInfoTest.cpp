// The update-information file: version comparison, key lookup, the file list,
// the method, and which names taken from addresses count as plain.

#include "tests/support/UpdateSigning.h"
#include "update/UpdateInfo.h"
#include "update/UpdateSignature.h"

#include <gtest/gtest.h>

using namespace vantor;

TEST(UpdateInfoVersions, CompareAsSpecified) {
    struct Case {
        const char* offered;
        const char* running;
        int result;
    } const cases[] = {
        {"1.3.0.0", "1.3", 0},          // missing pieces are 0
        {"1.10", "1.3", 1},             // 10 is larger than 3
        {"1.3a", "1.3", 1},             // "3a" is no integer: the whole strings compare
        {"1.3", "1.3a", -1},            //
        {"1.2.3.4.9", "1.2.3.4.5", 0},  // parts after the fourth are ignored
        {"1.4", "1.3", 1},
        {"1.2", "1.3", -1},
        {"2", "1.9.9.9", 1},
        {"1.3", "", 1},   // an empty piece is no integer: "1.3" > ""
        {"", "1.3", -1},  // a missing version compares as an empty string
        {"", "", 0},
        {"1..3", "1.0.3", -1},  // an empty piece: the strings compare, "." < "0"
        {"01.3", "1.3", 0},     // read as integers
        {"1.-1", "1.0", -1},
        // Numbers, not characters, and of any length.
        {"1.10", "1.9", 1},
        {"1.9", "1.10", -1},
        {"1.10", "1.2", 1},
        {"1.2.10", "1.2.9", 1},
        {"1.99999999999999999999", "1.3", 1},
        {"1.3", "1.99999999999999999999", -1},
        {"1.+4", "1.3", -1},  // a sign is no digit: the strings compare, "+" < "3"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.offered) + " vs " + c.running);
        EXPECT_EQ(UpdateInfo::CompareVersions(c.offered, c.running), c.result);
        EXPECT_EQ(UpdateInfo::CompareVersions(c.running, c.offered), -c.result);
    }
}

// What the updater installs: only a larger plain dotted number over a plain
// dotted number. An order of texts never makes an offer newer (a signed "0.1"
// once replaced "1.3" because the running version was empty).
TEST(UpdateInfoVersions, OnlyALargerNumberIsNewer) {
    struct Case {
        const char* offered;
        const char* running;
        bool newer;
    } const cases[] = {
        {"1.4", "1.3", true},     {"1.10", "1.9", true},  {"1.10", "1.2", true},      {"2", "1.9.9.9", true},
        {"1.3.0.1", "1.3", true}, {"1.3", "1.3", false},  {"1.3.0", "1.3", false},    {"1.9", "1.10", false},
        {"0.1", "1.3", false},    {"1.3a", "1.3", false}, {"1.3", "", false},         {"0.1", "", false},
        {"1.4", "1.3a", false},   {"", "1.3", false},     {"9.0", "1.3 beta", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.offered) + " over " + c.running);
        EXPECT_EQ(UpdateInfo::IsNewer(c.offered, c.running), c.newer);
    }
}

TEST(UpdateInfoVersions, APlainDottedNumberIsAVersion) {
    for (const char* yes : {"1", "1.3", "1.3.0.0", "1.10", "01.2", "1.2.3.4.5"}) {
        SCOPED_TRACE(yes);
        EXPECT_TRUE(UpdateInfo::isVersion(yes));
    }
    for (const char* no : {"", ".", "1.", ".1", "1..3", "1.3a", "v1.3", "1.3 ", " 1.3", "-1", "1,3", "1.+3"}) {
        SCOPED_TRACE(no);
        EXPECT_FALSE(UpdateInfo::isVersion(no));
    }
}

TEST(UpdateInfoKeys, MatchWithoutCaseAnywhereAndEndBeforeAControlCharacter) {
    const UpdateInfo info(
        "junk #VERSION=1.4\tmore\r\n#Url=http://h/a\r\n#MESSAGE={Line one\r\nline two} after\r\n"
        "#empty=\r\n#method=2x");
    EXPECT_EQ(info.version(), "1.4");
    EXPECT_EQ(info.value("url"), "http://h/a");
    EXPECT_EQ(info.message(), "Line one\r\nline two");
    EXPECT_EQ(info.value("empty"), "");
    EXPECT_EQ(info.value("missing"), "");
    EXPECT_EQ(info.method(), TUpgradeMethod::RedirectToURL);
    EXPECT_EQ(UpdateInfo("#version=1.4").message(), "");
    EXPECT_EQ(UpdateInfo("#message={unended").message(), "unended");
    EXPECT_EQ(UpdateInfo("#method=1").method(), TUpgradeMethod::UseExternalSetup);
    EXPECT_EQ(UpdateInfo("#method=x").method(), TUpgradeMethod::SelfUpgrade);
    EXPECT_EQ(UpdateInfo("").method(), TUpgradeMethod::SelfUpgrade);
    // The first occurrence counts.
    EXPECT_EQ(UpdateInfo("#version=1.5\n#version=1.6").version(), "1.5");
}

TEST(UpdateInfoFiles, AreListedInTheKeysOrder) {
    auto urls = [](const std::string& text) {
        std::vector<std::string> out;
        for (const auto& f : UpdateInfo(text).files()) out.push_back(f.url);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(urls("#url=a\n#url2=b\n"), (V{"a", "b"}));
    EXPECT_EQ(urls("#url=a\n#url1=b\n"), (V{"a"}));  // after "url" the count goes on at 2
    EXPECT_EQ(urls("#url1=a\n#url2=b\n#url4=d"), (V{"a", "b"}));
    EXPECT_EQ(urls("#url=a\n#url0=b\n#url3=c\n#url2=x"), (V{"a", "b", "c"}));
    EXPECT_EQ(urls("#url0=b\n#url2=c"), (V{"b", "c"}));
    EXPECT_EQ(urls("#version=2"), V{});

    const auto files = UpdateInfo("#url=a\n#url.size=12\n#url.sha256=" + std::string(64, 'A') +
                                  "\n#url2=b\n#url2.size=1x\n#url2.sha256=abc\n")
                           .files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].size, 12u);
    EXPECT_EQ(files[0].sha256, std::string(64, 'a'));
    EXPECT_FALSE(files[1].size);
    EXPECT_EQ(files[1].sha256, "");
}

TEST(UpdateInfoNames, OnlyPlainNamesAreAllowed) {
    EXPECT_EQ(UpdateInfo::fileNameOf("http://h/dl/vantor"), "vantor");
    EXPECT_EQ(UpdateInfo::fileNameOf("http://h/dl\\setup.exe"), "setup.exe");
    EXPECT_EQ(UpdateInfo::fileNameOf("http://h/dl/get?file=a/b"), "get");
    EXPECT_EQ(UpdateInfo::fileNameOf("http://h/dl/"), "");
    EXPECT_EQ(UpdateInfo::fileNameOf("http://h"), "");
    for (const char* ok : {"vantor", "version.txt", "my%20file", "a-b_c.d", "%41"}) {
        SCOPED_TRACE(ok);
        EXPECT_TRUE(UpdateInfo::isPlainFileName(ok));
    }
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a\x01", "c:x", "%2e%2e", "%2E.", "a%2fb", "a%5Cb",
                            "%252e%252e", "x%00", "%0a"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(UpdateInfo::isPlainFileName(bad));
    }
}

TEST(UpdateSignatureCheck, AcceptsOnlyTheKeysSignatureOfTheExactBytes) {
    const test::TestKey key, other;
    const std::string bytes = "#version=1.4\r\n";
    const std::string sig = key.sign(bytes);
    EXPECT_TRUE(verifyUpdateSignature(bytes, sig, key.pub));
    EXPECT_TRUE(verifyUpdateSignature(bytes, "  " + sig + "\r\n", key.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes + " ", sig, key.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes, other.sign(bytes), key.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes, sig, other.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes, "", key.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes, sig.substr(0, 126), key.pub));
    EXPECT_FALSE(verifyUpdateSignature(bytes, sig.substr(0, 127) + "g", key.pub));
    std::string flipped = sig;
    flipped[10] = flipped[10] == '0' ? '1' : '0';
    EXPECT_FALSE(verifyUpdateSignature(bytes, flipped, key.pub));
}
