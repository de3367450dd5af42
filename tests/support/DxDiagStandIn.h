#pragma once
// A stand-in for the hardware-report tool: the test program dxdiag-stand-in
// (tests/support/programs/DxDiagStandIn.cpp) copied into a folder as
// dxdiag.exe, with what it does written beside it. The same on POSIX and
// Windows.

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vantor::test {

// What the stand-in does, in this order.
struct DxDiagStandIn {
    std::string waitFor;                // waits until this file is there (empty: no wait)
    int sleepMs = 0;                    // then sleeps
    std::optional<std::string> report;  // then writes these bytes to the file after "/t"
    int exitCode = 0;                   // then ends with this code

    // A tool that never ends within a test.
    static DxDiagStandIn hangs() { return {.sleepMs = 30'000}; }
    // A tool that writes no report and ends with code.
    static DxDiagStandIn fails(int code) { return {.exitCode = code}; }
    static DxDiagStandIn writes(std::string bytes) { return {.report = std::move(bytes)}; }

    // Puts the stand-in in folder as dxdiag.exe (made if need be).
    void install(const std::string& folder) const {
        namespace fs = std::filesystem;
        fs::create_directories(folder);
        // A copy that is there already stays: it may still be running.
        fs::copy_file(fs::path(VANTOR_TEST_PROGRAM_DIR) / (std::string("dxdiag-stand-in") + kExeSuffix),
                      fs::path(folder) / "dxdiag.exe", fs::copy_options::skip_existing);
        std::string cfg;
        if (!waitFor.empty()) cfg += "wait_for=" + waitFor + "\n";
        if (sleepMs > 0) cfg += "sleep_ms=" + std::to_string(sleepMs) + "\n";
        if (report) cfg += "report=" + escaped(*report) + "\n";
        cfg += "exit=" + std::to_string(exitCode) + "\n";
        writeFile((fs::path(folder) / "dxdiag-stand-in.cfg").string(), cfg);
    }

private:
    static std::string escaped(const std::string& bytes) {
        std::string out;
        for (char c : bytes) {
            if (c == '\r')
                out += "\\r";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\\')
                out += "\\\\";
            else
                out += c;
        }
        return out;
    }
};

}  // namespace vantor::test
