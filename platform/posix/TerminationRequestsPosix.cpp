#include "platform/TerminationRequests.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace vantor {
namespace {

int gWriteEnd = -1;

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(gWriteEnd, &byte, 1);
    errno = saved;
}

}  // namespace

int watchTerminationRequests() {
    static int readEnd = -1;
    if (readEnd >= 0) return readEnd;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    readEnd = fds[0];
    gWriteEnd = fds[1];
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
    return readEnd;
}

void drainTerminationRequests(int fd) {
    char buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {}
}

}  // namespace vantor
