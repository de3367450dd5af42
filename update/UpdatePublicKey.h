#pragma once
// The key the program checks update information against. Compiled in from the
// build's setting VANTOR_UPDATE_PUBLIC_KEY (update/CMakeLists.txt); only the
// program's entries use it. The test copies of the programs are linked with
// the test suite's own key instead; nothing at run time can replace it.

#include "update/UpdateSignature.h"

namespace vantor {

extern const UpdatePublicKey kUpdatePublicKey;

}  // namespace vantor
