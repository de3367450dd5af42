#pragma once
// The hardware report as text lines in the layout of the DirectX diagnostic
// tool's text report: sections under dashed titles, one "Label: value" line per
// fact with the labels right-aligned. Every label is always written, in a fixed
// order; a value is one line and never holds "=" (a reader of the report takes
// the text after the first "=" as the value).

#include "tools/dxdiag/HardwareFacts.h"

#include <string>
#include <vector>

namespace vantor::dxdiag {

std::vector<std::string> reportLines(const HardwareFacts& facts, const std::string& toolVersion);

// A value fit for one report line: control characters become blanks, "="
// becomes "-", surrounding blanks go; an empty value is kUnknown.
std::string reportValue(const std::string& value);

}  // namespace vantor::dxdiag
