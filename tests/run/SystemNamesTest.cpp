#include "run/SystemNames.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vantor;
using namespace vantor::test;

namespace {

std::vector<std::string> names(std::span<const char* const> list) { return {list.begin(), list.end()}; }

TEST(SystemNames, EachSystemLooksForItsOwnProcessNames) {
    EXPECT_EQ(names(processNamesFor(OsFamily::Windows).steam), std::vector<std::string>{"steam.exe"});
    EXPECT_EQ(names(processNamesFor(OsFamily::Windows).game), std::vector<std::string>{"hl2.exe"});
    EXPECT_EQ(names(processNamesFor(OsFamily::Posix).steam), (std::vector<std::string>{"steam.exe", "steam"}));
    EXPECT_EQ(names(processNamesFor(OsFamily::Posix).game),
              (std::vector<std::string>{"hl2.exe", "hl2_linux", "hl2_linux64"}));
}

TEST(SystemNames, TheSteamProgramFollowsTheSteamFolder) {
    TempDir dir;
    const std::string plain = dir / "Steam/";  // a Windows Steam, the simulator or unknown
    const std::string native = dir / "home/.local/share/Steam/";
    const std::string flatpak = dir / "home/.var/app/com.valvesoftware.Steam/.local/share/Steam/";
    writeFile(plain + "steam.exe", "client");
    writeFile(native + "steam.sh", "#!/bin/sh\n");
    writeFile(flatpak + "STEAM.SH", "#!/bin/sh\n");
    struct Case {
        OsFamily os;
        std::string folder;
        const char* program;
    } cases[] = {
        {OsFamily::Windows, native, "steam.exe"},
        {OsFamily::Posix, plain, "steam.exe"},
        {OsFamily::Posix, dir / "missing/", "steam.exe"},
        {OsFamily::Posix, "", "steam.exe"},
        {OsFamily::Posix, native, "steam"},
        {OsFamily::Posix, flatpak, "flatpak run com.valvesoftware.Steam"},
    };
    for (const auto& c : cases) {
        // A Linux Steam folder is laid out with POSIX paths only on POSIX.
        if (kThisOs == OsFamily::Windows && c.os == OsFamily::Posix && !c.folder.empty()) continue;
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(steamProgramFor(c.os, c.folder), c.program);
    }
}

}  // namespace
