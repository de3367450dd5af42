#pragma once
// The result of a pass: the frames per second the game wrote into
// ResultsPath + "sourcebench.csv" (third field of the fourth line, as text).

#include "core/AppContext.h"

#include <string>
#include <vector>

namespace vantor {

struct PassResult {
    bool found = false;
    std::string score;
};

// The score of a fourth line: the text between the second and the third comma,
// empty with fewer than three commas.
std::string extractScore(const std::string& fourthLine);

class ResultReader {
public:
    explicit ResultReader(AppContext& ctx) : ctx_(ctx) {}

    PassResult ReadPassResult();
    void RemovePassFiles();

    const std::vector<std::string>& ResultLines() const { return resultLines_; }

private:
    AppContext& ctx_;
    std::vector<std::string> resultLines_;
};

}  // namespace vantor
