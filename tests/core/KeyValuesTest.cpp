#include "core/KeyValues.h"

#include <gtest/gtest.h>

#include <string>

using namespace vantor;

namespace {

// libraryfolders.vdf as a Linux client writes it today (tabs, one library per
// numbered section, the apps of each library).
constexpr const char* kLinuxLibraries =
    "\"libraryfolders\"\n"
    "{\n"
    "\t\"0\"\n"
    "\t{\n"
    "\t\t\"path\"\t\t\"/home/deck/.local/share/Steam\"\n"
    "\t\t\"label\"\t\t\"\"\n"
    "\t\t\"contentid\"\t\t\"139528875376889895\"\n"
    "\t\t\"totalsize\"\t\t\"0\"\n"
    "\t\t\"update_clean_bytes_tally\"\t\t\"41190949633\"\n"
    "\t\t\"time_last_update_corruption\"\t\t\"0\"\n"
    "\t\t\"apps\"\n"
    "\t\t{\n"
    "\t\t\t\"228980\"\t\t\"247963842\"\n"
    "\t\t}\n"
    "\t}\n"
    "\t\"1\"\n"
    "\t{\n"
    "\t\t\"path\"\t\t\"/run/media/mmcblk0p1\"\n"
    "\t\t\"label\"\t\t\"\"\n"
    "\t\t\"apps\"\n"
    "\t\t{\n"
    "\t\t\t\"220\"\t\t\"6357352318\"\n"
    "\t\t}\n"
    "\t}\n"
    "}\n";

TEST(KeyValues, ReadsTodaysLibraryListAsSectionsInFileOrder) {
    const auto r = parseKeyValues(kLinuxLibraries);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.entries.size(), 1u);
    const KeyValue& root = r.entries[0];
    EXPECT_EQ(root.key, "libraryfolders");
    EXPECT_TRUE(root.section);
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].key, "0");
    EXPECT_EQ(root.children[0].find("path")->value, "/home/deck/.local/share/Steam");
    EXPECT_EQ(root.children[0].find("LABEL")->value, "");
    EXPECT_EQ(root.children[1].find("path")->value, "/run/media/mmcblk0p1");
    const KeyValue* apps = root.children[1].find("apps");
    ASSERT_NE(apps, nullptr);
    EXPECT_TRUE(apps->section);
    ASSERT_EQ(apps->children.size(), 1u);
    EXPECT_EQ(apps->children[0].key, "220");
    EXPECT_EQ(apps->children[0].value, "6357352318");
    EXPECT_EQ(root.find("2"), nullptr);
}

TEST(KeyValues, WindowsPathsLoseTheirEscapesAndOlderListsHoldPlainValues) {
    // Today's Windows client escapes backslashes; older clients wrote the
    // library as a plain value beside two bookkeeping values, and hand-edited
    // lists often hold a single backslash, which is kept.
    const auto r = parseKeyValues(
        "\"LibraryFolders\"\r\n{\r\n"
        "\t\"TimeNextStatsReport\"\t\t\"1581256740\"\r\n"
        "\t\"ContentStatsID\"\t\t\"-5129306133416014406\"\r\n"
        "\t\"1\"\t\t\"E:\\\\Steam\"\r\n"
        "\t\"2\"\t\t\"D:\\SteamLibrary\"\r\n"
        "}\r\n");
    ASSERT_TRUE(r.ok) << r.error;
    const KeyValue& root = r.entries.at(0);
    ASSERT_EQ(root.children.size(), 4u);
    EXPECT_EQ(root.find("1")->value, "E:\\Steam");
    EXPECT_EQ(root.find("2")->value, "D:\\SteamLibrary");
    EXPECT_FALSE(root.find("1")->section);
}

TEST(KeyValues, CommentsConditionsUnquotedTokensAndEscapes) {
    const auto r = parseKeyValues(
        "// a comment\n"
        "root { // braces right after a name\n"
        "  unquoted value [$WIN32]\n"
        "  \"quoted \\\"word\\\"\" \"tab\\there\\nline\"\n"
        "  \"key\" [$LINUX] \"after a condition\"\n"
        "  \"{ and } inside quotes\" \"ok\"\n"
        "  empty \"\"\n"
        "  #base \"other.vdf\"\n"
        "  inner{deep{x y}}\n"
        "}\n"
        "second \"top\"");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.entries.size(), 2u);
    const KeyValue& root = r.entries[0];
    ASSERT_EQ(root.children.size(), 7u);
    EXPECT_EQ(root.find("unquoted")->value, "value");
    EXPECT_EQ(root.find("quoted \"word\"")->value, "tab\there\nline");
    EXPECT_EQ(root.find("key")->value, "after a condition");
    EXPECT_EQ(root.find("{ and } inside quotes")->value, "ok");
    EXPECT_EQ(root.find("empty")->value, "");
    EXPECT_EQ(root.find("#base")->value, "other.vdf");
    EXPECT_EQ(root.find("inner")->find("deep")->find("x")->value, "y");
    EXPECT_EQ(r.entries[1].value, "top");
}

TEST(KeyValues, EmptyTextHasNoEntries) {
    for (const char* text : {"", "   \r\n\t", "// only a comment"}) {
        const auto r = parseKeyValues(text);
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.entries.empty());
    }
}

TEST(KeyValues, FaultsAreRefusedWithTheirLine) {
    struct Case {
        std::string text;
        const char* error;
    } cases[] = {
        {"\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\"/home/x", "line 5: a quoted text is not closed"},
        {"\"libraryfolders\"\n{\n\t\"0\"\t\"/a\"\n", "line 2: the section opened here is not closed"},
        {"a b\n}\n", "line 2: a '}' without its '{'"},
        {"{ a b }", "line 1: a '{' without a key"},
        {"a { b }", "line 1: the key \"b\" has no value"},
        {"lonely", "line 1: the key \"lonely\" has no value"},
        {"a [$WIN32\n b", "line 1: a condition in brackets is not closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto r = parseKeyValues(c.text);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(KeyValues, NestingIsBoundedWithoutRecursion) {
    std::string text;
    for (int i = 0; i < kMaxKeyValuesDepth; ++i) text += "k {";
    std::string closing(kMaxKeyValuesDepth, '}');
    EXPECT_TRUE(parseKeyValues(text + closing).ok);

    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "k{";
    const auto r = parseKeyValues(deep);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "line 1: sections nest deeper than " + std::to_string(kMaxKeyValuesDepth));
}

TEST(KeyValues, EveryCutOfAFileIsRefusedAndOtherBytesAreTaken) {
    // A file cut anywhere inside its section is refused, never read past its end.
    const std::string full = kLinuxLibraries;
    for (std::size_t n = 1; n + 1 < full.size(); ++n)
        EXPECT_FALSE(parseKeyValues(std::string_view(full).substr(0, n)).ok) << n;
    EXPECT_TRUE(parseKeyValues(std::string_view(full).substr(0, full.size() - 1)).ok);
    // Bytes that are no text are names like any other.
    const char bytes[] = "\"a\"\0\"b\"\xff\xfe{\"\\";
    const auto r = parseKeyValues(std::string_view(bytes, sizeof bytes - 1));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "line 1: a '{' without a key");
}

}  // namespace
