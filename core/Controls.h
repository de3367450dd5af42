#pragma once
// The option controls of the main window: their identities and item lists, in
// the order the window shows them. Item texts are UTF-8 ("×" is U+00D7).

#include <array>
#include <string>
#include <string_view>

namespace vantor {

// Lists and radio groups: an item index, -1 when nothing is chosen.
enum class Choice {
    Detail,
    Demo,
    AF,
    AA,
    Heapsize,
    Refresh,
    DirectX,
    Passes,             // passes per resolution, "1".."10"
    AdaptiveThreshold,  // "1%".."10%"
    AdaptiveCap,        // "2".."20"
};

// Check boxes.
enum class Check {
    FastZ,
    HDDUse,
    AddInfo,
    AdaptivePasses,    // extra passes while the scores spread
    ReportSummary,     // summary and chart in the report
    ResultFiles,       // result_<stamp>.json and .csv beside the report
    CustomResolution,  // the user's own W×H is played
};

// Text fields.
enum class Field { HL2Path, DetailEdit, DemoEdit, ResEdit, NoteEdit, CustomResolution, SteamPath };

// Labels set by the program.
enum class Label { VerseLabel, HeaderVersion, ProgramVersion };

// Controls whose enabled state the program changes.
enum class Control { BenchButton, DebugBtn, DetailEdit, DetailButton, DemoEdit, DemoEditButton, UpdateButton };

inline constexpr int kResolutionCount = 6;
inline constexpr std::array<std::string_view, kResolutionCount> kResolutionItems = {
    "640 × 480", "800 × 600", "1024 × 768", "1280 × 1024", "1600 × 1200", "2048 × 1536"};
inline constexpr std::array<int, kResolutionCount> kWidths = {640, 800, 1024, 1280, 1600, 2048};
inline constexpr std::array<int, kResolutionCount> kHeights = {480, 600, 768, 1024, 1200, 1536};

inline constexpr std::array<std::string_view, 3> kDetailItems = {"Maximum", "Minimum", "Custom config file:"};
inline constexpr std::array<std::string_view, 6> kDemoItems = {
    "Quorvane Coast", "Quorvane d13c17", "Raza3Z demo4", "Raza3Z demo5", "Raza3Z demo6", "User defined demo"};
inline constexpr std::array<std::string_view, 7> kAFItems = {
    "Bilinear", "Trilinear", "Anisotropic 2×", "Anisotropic 4×", "Anisotropic 8×", "Anisotropic 16×", "From System"};
inline constexpr std::array<std::string_view, 6> kAAItems = {"None", "2×", "4×", "6×", "8×", "From System"};
inline constexpr std::array<std::string_view, 5> kHeapsizeItems = {"64 MB - default", "128 MB", "256 MB", "512 MB",
                                                                   "1024 MB"};
inline constexpr std::array<std::string_view, 4> kRefreshItems = {"60 Hz", "70 Hz", "75 Hz", "85 Hz"};
inline constexpr std::array<std::string_view, 4> kDirectXItems = {"DirectX 7", "DirectX 8", "DirectX 8.1", "DirectX 9"};
inline constexpr std::array<std::string_view, 10> kPassesItems = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
inline constexpr std::array<std::string_view, 10> kThresholdItems = {"1%", "2%", "3%", "4%", "5%",
                                                                     "6%", "7%", "8%", "9%", "10%"};
inline constexpr std::array<std::string_view, 19> kCapItems = {
    "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"};

// The text shown for an item of a choice, empty for -1 or out of range.
std::string_view choiceItemText(Choice choice, int index);
int choiceItemCount(Choice choice);

// The resolution text with the multiplication sign, e.g. "640×480".
std::string resolutionText(int index);

}  // namespace vantor
