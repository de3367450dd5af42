#pragma once
// What the system itself says, where Windows, Wine and POSIX differ: the
// system's texts for error codes, and whether this is Wine.

#include <string>

namespace vantor::test {

// The system's text for an error code without its closing period (POSIX:
// strerror; Windows: FormatMessage, whose texts differ between Wine and Windows).
std::string systemErrorText(int code);
// The text for "no such file", as a program that is not there fails to start.
std::string fileNotFoundText();

// Windows: this is Wine, not Windows itself (ntdll has wine_get_version);
// never on POSIX.
bool runningUnderWine();

}  // namespace vantor::test
