#include "platform/TerminationRequests.h"

namespace vantor {

int watchTerminationRequests() { return -1; }
void drainTerminationRequests(int) {}

}  // namespace vantor
