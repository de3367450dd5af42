#include "platform/UpperCase.h"

#include <windows.h>

namespace vantor {

// The system's case rules for every script, surrogate pairs included; a lone
// surrogate stays as it is.
void toUpperInPlace(std::wstring& text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
}

}  // namespace vantor
