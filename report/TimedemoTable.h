#pragma once
// Today's shape of the game's timed-demo result file. The engine appends to
// it: a header line of column names when the file is new ("demofile,fps,
// framerate variability,totaltime,numframes,width,height,windowed,...,"), then
// one row per timed demo, every field followed by a comma. Columns are found by
// their names, so a column that moves or a name that turns out different is one
// entry of kTimedemoColumns.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

enum class TimedemoColumn { DemoFile, Fps, Variability, TotalTime, Frames, Width, Height };

struct TimedemoColumnName {
    TimedemoColumn column;
    std::string_view name;  // as in the header, compared ignoring case and surrounding blanks
    bool required;          // a header without it is not today's shape
};

inline constexpr std::array<TimedemoColumnName, 7> kTimedemoColumns = {{
    {TimedemoColumn::DemoFile, "demofile", false},
    {TimedemoColumn::Fps, "fps", true},
    {TimedemoColumn::Variability, "framerate variability", false},
    {TimedemoColumn::TotalTime, "totaltime", false},
    {TimedemoColumn::Frames, "numframes", false},
    {TimedemoColumn::Width, "width", true},
    {TimedemoColumn::Height, "height", true},
}};

// Where each column stands in a row (0-based), -1 for one the header lacks.
struct TimedemoHeader {
    std::array<int, kTimedemoColumns.size()> index{};
    int of(TimedemoColumn c) const { return index[static_cast<std::size_t>(c)]; }
};

// The header of today's shape; nullopt when a required column is missing.
std::optional<TimedemoHeader> parseTimedemoHeader(std::string_view line);

// The fields of a line split at every comma (a final comma gives an empty
// last field), each without surrounding blanks.
std::vector<std::string> splitTimedemoFields(std::string_view line);

}  // namespace vantor
