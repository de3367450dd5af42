#pragma once
// A stand-in for an outside program (the hardware-report tool, Steam's
// client): the test program stand-in (tests/support/programs/StandIn.cpp)
// copied into a folder under the program's name, with what it does written
// beside it. The same on POSIX and Windows.

#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vantor::test {

// What the stand-in does, in this order.
struct StandIn {
    std::string argsTo;                 // first appends its arguments, as one line, to this file
    std::string waitFor;                // waits until this file is there (empty: no wait)
    int sleepMs = 0;                    // then sleeps
    std::optional<std::string> report;  // then writes these bytes to the file after "/t"
    int exitCode = 0;                   // then ends with this code

    // A tool that never ends within a test.
    static StandIn hangs() {
        StandIn s;
        s.sleepMs = 30'000;
        return s;
    }
    // A tool that writes no report and ends with code.
    static StandIn fails(int code) {
        StandIn s;
        s.exitCode = code;
        return s;
    }
    static StandIn writes(std::string bytes) {
        StandIn s;
        s.report = std::move(bytes);
        return s;
    }
    // A hardware report with every label the program looks for.
    static StandIn writesAFullReport() {
        return writes(
            "System Information\r\n   Operating System: Test OS\r\n           Language: C\r\n"
            "          Processor: Test CPU\r\n             Memory: 2048MB RAM\r\n    DirectX Version: "
            "Not available\r\n          Card name: Test GPU\r\n     Display Memory: 64.0 MB\r\n"
            "   Notes=Monitor Max Res: 1600,1200\r\n     Driver Version: 1.0\r\n");
    }

    // Puts the stand-in in folder under the name (made if need be).
    void install(const std::string& folder, const std::string& name = "dxdiag.exe") const {
        namespace fs = std::filesystem;
        fs::create_directories(folder);
        // A copy that is there already stays: it may still be running.
        fs::copy_file(fs::path(VANTOR_TEST_PROGRAM_DIR) / (std::string("stand-in") + kExeSuffix),
                      fs::path(folder) / name, fs::copy_options::skip_existing);
        std::string cfg;
        if (!argsTo.empty()) cfg += "args_to=" + argsTo + "\n";
        if (!waitFor.empty()) cfg += "wait_for=" + waitFor + "\n";
        if (sleepMs > 0) cfg += "sleep_ms=" + std::to_string(sleepMs) + "\n";
        if (report) cfg += "report=" + escaped(*report) + "\n";
        cfg += "exit=" + std::to_string(exitCode) + "\n";
        writeFile((fs::path(folder) / "stand-in.cfg").string(), cfg);
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
