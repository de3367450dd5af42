#include "SimKnobs.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace vantor::sim {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool isKnownMode(const std::string& m) {
    return m == "normal" || m == "crash" || m == "hang" || m == "nostart" || m == "malformed" || m == "wrongsize";
}

std::string checkedMode(const std::string& value, const char* knob) {
    if (isKnownMode(value)) return value;
    std::fprintf(stderr, "vantor-sim: unknown %s '%s', playing normally\n", knob, value.c_str());
    return "normal";
}

bool listHas(const std::string& list, const std::string& item) {
    std::stringstream in(list);
    std::string part;
    while (std::getline(in, part, ','))
        if (!item.empty() && trim(part) == item) return true;
    return false;
}

}  // namespace

std::string selfPath(const char* argv0) {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !p.empty()) return p.string();
    return std::filesystem::absolute(argv0 ? argv0 : "", ec).lexically_normal().string();
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Knobs::Knobs(const std::string& steamFolder) {
    std::ifstream in(steamFolder + "/" + kKnobFile);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        file_[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
}

std::string Knobs::get(const std::string& name, const std::string& fallback) const {
    std::string var = "VANTOR_SIM_";
    for (char c : name) var += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (const char* v = std::getenv(var.c_str())) return trim(v);
    auto it = file_.find(name);
    return it != file_.end() ? it->second : fallback;
}

long Knobs::getMs(const std::string& name, long fallback) const {
    const std::string v = get(name);
    if (v.empty()) return fallback;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < 0) {
        std::fprintf(stderr, "vantor-sim: bad %s '%s', using %ld\n", name.c_str(), v.c_str(), fallback);
        return fallback;
    }
    return n;
}

std::string resolveMode(const Knobs& knobs, const std::string& steamFolder, const std::string& width) {
    const std::string once = knobs.get("mode_once");
    if (!once.empty()) {
        // O_EXCL makes the use of mode_once happen exactly once, even for two
        // launches at the same moment.
        const std::string marker = steamFolder + "/" + kOnceMarker;
        int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::string text = once + "\n";
            (void)!::write(fd, text.data(), text.size());
            ::close(fd);
            return checkedMode(once, "mode_once");
        }
    }
    for (const char* m : {"crash", "hang", "nostart", "malformed", "wrongsize"})
        if (listHas(knobs.get(std::string(m) + "_widths"), width)) return m;
    return checkedMode(knobs.get("mode", "normal"), "mode");
}

long long monotonicNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void timeline(const Knobs& knobs, const char* event, long long ns, const std::string& width) {
    const std::string file = knobs.get("timeline");
    if (file.empty()) return;
    char line[128];
    const int n =
        std::snprintf(line, sizeof line, "%s %lld %s\n", event, ns, width.empty() ? "-" : width.substr(0, 16).c_str());
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, line, static_cast<std::size_t>(n)) != n)
        std::fprintf(stderr, "vantor-sim: cannot append to timeline %s: %s\n", file.c_str(), std::strerror(errno));
    if (fd >= 0) ::close(fd);
}

void sleepMs(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {}
}

}  // namespace vantor::sim
