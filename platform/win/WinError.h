#pragma once
// Texts and strings of the Windows backends.

#include <cstdint>
#include <string>

namespace vantor::win {

// The system's message for an error code (FormatMessage), without the line
// break at its end; "Error N" when the system has no text for it.
std::string systemErrorText(std::uint32_t code);
// The text of GetLastError().
std::string lastErrorText();

// UTF-8 to UTF-16 and back (invalid input becomes U+FFFD).
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

// A command line for CreateProcess: each argument quoted as the C runtime's
// parser (and CommandLineToArgvW) splits it again.
std::string quoteArgument(const std::string& arg);

}  // namespace vantor::win
