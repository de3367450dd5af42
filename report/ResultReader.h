#pragma once
// The result of a pass: the frames per second the game wrote into
// ResultsPath + "sourcebench.csv". In the first engine's shape the third field
// of the fourth line, as text; in today's shape (report/TimedemoTable.h) the
// fps column of the last row, which must be for the pass's resolution.

#include "core/AppContext.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

struct PassResult {
    bool found = false;
    std::string score;
};

// The score of a fourth line: the text between the second and the third comma,
// empty with fewer than three commas.
std::string extractScore(const std::string& fourthLine);

// The first four lines of the first shape's file from its first bytes (more:
// the file goes on past them), split at CR LF, LF or CR. False when one of them
// is longer than ResultReader::kTimedemoLineBound: not the game's file.
bool splitFirstLines(std::string_view bytes, bool more, std::vector<std::string>& lines);

class ResultReader {
public:
    explicit ResultReader(AppContext& ctx) : ctx_(ctx) {}

    PassResult ReadPassResult();
    void RemovePassFiles();

    // A header or row of today's shape longer than this is not the game's.
    // Also the bound of each of the first shape's four lines.
    static constexpr std::size_t kTimedemoLineBound = 16 * 1024;
    // What is read of a file of the first shape: four lines within the bound.
    static constexpr std::size_t kFirstShapeBytes = 4 * (kTimedemoLineBound + 2);

    const std::vector<std::string>& ResultLines() const { return resultLines_; }

private:
    // The result of a copy in today's shape; nullopt when the copy has another shape.
    std::optional<PassResult> readTodayShape(const std::string& copy);

    AppContext& ctx_;
    std::vector<std::string> resultLines_;
};

}  // namespace vantor
