#include "core/SettingsStore.h"

#include "platform/MemoryRegistry.h"
#include "platform/RegistryHive.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace vantor;
using vantor::test::readFile;
using vantor::test::TempDir;
using vantor::test::writeFile;

namespace {

// The message of the SettingsError that f throws, empty when it throws none.
template <typename F>
std::string settingsError(F&& f) {
    try {
        f();
    } catch (const SettingsError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(SettingsStore, KeepsItsValuesInTheHiveFile) {
    TempDir dir;
    const std::string path = dir / "cfg/registry.reg";
    {
        RegistryHive hive(path);
        SettingsStore store(hive);
        ASSERT_TRUE(store.open());
        store.write(sv::Note, "first run");
        store.write(sv::CPU, "");
        EXPECT_EQ(store.read(sv::Note), "first run");
        EXPECT_TRUE(store.exists(sv::CPU));
        EXPECT_FALSE(store.exists(sv::Addinfo));
        EXPECT_EQ(store.read(sv::Addinfo), "");
    }
    writeFile(path, readFile(path) +
                        "[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n"
                        "\"SteamExe\"=\"c:/program files (x86)/steam/steam.exe\"\r\n");

    RegistryHive hive(path);
    SettingsStore store(hive);
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.read(sv::Note), "first run");
    EXPECT_TRUE(store.exists(sv::CPU));
    ASSERT_TRUE(store.openSteamKey());
    EXPECT_EQ(store.read(sv::SteamExe), "c:/program files (x86)/steam/steam.exe");
    EXPECT_FALSE(store.exists(sv::Note));
    store.useSettingsKey();
    store.write(sv::Path, "/games/");  // lands in the settings key again
    EXPECT_EQ(hive.query(RegRoot::LocalMachine, kSettingsKey, sv::Path).text, "/games/");
    EXPECT_EQ(hive.query(RegRoot::CurrentUser, kSteamKey, sv::Path).kind, RegValueKind::Absent);
}

TEST(SettingsStore, AValueOfAnotherTypeFailsToRead) {
    TempDir dir;
    const std::string path = dir / "registry.reg";
    writeFile(path,
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n"
              "\"Heapsize\"=dword:0000fa00\r\n"
              "\"Save Info\"=hex:30,00\r\n");
    RegistryHive hive(path);
    SettingsStore store(hive);
    ASSERT_TRUE(store.open());
    EXPECT_EQ(settingsError([&] { store.read(sv::Heapsize); }), "Invalid data type for 'Heapsize'");
    EXPECT_EQ(settingsError([&] { store.read(sv::SaveInfo); }), "Invalid data type for 'Save Info'");
    EXPECT_TRUE(store.exists(sv::Heapsize));
    // Writing a string replaces it.
    store.write(sv::Heapsize, "64000");
    EXPECT_EQ(store.read(sv::Heapsize), "64000");
}

TEST(SettingsStore, ARefusedWriteFailsWithTheValueName) {
    TempDir dir;
    writeFile(dir / "blocker", "a file where the folder should be");
    RegistryHive hive(dir / "blocker/registry.reg");
    SettingsStore store(hive);
    EXPECT_FALSE(store.open());
    EXPECT_EQ(settingsError([&] { store.write(sv::Note, "x"); }), "Failed to set data for 'Note'");
    EXPECT_EQ(settingsError([&] { store.write(sv::VGADriver, "x"); }), "Failed to set data for 'VGA Driver'");
    EXPECT_EQ(store.read(sv::Note), "");
    EXPECT_FALSE(store.exists(sv::Note));

    MemoryRegistry memory;
    memory.refuseWrite = true;
    SettingsStore memoryStore(memory);
    EXPECT_EQ(settingsError([&] { memoryStore.write(sv::Donate, "1"); }), "Failed to set data for 'Donate'");
}

TEST(SettingsStore, ADamagedHiveStartsEmptyAndKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir / "registry.reg";
    const std::string bytes =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vantor]\r\n"
        "\"Note\"=\"unterminated\r\n";
    writeFile(path, bytes);
    RegistryHive hive(path);
    SettingsStore store(hive);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(store.open());
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(store.exists(sv::Note));
    store.write(sv::Note, "fresh");
    EXPECT_EQ(readFile(hive.keptAsPath()), bytes);
    EXPECT_EQ(RegistryHive(path).query(RegRoot::LocalMachine, kSettingsKey, sv::Note).text, "fresh");
}
