// Where the user's data (the run history) goes on POSIX: $XDG_DATA_HOME when it
// is absolute, else ~/.local/share, then Quorvane/Vantor/. And the documents
// folder: the XDG user-dirs entry, else ~/Documents.
#include "platform/OsFamily.h"
#include "platform/UserDataFolder.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace vantor;

namespace {

// Sets or clears a variable for the scope, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            vantor::test::setEnv(name, value->c_str());
        else
            vantor::test::unsetEnv(name);
    }
    ~ScopedEnv() {
        if (old_)
            vantor::test::setEnv(name_, old_->c_str());
        else
            vantor::test::unsetEnv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(UserDataFolder, FollowsXdgDataHomeElseTheHomeFolder) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "XDG_DATA_HOME and HOME: POSIX only";
    const struct {
        std::optional<std::string> xdg, home;
        std::string folder;
    } cases[] = {
        {"/data/me", "/home/me", "/data/me/"},
        {"/data/me/", "/home/me", "/data/me/"},
        {std::nullopt, "/home/me", "/home/me/.local/share/"},
        {"", "/home/me/", "/home/me/.local/share/"},
        // A relative XDG_DATA_HOME is not valid and is ignored.
        {"data/me", "/home/me", "/home/me/.local/share/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdg.value_or("(unset)") + " / " + c.home.value_or("(unset)"));
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(userDataFolder(), c.folder);
        EXPECT_EQ(programDataFolder(), c.folder + "Quorvane/Vantor/");
    }
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs in the config folder ("$HOME/..." or an
// absolute path; the last valid line counts), else ~/Documents.
TEST(UserDataFolder, DocumentsFolderFollowsTheUserDirsFile) {
    if (kThisOs == OsFamily::Windows) GTEST_SKIP() << "XDG user-dirs: POSIX only";
    vantor::test::TempDir dir;
    const std::string home = dir / "home", config = dir / "config";
    const struct {
        const char* file;  // user-dirs.dirs; null: none
        std::string folder;
    } cases[] = {
        {nullptr, home + "/Documents/"},
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home + "/Dokumente/"},
        {"# XDG_DOCUMENTS_DIR=\"$HOME/old\"\n  XDG_DOCUMENTS_DIR=\"/srv/papers\"\n", "/srv/papers/"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Mes \\\"documents\\\"\"\n", home + "/Mes \"documents\"/"},
        {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", home + "/"},
        {"XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"/second\"\n", "/second/"},
        // Neither "$HOME/..." nor absolute, unclosed, or another variable: not taken.
        {"XDG_DOCUMENTS_DIR=\"papers\"\n", home + "/Documents/"},
        {"XDG_DOCUMENTS_DIR=\"$HOMEWORK/x\"\n", home + "/Documents/"},
        {"XDG_DOCUMENTS_DIR=\"/unclosed\n", home + "/Documents/"},
        {"XDG_DOCUMENTS_DIRS=\"/other\"\n", home + "/Documents/"},
        {"XDG_DOCUMENTS_DIR=\"/kept\"\nXDG_DOCUMENTS_DIR=\"relative\"\n", "/kept/"},
    };
    ScopedEnv homeVar("HOME", home);
    ScopedEnv configVar("XDG_CONFIG_HOME", config);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(no file)");
        std::filesystem::remove_all(config);
        if (c.file) vantor::test::writeFile(config + "/user-dirs.dirs", c.file);
        EXPECT_EQ(documentsFolder(), c.folder);
    }
    // Without XDG_CONFIG_HOME the file is looked for in ~/.config.
    ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    vantor::test::writeFile(home + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiers\"\n");
    EXPECT_EQ(documentsFolder(), home + "/Papiers/");
}
