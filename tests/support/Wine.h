#pragma once
// Whether the tests run under Wine rather than Windows itself, for the few
// tests that need a program of the system Wine does not fully provide.

namespace vantor::test {

// Windows: ntdll has wine_get_version; never on POSIX (tests/support/Portable.cpp).
bool runningUnderWine();

}  // namespace vantor::test
