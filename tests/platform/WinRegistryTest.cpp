// The settings store on the Windows registry itself (Wine's under
// scripts/test-windows). Keys of their own under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, removed afterwards.
#include "core/SettingsStore.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "platform/win/WinRegistry.h"

#include <aclapi.h>
#include <windows.h>
#endif

using namespace vantor;

namespace {

#ifdef _WIN32

const std::string kScratch = "Software\\Quorvane\\VantorTest-" + std::to_string(GetCurrentProcessId());

HKEY rootOf(RegRoot root) { return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
REGSAM viewOf(RegRoot root) { return root == RegRoot::LocalMachine ? KEY_WOW64_32KEY : 0; }

// A value of any type, written with the registry API itself.
void putRaw(RegRoot root, const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(rootOf(root), key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | viewOf(root), nullptr, &h, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(h);
}

// Lets everyone read, delete and change the permissions of the key, but not write values.
void makeReadOnly(RegRoot root, const std::string& key, bool readOnly) {
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExA(rootOf(root), key.c_str(), 0, WRITE_DAC | viewOf(root), &h), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(8) char buffer[256];
    auto* acl = reinterpret_cast<PACL>(buffer);
    InitializeAcl(acl, sizeof buffer, ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, readOnly ? KEY_READ | DELETE | WRITE_DAC : KEY_ALL_ACCESS, everyone);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    FreeSid(everyone);
    RegCloseKey(h);
}

class WinRegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
            HKEY h = nullptr;
            if (RegOpenKeyExA(rootOf(root), "Software\\Quorvane", 0, KEY_ALL_ACCESS | viewOf(root), &h) !=
                ERROR_SUCCESS)
                continue;
            RegDeleteTreeA(h, ("VantorTest-" + std::to_string(GetCurrentProcessId())).c_str());
            RegCloseKey(h);
        }
    }
    WinRegistry registry;
};

#else

class WinRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_SKIP() << "the Windows registry: Windows only (POSIX keeps a hive file)"; }
};

#endif

}  // namespace

TEST_F(WinRegistryTest, StringsRoundTripUnderBothRootsInNewNestedKeys) {
#ifdef _WIN32
    const struct {
        RegRoot root;
        const char* name;
        std::string value;
    } cases[] = {
        {RegRoot::LocalMachine, "Note", "a \"quoted\" C:\\path"},
        {RegRoot::LocalMachine, "", "the default value"},
        {RegRoot::CurrentUser, "SteamExe", "c:/program files (x86)/steam/steam.exe"},
        {RegRoot::CurrentUser, "Empty", ""},
        {RegRoot::LocalMachine, "Unicode",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC \xD0\x96"},
        {RegRoot::CurrentUser, "Long", std::string(20000, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string key = "\\" + kScratch + "\\Nested\\Deeper";
        EXPECT_EQ(registry.query(c.root, key, c.name).kind, RegValueKind::Absent);
        ASSERT_TRUE(registry.setString(c.root, key, c.name, c.value));
        const RegValue v = registry.query(c.root, key, c.name);
        EXPECT_EQ(v.kind, RegValueKind::String);
        EXPECT_EQ(v.text, c.value);
        // Replaced, not added to.
        ASSERT_TRUE(registry.setString(c.root, key, c.name, "second"));
        EXPECT_EQ(registry.query(c.root, key, c.name).text, "second");
    }
    // A name read back in another case is the same value, as the registry has it.
    EXPECT_EQ(registry.query(RegRoot::CurrentUser, kScratch + "\\NESTED\\deeper", "steamexe").text, "second");
#endif
}

TEST_F(WinRegistryTest, MissingKeysAndValuesReadAsAbsentAndCreateKeyMakesTheKey) {
#ifdef _WIN32
    EXPECT_EQ(registry.query(RegRoot::CurrentUser, kScratch + "\\Nowhere", "Note").kind, RegValueKind::Absent);
    ASSERT_TRUE(registry.createKey(RegRoot::CurrentUser, "\\" + kScratch + "\\Made\\Here"));
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (kScratch + "\\Made\\Here").c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
    if (h) RegCloseKey(h);
    EXPECT_EQ(registry.query(RegRoot::CurrentUser, kScratch + "\\Made\\Here", "Note").kind, RegValueKind::Absent);
#endif
}

TEST_F(WinRegistryTest, ValuesOfAnotherTypeReadAsOtherAndTheStoreSaysSo) {
#ifdef _WIN32
    const DWORD number = 1;
    const char expand[] = "%SystemRoot%\\x";
    const char multi[] = "a\0b\0";
    const unsigned char binary[] = {1, 2, 3};
    putRaw(RegRoot::CurrentUser, kScratch, "Dword", REG_DWORD, &number, sizeof number);
    putRaw(RegRoot::CurrentUser, kScratch, "Expand", REG_EXPAND_SZ, expand, sizeof expand);
    putRaw(RegRoot::CurrentUser, kScratch, "Multi", REG_MULTI_SZ, multi, sizeof multi);
    putRaw(RegRoot::CurrentUser, kScratch, "Binary", REG_BINARY, binary, sizeof binary);
    for (const char* name : {"Dword", "Expand", "Multi", "Binary"})
        EXPECT_EQ(registry.query(RegRoot::CurrentUser, kScratch, name).kind, RegValueKind::Other) << name;

    // Through the settings store, in the settings key itself (a value of the test's own).
    const std::string name = "VantorTest-" + std::to_string(GetCurrentProcessId());
    const std::string settingsKey = std::string(kSettingsKey).substr(1);
    putRaw(RegRoot::LocalMachine, settingsKey, name, REG_DWORD, &number, sizeof number);
    SettingsStore store(registry);
    ASSERT_TRUE(store.open());
    std::string error;
    try {
        store.read(name);
    } catch (const SettingsError& e) {
        error = e.what();
    }
    EXPECT_EQ(error, "Invalid data type for '" + name + "'");
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, settingsKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &h) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(h, name.c_str());
        RegCloseKey(h);
    }
#endif
}

TEST_F(WinRegistryTest, AKeyWithoutWriteRightsRefusesTheWriteAndKeepsItsValue) {
#ifdef _WIN32
    const std::string key = kScratch + "\\Locked";
    ASSERT_TRUE(registry.setString(RegRoot::CurrentUser, key, "Note", "before"));
    makeReadOnly(RegRoot::CurrentUser, key, true);
    EXPECT_FALSE(registry.setString(RegRoot::CurrentUser, key, "Note", "after"));
    EXPECT_EQ(registry.query(RegRoot::CurrentUser, key, "Note").text, "before");
    makeReadOnly(RegRoot::CurrentUser, key, false);
    EXPECT_TRUE(registry.setString(RegRoot::CurrentUser, key, "Note", "after"));
#endif
}
