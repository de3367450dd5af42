#pragma once
// The main window's run values: they live as long as the program, start empty,
// false or 0, and keep their values from run to run unless a step sets them.

#include "core/PassPolicy.h"
#include "platform/FileOps.h"

#include <string>

namespace vantor {

struct RunState {
    bool HDDMinimize = false;
    bool DebugMode = false;
    bool SteamRunning = false;
    bool GameRunning = false;
    bool QueryFailureLogged = false;
    int ResolutionCount = 0;
    int PassCount = 0;
    std::string CurrentWidth;
    bool RunFinished = false;
    std::string StartTime;
    std::string StartedIso;  // the same moment: ISO 8601 with the offset from UTC
    std::string FileStamp;
    std::string ReportPath;
    std::string DemoTitle;
    std::string DemoFile;
    std::string DemoName;
    std::string UserDemoFile;
    std::string DetailName;
    std::string FilterLine1;
    std::string FilterLine2;
    std::string AALine;
    std::string DXLine;
    std::string RefreshArg;
    std::string FastZArg;
    std::string HeapArg;
    std::string LaunchCommand;

    // Beyond the classic run, taken from the controls when a run starts.
    int CurrentHeight = 0;       // height of the pass under way (0 before the first)
    PassPolicy Passes;           // passes per resolution, adaptive passes
    bool ReportSummary = false;  // summary and chart in the report
    bool ResultFiles = false;    // result_<stamp>.json and .csv beside the report
};

// Absolute folders ending with the native separator, or empty when unknown.
struct Paths {
    std::string BenchPath;    // the program's own folder
    std::string SteamPath;    // the Steam client's folder
    std::string HL2Path;      // the folder that holds "half-life 2"
    std::string CFGPath;      // HL2Path + "half-life 2/hl2/cfg/"
    std::string ResultsPath;  // HL2Path + "half-life 2/hl2/"
    // Where the program writes its own files and, when the user chose no
    // results folder, its reports (core/OwnFolders.h); set at start-up. Until
    // then a portable copy's: BenchPath and BenchPath + "Benchmark/".
    std::string OwnFilesPath;
    std::string DefaultReportPath;

    std::string ownFiles() const { return OwnFilesPath.empty() ? BenchPath : OwnFilesPath; }
    std::string defaultReports() const {
        if (!DefaultReportPath.empty() || BenchPath.empty()) return DefaultReportPath;
        return BenchPath + "Benchmark" + kPathSep;
    }
};

}  // namespace vantor
