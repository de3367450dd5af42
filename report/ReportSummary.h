#pragma once
// The report's optional summary, placed before the footer: a table of each
// resolution's passes, mean, min, max and spread, and an inline SVG bar chart
// of the means (no files or scripts of its own). Only characters that
// Windows-1252 holds.

#include "report/RunResults.h"

#include <string>
#include <vector>

namespace vantor {

std::vector<std::string> summaryLines(const std::vector<ResolutionResult>& results);

}  // namespace vantor
