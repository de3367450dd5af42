#pragma once
// Waiting until a new program is ready for input, shared by the process
// runner and the run-and-notify launcher.

#include <windows.h>

namespace vantor::win {

// WaitForInputIdle, except for a console program, which is ready at once (as
// Windows treats it; Wine would wait until such a program ends).
void waitUntilReadyForInput(HANDLE process, DWORD limitMs);

}  // namespace vantor::win
