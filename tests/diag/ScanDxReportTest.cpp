// ScanDxReport: the labels found in a report, line by line, forward only.
#include "diag/DiagTool.h"
#include "diag/ScanDxReport.h"
#include "platform/PlainEventLoop.h"
#include "tests/support/Portable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace vantor;
using namespace vantor::test;
using namespace std::chrono_literals;

namespace {

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

// The opening of a real report, enough for the Information window's labels.
const std::vector<std::string> kReport = {
    "------------------",
    "System Information",
    "------------------",
    "Time of this report: 7/20/2005, 14:03:05",
    "       Machine name: BENCH",
    "   Operating System: Windows XP Professional (5.1, Build 2600) Service Pack 2",
    "           Language: English (Regional Setting: English)",
    "          Processor: AMD Athlon(tm) 64 Processor 3200+,  MMX,  3DNow, ~2.0GHz",
    "             Memory: 1024MB RAM",
    "          Page File: 301MB used, 2161MB available",
    "    DirectX Version: DirectX 9.0c (4.09.0000.0904)",
    "",
    "---------------",
    "Display Devices",
    "---------------",
    "        Card name: NVIDIA GeForce 6800 GT",
    "     Manufacturer: NVIDIA",
    "   Display Memory: 256.0 MB",
    "  Monitor Max Res: 1600,1200",
    "   Driver Version: 6.14.0010.7772 (English)",
};

std::vector<std::string> with(std::vector<std::string> lines, std::size_t at, const std::string& line) {
    lines[at] = line;
    return lines;
}

std::vector<std::string> without(std::vector<std::string> lines, std::size_t at) {
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    return lines;
}

}  // namespace

TEST(ScanDxReport, CasesOfTheHardwareLabels) {
    const std::string os = "Operating System: Windows XP Professional (5.1, Build 2600) Service Pack 2";
    const std::string cpu = "Processor: AMD Athlon(tm) 64 Processor 3200+,  MMX,  3DNow, ~2.0GHz";
    const std::string mem = "Memory: 1024MB RAM";
    const std::string card = "Card name: NVIDIA GeForce 6800 GT";
    const std::string vram = "Display Memory: 256.0 MB";
    const std::string driver = "Driver Version: 6.14.0010.7772 (English)";
    using S = DxScanResult::Status;
    struct Case {
        const char* name;
        std::vector<std::string> report;
        S status;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"a whole report", kReport, S::Complete, {os, cpu, mem, card, vram, driver}},
        // The memory label is found on the processor's line, that line's value
        // taken again as it is: without its first character, blanks kept.
        {"processor line holding Memory:",
         with(kReport, 7, "          Processor: Pentium 4, Memory: 512MB"),
         S::Complete,
         {os, "Processor: Pentium 4, Memory: 512MB", "         Processor: Pentium 4, Memory: 512MB", card, vram,
          driver}},
        {"empty remainder",
         with(kReport, 8, "             Memory:"),
         S::Complete,
         {os, cpu, "Memory:", card, vram, driver}},
        {"line holding =: the text after it",
         with(kReport, 15, "   Notes=Card name: Radeon X800 = XT"),
         S::Complete,
         {os, cpu, mem, "Card name: Radeon X800 = XT", vram, driver}},
        {"label before = is not seen",
         with(kReport, 15, "        Card name: X=Radeon"),
         S::LabelMissing,
         {os, cpu, mem}},
        {"labels found whatever their case",
         with(kReport, 15, "        CARD NAME: Matrox"),
         S::Complete,
         {os, cpu, mem, "CARD NAME: Matrox", vram, driver}},
        // Only spaces count as leading blanks.
        {"tab kept", with(kReport, 8, "  \tMemory: 2GB"), S::Complete, {os, cpu, "\tMemory: 2GB", card, vram, driver}},
        // Forward only: "Memory:" is taken from the later "Display Memory:"
        // line, and "Card name:" above it can then no longer be found.
        {"memory line missing", without(kReport, 8), S::LabelMissing, {os, cpu, vram}},
        {"driver line missing", without(kReport, 19), S::LabelMissing, {os, cpu, mem, card, vram}},
        {"empty report", {}, S::LabelMissing, {}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / "dxinfo.txt";
        writeFile(file, crlf(c.report));
        std::vector<std::string> lines = {"left over"};
        std::vector<std::string> found;
        std::vector<std::size_t> indexes;
        const DxScanResult r = ScanDxReport(file, kHardwareLabels, lines, [&](std::size_t i, const std::string& line) {
            indexes.push_back(i);
            found.push_back(line);
        });
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.found, c.found.size());
        EXPECT_EQ(found, c.found);
        for (std::size_t i = 0; i < indexes.size(); ++i) EXPECT_EQ(indexes[i], i);
    }
}

TEST(ScanDxReport, MissingFileFindsNothing) {
    TempDir dir;
    std::vector<std::string> lines;
    int calls = 0;
    const DxScanResult r =
        ScanDxReport(dir / "dxinfo.txt", kHardwareLabels, lines, [&](std::size_t, const std::string&) { ++calls; });
    EXPECT_EQ(r.status, DxScanResult::Status::FileMissing);
    EXPECT_EQ(r.found, 0u);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(scanFailedText(r, kHardwareLabels), "The hardware report tool wrote no report.");
}

TEST(ScanDxReport, TheListIsConsumedUpToTheLastFoundLine) {
    TempDir dir;
    writeFile(dir / "dxinfo.txt", crlf(kReport));
    std::vector<std::string> lines;
    ASSERT_TRUE(ScanDxReport(dir / "dxinfo.txt", kHardwareLabels, lines, nullptr).ok());
    EXPECT_EQ(lines, std::vector<std::string>{kReport.back()});

    // A missing label: the text names it.
    writeFile(dir / "dxinfo.txt", crlf(without(kReport, 15)));
    const DxScanResult r = ScanDxReport(dir / "dxinfo.txt", kHardwareLabels, lines, nullptr);
    EXPECT_EQ(scanFailedText(r, kHardwareLabels), "The hardware report has no \"Card name:\" line.");
}

TEST(DiagTool, CommandLineQuotesBothPaths) {
    using test::nativePath;
    DiagTool tool;
    tool.folder = nativePath("/opt/my tools");
    EXPECT_EQ(tool.commandLine(nativePath("/home/u/Vantor bench/")),
              "\"" + nativePath("/opt/my tools/dxdiag.exe") + "\" /whql:on /t \"" +
                  nativePath("/home/u/Vantor bench/dxinfo.txt") + "\"");
    EXPECT_EQ(tool.commandLine(""), "");  // the program's folder unknown
    EXPECT_EQ(tool.commandLine(nativePath("/home/u/say \"hi\"/")), "");
    tool.folder.clear();
    EXPECT_EQ(tool.commandLine(nativePath("/home/u/")), "");

    // A start of the tool: the whole line in ProcFileName, nothing else.
    PlainEventLoop loop;
    TRunAFile run(loop);
    run.Params.ProcParameters = "old";
    run.Params.UseAssociations = true;
    tool.folder = nativePath("/opt/tools");
    ASSERT_TRUE(tool.prepare(run, nativePath("/b/"), 2500ms));
    EXPECT_EQ(run.Params.ProcFileName,
              "\"" + nativePath("/opt/tools/dxdiag.exe") + "\" /whql:on /t \"" + nativePath("/b/dxinfo.txt") + "\"");
    EXPECT_EQ(run.Params.ProcParameters, "");
    EXPECT_FALSE(run.Params.UseAssociations);
    EXPECT_EQ(run.Params.TimeOutSec(), 3u);
    EXPECT_FALSE(tool.prepare(run, "", 2500ms));
}

TEST(DiagTool, BoundInWholeSecondsAndOneUserAtATime) {
    const std::pair<std::chrono::milliseconds, unsigned> bounds[] = {
        {0ms, 1}, {400ms, 1}, {1000ms, 1}, {1001ms, 2}, {60'000ms, 60}, {5h, 3600},
    };
    for (const auto& [bound, seconds] : bounds) EXPECT_EQ(DiagTool::timeOutSec(bound), seconds) << bound.count();

    DiagTool tool;
    EXPECT_EQ(tool.user(), DiagTool::User::None);
    EXPECT_TRUE(tool.claim(DiagTool::User::DebugMode));
    EXPECT_TRUE(tool.claim(DiagTool::User::DebugMode));
    EXPECT_FALSE(tool.claim(DiagTool::User::HardwareInfo));
    tool.release(DiagTool::User::HardwareInfo);  // not its to release
    EXPECT_EQ(tool.user(), DiagTool::User::DebugMode);
    tool.release(DiagTool::User::DebugMode);
    EXPECT_TRUE(tool.claim(DiagTool::User::HardwareInfo));
}
