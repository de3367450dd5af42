// Where the user's data (the run history) goes on POSIX: $XDG_DATA_HOME when it
// is absolute, else ~/.local/share, then Quorvane/Vantor/.
#include "platform/OsFamily.h"
#include "platform/UserDataFolder.h"
#include "tests/support/Portable.h"

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
