#pragma once
// The program's messages speak of the window ("click RUN", "Browse...", a
// page). vantor-cli prints them as they are and adds one line that says what
// to type instead.

#include <string>

namespace vantor {

// The line to print after text; empty when text needs none.
std::string commandLineHint(const std::string& text);

}  // namespace vantor
