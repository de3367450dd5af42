#include "platform/SharedLibrary.h"

#include "platform/OsFamily.h"

#include <gtest/gtest.h>

using namespace vantor;

namespace {

// A library every system of ours has, and a function in it.
const char* systemLibrary() { return kThisOs == OsFamily::Windows ? "kernel32.dll" : "libc.so.6"; }
const char* systemFunction() { return kThisOs == OsFamily::Windows ? "GetTickCount" : "getpid"; }

}  // namespace

TEST(SharedLibrary, TheFirstNameThatLoadsIsUsedAndItsFunctionsFound) {
    SharedLibrary lib({"vantor-no-such-library.so.9", systemLibrary()});
    ASSERT_TRUE(lib.loaded()) << lib.error();
    EXPECT_EQ(lib.error(), "");
    EXPECT_NE(lib.symbol(systemFunction()), nullptr) << lib.error();

    EXPECT_EQ(lib.symbol("vantor_no_such_function"), nullptr);
    EXPECT_NE(lib.error().find("vantor_no_such_function"), std::string::npos) << lib.error();
}

TEST(SharedLibrary, NoNameThatLoadsIsSaidWithEveryNameTried) {
    SharedLibrary lib({"vantor-no-such-library.so.9", "vantor-nor-this.so.1"});
    EXPECT_FALSE(lib.loaded());
    EXPECT_NE(lib.error().find("vantor-no-such-library.so.9"), std::string::npos) << lib.error();
    EXPECT_NE(lib.error().find("vantor-nor-this.so.1"), std::string::npos) << lib.error();
    EXPECT_EQ(lib.symbol(systemFunction()), nullptr);
}
