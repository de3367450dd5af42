#pragma once
// Requests from outside to end the program, for a front end whose event loop
// watches descriptors (the window): POSIX SIGTERM, SIGHUP (its terminal closed)
// and SIGINT arrive as a readable byte, so the program can stop a run and put
// the user's files back before it ends, as its own close does.

namespace vantor {

// Starts catching those signals; the descriptor becomes readable at each.
// -1 where the system sends no such signals (Windows closes a window with a
// message instead).
int watchTerminationRequests();
// Reads what is waiting on the descriptor, so it is not reported again.
void drainTerminationRequests(int fd);

}  // namespace vantor
