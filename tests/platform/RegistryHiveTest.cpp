#include "platform/RegistryHive.h"

#include "platform/OsFamily.h"

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>

#include <sys/stat.h>
#include <unistd.h>

using namespace vantor;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

constexpr RegRoot LM = RegRoot::LocalMachine;
constexpr RegRoot CU = RegRoot::CurrentUser;
constexpr const char* kKey = "\\SOFTWARE\\Quorvane\\Vantor";
constexpr const char* kSteam = "\\Software\\Valve\\Steam";

RegValue str(const std::string& text) { return {RegValueKind::String, text}; }
const RegValue kAbsent{};
const RegValue kOther{RegValueKind::Other, {}};

void expectValue(Registry& reg, RegRoot root, const std::string& key, const std::string& name,
                 const RegValue& expected) {
    RegValue v = reg.query(root, key, name);
    EXPECT_EQ(v.kind, expected.kind) << key << " / " << name;
    EXPECT_EQ(v.text, expected.text) << key << " / " << name;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Sets or clears an environment variable for the life of the object.
class EnvVar {
public:
    explicit EnvVar(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v;
    }
    ~EnvVar() {
        if (old_)
            test::setEnv(name_, old_->c_str());
        else
            test::unsetEnv(name_);
    }
    void set(const std::string& value) { test::setEnv(name_, value.c_str()); }
    void unset() { test::unsetEnv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class RegistryHiveTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir / "registry.reg";
};

}  // namespace

TEST_F(RegistryHiveTest, WritesTheRegFormatAndReadsItBack) {
    const std::string note = "say \"hi\" to C:\\games\\";
    const std::string header = "Header 3\r\nline 2\r\n";
    {
        RegistryHive hive(path);
        ASSERT_TRUE(hive.createKey(LM, kKey));
        ASSERT_TRUE(hive.setString(LM, kKey, "Note", note));
        ASSERT_TRUE(hive.setString(LM, kKey, "Programversion", "1.3"));
        ASSERT_TRUE(hive.setString(CU, kSteam, "SteamExe", "c:/program files/steam/steam.exe"));
        ASSERT_TRUE(hive.setString(LM, kKey, "", "default"));
        ASSERT_TRUE(hive.setString(LM, kKey, "HeaderVersion", header));
        ASSERT_TRUE(hive.setString(LM, kKey, "Res", "640×480"));
        ASSERT_TRUE(hive.setString(LM, kKey, "Programversion", "1.4"));  // replaced in place
    }
    EXPECT_EQ(readFile(path),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n"
              "\"Note\"=\"say \\\"hi\\\" to C:\\\\games\\\\\"\r\n"
              "\"Programversion\"=\"1.4\"\r\n"
              "@=\"default\"\r\n"
              "\"HeaderVersion\"=\"Header 3\\r\\nline 2\\r\\n\"\r\n"
              "\"Res\"=\"640×480\"\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Valve]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n"
              "\"SteamExe\"=\"c:/program files/steam/steam.exe\"\r\n"
              "\r\n");

    RegistryHive again(path);
    EXPECT_FALSE(again.damaged());
    expectValue(again, LM, kKey, "Note", str(note));
    expectValue(again, LM, kKey, "Programversion", str("1.4"));
    expectValue(again, LM, kKey, "", str("default"));
    expectValue(again, LM, kKey, "HeaderVersion", str(header));
    expectValue(again, LM, kKey, "Res", str("640×480"));
    expectValue(again, CU, kSteam, "SteamExe", str("c:/program files/steam/steam.exe"));
    // The two roots are separate trees.
    expectValue(again, CU, kKey, "Note", kAbsent);
    expectValue(again, LM, kSteam, "SteamExe", kAbsent);
}

TEST_F(RegistryHiveTest, NamesCompareCaseInsensitivelyAndKeepTheirFirstCase) {
    RegistryHive hive(path);
    ASSERT_TRUE(hive.setString(LM, kKey, "Note", "a"));
    ASSERT_TRUE(hive.setString(LM, "software\\QUORVANE\\vantor", "NOTE", "b"));
    ASSERT_TRUE(hive.createKey(LM, "\\software\\quorvane\\VANTOR\\Sub"));
    expectValue(hive, LM, "\\Software\\quorvane\\Vantor", "note", str("b"));

    const std::string bytes = readFile(path);
    EXPECT_NE(bytes.find("\"Note\"=\"b\"\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("NOTE"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]"),
              bytes.rfind("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]"));
    EXPECT_NE(bytes.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor\\Sub]\r\n"), std::string::npos) << bytes;

    RegistryHive again(path);
    expectValue(again, LM, "SOFTWARE\\QUORVANE\\VANTOR", "nOtE", str("b"));
}

TEST_F(RegistryHiveTest, CreateKeyAddsMissingParentsAndWritesOnlyWhenSomethingIsNew) {
    RegistryHive hive(path);
    ASSERT_TRUE(hive.createKey(LM, kKey));
    EXPECT_EQ(readFile(path),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n\r\n");

    std::filesystem::remove(path);
    EXPECT_TRUE(hive.createKey(LM, kKey));
    EXPECT_TRUE(hive.createKey(LM, "\\SOFTWARE"));
    EXPECT_FALSE(vantor::test::exists(path)) << "an existing key is not written again";

    ASSERT_TRUE(hive.createKey(LM, "\\SOFTWARE\\Other"));
    EXPECT_NE(readFile(path).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"), std::string::npos);
}

TEST_F(RegistryHiveTest, AnEmptyStringExistsAndAMissingValueOrKeyIsAbsent) {
    {
        RegistryHive hive(path);
        ASSERT_TRUE(hive.setString(LM, kKey, "Note", ""));
        ASSERT_TRUE(hive.createKey(CU, kSteam));
    }
    RegistryHive hive(path);
    expectValue(hive, LM, kKey, "Note", str(""));
    expectValue(hive, LM, kKey, "Addinfo", kAbsent);
    expectValue(hive, CU, kSteam, "SteamExe", kAbsent);
    expectValue(hive, LM, "\\SOFTWARE\\Nobody", "Note", kAbsent);
}

TEST_F(RegistryHiveTest, OtherTypesReadAsOtherAndAreKeptByteForByteOnRewrite) {
    writeFile(path,
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "; written by hand\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\n"
              "\"Count\"=dword:00000010\n"
              "\"Blob\"=hex:01,02,03,\\\n"
              "  04,05\n"
              "\"Expand\"=hex(2):25,00,50,00,00,00\n"
              "\"FastZ\"=dword:00000001\n"
              "\"Note\"=\"old\"\n"
              "; comment in the key\n"
              "\n"
              "[HKEY_CLASSES_ROOT\\.reg]\n"
              "@=\"regfile\"\n");
    RegistryHive hive(path);
    ASSERT_FALSE(hive.damaged()) << hive.damageReason();
    for (const char* name : {"Count", "Blob", "Expand", "fastz"}) expectValue(hive, LM, kKey, name, kOther);
    expectValue(hive, LM, kKey, "Note", str("old"));

    ASSERT_TRUE(hive.setString(LM, kKey, "Note", "new"));
    ASSERT_TRUE(hive.setString(LM, kKey, "FastZ", "1"));  // a string replaces the other type
    EXPECT_EQ(readFile(path),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; written by hand\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n"
              "\"Count\"=dword:00000010\r\n"
              "\"Blob\"=hex:01,02,03,\\\r\n"
              "  04,05\r\n"
              "\"Expand\"=hex(2):25,00,50,00,00,00\r\n"
              "\"FastZ\"=\"1\"\r\n"
              "\"Note\"=\"new\"\r\n"
              "; comment in the key\r\n"
              "\r\n"
              "[HKEY_CLASSES_ROOT\\.reg]\r\n"
              "@=\"regfile\"\r\n"
              "\r\n");

    RegistryHive again(path);
    expectValue(again, LM, kKey, "Blob", kOther);
    expectValue(again, LM, kKey, "FastZ", str("1"));
}

TEST_F(RegistryHiveTest, ToleratesLineEndingsBomCommentsAndSpacing) {
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<std::string> note;  // expected Note, nullopt for absent
    };
    const std::string header = "Windows Registry Editor Version 5.00";
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]";
    const Case cases[] = {
        {"CR LF", header + "\r\n\r\n" + key + "\r\n\"Note\"=\"x\"\r\n", "x"},
        {"LF", header + "\n\n" + key + "\n\"Note\"=\"x\"\n", "x"},
        {"no final line break", header + "\n" + key + "\n\"Note\"=\"x\"", "x"},
        {"byte order mark", "\xEF\xBB\xBF" + header + "\r\n" + key + "\r\n\"Note\"=\"x\"\r\n", "x"},
        {"comments and blank lines", header + "\n;c\n\n" + key + "\n\n; note follows\n\"Note\"=\"x\"\n\n", "x"},
        {"spacing", header + "  \n  " + key + "  \n  \"Note\" = \"x\"  \t\n", "x"},
        {"a later line wins", header + "\n" + key + "\n\"Note\"=\"x\"\n\"NOTE\"=\"y\"\n", "y"},
        {"key given twice",
         header + "\n" + key + "\n\"A\"=\"1\"\n[HKEY_CURRENT_USER\\X]\n" + key + "\n\"Note\"=\"x\"\n", "x"},
        {"lower-case root", header + "\n[hkey_local_machine\\software\\quorvane\\vantor]\n\"Note\"=\"x\"\n", "x"},
        {"empty file", "", std::nullopt},
        {"blank lines only", "\r\n\r\n", std::nullopt},
        {"header only", header + "\r\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const std::string p = d / "registry.reg";
        writeFile(p, c.bytes);
        RegistryHive hive(p);
        EXPECT_FALSE(hive.damaged()) << hive.damageReason();
        expectValue(hive, LM, kKey, "Note", c.note ? str(*c.note) : kAbsent);
        // A write keeps what was read and sets nothing aside.
        ASSERT_TRUE(hive.setString(LM, kKey, "Other", "1"));
        EXPECT_EQ(folderEntries(d.path()), std::vector<std::string>{"registry.reg"});
        RegistryHive again(p);
        expectValue(again, LM, kKey, "Note", c.note ? str(*c.note) : kAbsent);
        expectValue(again, LM, kKey, "Other", str("1"));
    }
}

TEST_F(RegistryHiveTest, AMalformedHiveReadsAbsentAndIsKeptAsideBeforeTheFirstWrite) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n";
    const std::string good = key + "\"Note\"=\"kept\"\r\n";
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"other header", "Windows Registry Editor Version 4.00\r\n\r\n" + good},
        {"REGEDIT4", "REGEDIT4\r\n\r\n" + good},
        {"header missing", good},
        {"garbage line", header + good + "this is not a value\r\n"},
        {"unterminated value", header + good + "\"Demo\"=\"6\r\n"},
        {"unterminated name", header + good + "\"Demo=\"6\"\r\n"},
        {"unknown escape", header + good + "\"Path\"=\"C:\\games\"\r\n"},
        {"text after the string", header + good + "\"Demo\"=\"6\"x\r\n"},
        {"missing =", header + good + "\"Demo\" \"6\"\r\n"},
        {"value without type", header + good + "\"Demo\"=6\r\n"},
        {"deletion of a value", header + good + "\"Demo\"=-\r\n"},
        {"value before any key", header + "\"Demo\"=\"6\"\r\n" + good},
        {"key line not closed", header + good + "[HKEY_CURRENT_USER\\Software\r\n"},
        {"unknown root", header + good + "[HKLM\\Software]\r\n"},
        {"deletion of a key", header + good + "[-HKEY_CURRENT_USER\\Software]\r\n"},
        {"empty key name", header + good + "[HKEY_CURRENT_USER\\\\Software]\r\n"},
        {"continuation past the end", header + good + "\"Blob\"=hex:01,02,\\\r\n"},
        {"binary", header + good + std::string("\0\x01\x02\x03", 4)},
        {"UTF-16 export", std::string("\xFF\xFEW\0i\0n\0", 8)},
    };
    const std::regex asideName(R"(registry\.reg\.broken-\d{8}-\d{6})");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const std::string p = d / "registry.reg";
        writeFile(p, c.bytes);

        RegistryHive hive(p);
        EXPECT_TRUE(hive.damaged());
        EXPECT_FALSE(hive.damageReason().empty());
        expectValue(hive, LM, kKey, "Note", kAbsent);
        EXPECT_EQ(readFile(p), c.bytes) << "reading never changes the file";

        testing::internal::CaptureStderr();
        const bool written = hive.setString(LM, kKey, "Note", "new");
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(written);
        EXPECT_FALSE(hive.damaged());

        const std::string aside = hive.keptAsPath();
        EXPECT_TRUE(std::regex_match(std::filesystem::path(aside).filename().string(), asideName)) << aside;
        EXPECT_EQ(readFile(aside), c.bytes);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(p), std::string::npos) << err;
        EXPECT_NE(err.find(aside), std::string::npos) << err;

        RegistryHive again(p);
        EXPECT_FALSE(again.damaged()) << again.damageReason();
        expectValue(again, LM, kKey, "Note", str("new"));
        EXPECT_EQ(folderEntries(d.path()).size(), 2u);
    }
}

TEST_F(RegistryHiveTest, AnUnreadableHiveReadsAbsentAndIsKeptAside) {
    // A folder where the file should be cannot be read as a hive, also by root.
    std::filesystem::create_directories(path);
    writeFile(path + "/inside.txt", "mine");
    RegistryHive hive(path);
    EXPECT_TRUE(hive.damaged());
    expectValue(hive, LM, kKey, "Note", kAbsent);

    testing::internal::CaptureStderr();
    ASSERT_TRUE(hive.createKey(LM, kKey));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(hive.keptAsPath()), std::string::npos) << err;
    EXPECT_EQ(readFile(hive.keptAsPath() + "/inside.txt"), "mine");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST_F(RegistryHiveTest, AHiveWithoutReadPermissionIsKeptAside) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "permission bits: POSIX only";
    if (test::runningAsRoot()) GTEST_SKIP() << "root reads files without read permission";
    writeFile(path, "Windows Registry Editor Version 5.00\r\n");
    ::chmod(path.c_str(), 0);
    RegistryHive hive(path);
    EXPECT_TRUE(hive.damaged());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(hive.setString(LM, kKey, "Note", "x"));
    testing::internal::GetCapturedStderr();
    ::chmod(hive.keptAsPath().c_str(), 0644);
    EXPECT_EQ(readFile(hive.keptAsPath()), "Windows Registry Editor Version 5.00\r\n");
}

TEST_F(RegistryHiveTest, ADamagedHiveThatCannotBeMovedAsideIsNeverOverwritten) {
    // The name leaves no room for the ".broken-..." suffix, so the rename fails
    // (also for root, unlike a read-only folder).
    const std::string p = dir / (std::string(240, 'r') + ".reg");
    const std::string bytes = "not a hive\r\n";
    writeFile(p, bytes);
    RegistryHive hive(p);
    ASSERT_TRUE(hive.damaged());

    testing::internal::CaptureStderr();
    EXPECT_FALSE(hive.createKey(LM, kKey));
    EXPECT_FALSE(hive.setString(LM, kKey, "Note", "new"));
    EXPECT_FALSE(hive.setString(LM, kKey, "Note", "newer"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "reported once: " << err;
    EXPECT_NE(err.find(p), std::string::npos) << err;
    EXPECT_NE(err.find(p + ".broken-"), std::string::npos) << err;

    expectValue(hive, LM, kKey, "Note", kAbsent);
    EXPECT_EQ(readFile(p), bytes);
    EXPECT_EQ(folderEntries(dir.path()).size(), 1u) << "no temporary file left";
}

TEST_F(RegistryHiveTest, AWriteThatFailsIsRefusedAndNotRemembered) {
    // The folder of the hive is a regular file: nothing can be created there.
    writeFile(dir / "blocker", "x");
    RegistryHive blocked(dir / "blocker/registry.reg");
    EXPECT_FALSE(blocked.createKey(LM, kKey));
    EXPECT_FALSE(blocked.setString(LM, kKey, "Note", "x"));
    expectValue(blocked, LM, kKey, "Note", kAbsent);

    // A hive that worked until its folder went away.
    const std::string folder = dir / "cfg";
    RegistryHive hive(folder + "/registry.reg");
    ASSERT_TRUE(hive.setString(LM, kKey, "Note", "old"));
    std::filesystem::rename(folder, dir / "cfg-moved");
    writeFile(folder, "not a folder");
    EXPECT_FALSE(hive.setString(LM, kKey, "Note", "new"));
    EXPECT_FALSE(hive.createKey(CU, kSteam));
    expectValue(hive, LM, kKey, "Note", str("old"));

    std::filesystem::remove(folder);
    std::filesystem::rename(dir / "cfg-moved", folder);
    ASSERT_TRUE(hive.setString(LM, kKey, "Demo", "1"));
    const std::string bytes = readFile(folder + "/registry.reg");
    EXPECT_NE(bytes.find("\"Note\"=\"old\""), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("new"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("Valve"), std::string::npos) << bytes;
}

TEST_F(RegistryHiveTest, KeyPathsWithLineBreaksOrNulAreRefused) {
    RegistryHive hive(path);
    ASSERT_TRUE(hive.setString(LM, kKey, "Note", "kept"));
    for (const std::string& key : {std::string(kKey) + "\\A\rB", std::string(kKey) + "\\A\nB",
                                   std::string(kKey) + "\\A" + std::string(1, '\0') + "B"}) {
        EXPECT_FALSE(hive.createKey(LM, key));
        EXPECT_FALSE(hive.setString(LM, key, "Note", "x"));
    }
    RegistryHive again(path);
    EXPECT_FALSE(again.damaged()) << again.damageReason();
    expectValue(again, LM, kKey, "Note", str("kept"));
}

// Many times larger than any real hive: a load whose time grew with the square
// of the size took minutes here; an indexed one takes well under a second.
TEST_F(RegistryHiveTest, AHugeHiveLoadsAndLooksUpInLinearTime) {
    constexpr int kValues = 100000, kKeys = 5000;
    std::string bytes = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Big]\r\n";
    for (int i = 0; i < kValues; ++i)
        bytes += "\"Value" + std::to_string(i) + "\"=\"some text of a value " + std::to_string(i) + "\"\r\n";
    bytes += "\"value7\"=\"replaced\"\r\n";  // a later line replaces, whatever its case
    for (int i = 0; i < kKeys; ++i)
        bytes +=
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\K" + std::to_string(i) + "]\r\n\"N\"=\"" + std::to_string(i) + "\"\r\n";
    writeFile(path, bytes);

    const auto start = std::chrono::steady_clock::now();
    RegistryHive hive(path);
    ASSERT_FALSE(hive.damaged()) << hive.damageReason();
    for (int i = 0; i < kValues; i += 997)
        expectValue(hive, LM, "\\software\\BIG", "VALUE" + std::to_string(i),
                    str(i == 7 ? "replaced" : "some text of a value " + std::to_string(i)));
    expectValue(hive, LM, "\\SOFTWARE\\Big", "Value7", str("replaced"));
    for (int i = 0; i < kKeys; i += 97)
        expectValue(hive, LM, "\\SOFTWARE\\k" + std::to_string(i), "n", str(std::to_string(i)));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(10)) << bytes.size() << " bytes";
}

TEST(PlatformRegistry, HiveLocationFollowsTheEnvironment) {
    TempDir dir;
    EnvVar reg("VANTOR_REGISTRY"), xdg("XDG_CONFIG_HOME"), home("HOME");
    struct Case {
        const char* what;
        bool onPosix, onWindows;
        std::optional<std::string> registry, xdgHome, homeDir;
        std::string expected;  // empty: the system's registry, and no file in dir
    };
    const Case cases[] = {
        {"VANTOR_REGISTRY", true, true, dir / "own/hive.reg", dir / "xdg", dir / "home", dir / "own/hive.reg"},
        {"XDG_CONFIG_HOME", true, false, std::string(), dir / "xdg", dir / "home",
         dir / "xdg/Quorvane/Vantor/registry.reg"},
        {"HOME", true, false, std::nullopt, std::nullopt, dir / "home",
         dir / "home/.config/Quorvane/Vantor/registry.reg"},
        {"the registry", false, true, std::nullopt, dir / "xdg", dir / "home", ""},
    };
    for (const auto& c : cases) {
        if (!(kThisOs == OsFamily::Windows ? c.onWindows : c.onPosix)) continue;
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir / "own");
        c.registry ? reg.set(*c.registry) : reg.unset();
        c.xdgHome ? xdg.set(*c.xdgHome) : xdg.unset();
        c.homeDir ? home.set(*c.homeDir) : home.unset();
        auto registry = openPlatformRegistry();
        ASSERT_TRUE(registry->setString(LM, kKey, "Note", c.what));
        if (c.expected.empty())
            EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
        else
            EXPECT_NE(readFile(c.expected).find(std::string("\"Note\"=\"") + c.what + "\""), std::string::npos);
        expectValue(*openPlatformRegistry(), LM, kKey, "Note", str(c.what));
    }
}

// The index of names: every name found in any case, after it grew past what
// was reserved, and nothing else.
TEST(HiveNameIndex, FindsEveryNameInAnyCaseAfterGrowingAndNothingElse) {
    std::vector<std::string> names;
    hive::NameIndex index;
    index.reserve(10);
    auto nameAt = [&names](std::size_t p) { return std::string_view(names[p]); };
    for (int i = 0; i < 5000; ++i) {
        names.push_back("Value" + std::to_string(i));
        index.insert(names.back(), names.size() - 1);
    }
    EXPECT_EQ(index.size(), 5000u);
    for (int i = 0; i < 5000; i += 7) {
        EXPECT_EQ(index.find("VALUE" + std::to_string(i), nameAt), static_cast<std::size_t>(i));
        EXPECT_EQ(index.find("value" + std::to_string(i), nameAt), static_cast<std::size_t>(i));
    }
    for (const std::string missing : {"Value5000", "Valu", "Value-1", "", "Value1 ", "Valué1"})
        EXPECT_EQ(index.find(missing, nameAt), hive::NameIndex::npos) << missing;
    names.push_back("");  // the default value's name
    index.insert("", names.size() - 1);
    EXPECT_EQ(index.find("", nameAt), 5000u);
}
