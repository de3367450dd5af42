#include "SimKnobs.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

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
        // An exclusive create makes the use of mode_once happen exactly once,
        // even for two launches at the same moment.
        if (createExclusive(steamFolder + "/" + kOnceMarker, once + "\n")) return checkedMode(once, "mode_once");
    }
    for (const char* m : {"crash", "hang", "nostart", "malformed", "wrongsize"})
        if (listHas(knobs.get(std::string(m) + "_widths"), width)) return m;
    return checkedMode(knobs.get("mode", "normal"), "mode");
}

void timeline(const Knobs& knobs, const char* event, long long ns, const std::string& width) {
    const std::string file = knobs.get("timeline");
    if (file.empty()) return;
    char line[128];
    const int n =
        std::snprintf(line, sizeof line, "%s %lld %s\n", event, ns, width.empty() ? "-" : width.substr(0, 16).c_str());
    std::string error;
    if (!appendInOneWrite(file, std::string(line, static_cast<std::size_t>(n)), error))
        std::fprintf(stderr, "vantor-sim: cannot append to timeline %s: %s\n", file.c_str(), error.c_str());
}

}  // namespace vantor::sim
