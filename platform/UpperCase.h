#pragma once
// Upper-cases wide text by the user's case rules, one backend per system
// (POSIX: the user's locale; Windows: the system's own rules, as CharUpperBuff).

#include <string>

namespace vantor {

void toUpperInPlace(std::wstring& text);

}  // namespace vantor
