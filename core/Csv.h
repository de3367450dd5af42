#pragma once
// CSV text as the exports write it (RFC 4180): a field with a comma, a quote or
// a line break goes in quotes, with each quote doubled.

#include <string>

namespace vantor {

std::string csvField(const std::string& text);

}  // namespace vantor
