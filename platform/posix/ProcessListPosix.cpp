#include "platform/ProcessList.h"

#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vantor {
namespace {

// Reads a small /proc file into buf; returns the byte count or -1.
ssize_t readSmall(int dirfd, const char* rel, char* buf, std::size_t size) {
    int fd = ::openat(dirfd, rel, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t n = ::read(fd, buf, size);
    ::close(fd);
    return n;
}

}  // namespace

bool ListRunningProcesses(std::vector<ProcessEntry>& list, bool fullPath) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    const int procfd = ::dirfd(proc);
    char buf[4096];
    while (dirent* e = ::readdir(proc)) {
        const char* n = e->d_name;
        if (*n < '1' || *n > '9') continue;
        char* end = nullptr;
        unsigned long pid = std::strtoul(n, &end, 10);
        if (*end != '\0') continue;

        int pidfd = ::openat(procfd, n, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (pidfd < 0) continue;  // ended meanwhile
        // stat: "pid (comm) S ..."; comm may hold blanks and parentheses.
        ssize_t len = readSmall(pidfd, "stat", buf, sizeof buf - 1);
        if (len <= 0) { ::close(pidfd); continue; }
        buf[len] = '\0';
        char* open = std::strchr(buf, '(');
        char* close = std::strrchr(buf, ')');
        if (!open || !close || close < open || close[1] != ' ') { ::close(pidfd); continue; }
        const char state = close[2];
        if (state == 'Z' || state == 'X') { ::close(pidfd); continue; }  // ended, not reaped
        std::string comm(open + 1, close);

        std::string name;
        char link[4096];
        ssize_t ln = ::readlinkat(pidfd, "exe", link, sizeof link - 1);
        ::close(pidfd);
        if (ln > 0) {
            link[ln] = '\0';
            std::string exe(link, static_cast<std::size_t>(ln));
            constexpr std::string_view deleted = " (deleted)";
            if (exe.size() > deleted.size() && exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
            if (fullPath) {
                name = std::move(exe);
            } else {
                auto slash = exe.rfind('/');
                name = slash == std::string::npos ? exe : exe.substr(slash + 1);
            }
        } else {
            name = std::move(comm);  // kernel threads and processes of other users
        }
        list.push_back({std::move(name), static_cast<std::uint32_t>(pid)});
    }
    ::closedir(proc);
    return true;
}

}  // namespace vantor
