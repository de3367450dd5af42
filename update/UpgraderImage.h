#pragma once
// The replacement program's bytes, carried inside the program's own file (the
// build embeds tools/upgrader; see update/CMakeLists.txt).

#include <string_view>

namespace vantor {

std::string_view upgraderImage();

}  // namespace vantor
