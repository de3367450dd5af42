#pragma once
// Standard output for bytes that must arrive unchanged (an export): Windows'
// C runtime writes stdout in text mode, which turns every LF into CR LF, also
// inside a quoted CSV field.

#include <string>

namespace vantor {

// Writes bytes to stdout exactly and flushes; false when the write failed.
bool writeStdoutExactly(const std::string& bytes);

}  // namespace vantor
