#include "cli/CliHints.h"

#include <string_view>

namespace vantor {
namespace {

struct Hint {
    std::string_view words;  // a part of the message
    std::string_view line;
};

// The first entry whose words occur in the message gives its line.
constexpr Hint kHints[] = {
    {"After that click RUN", "vantor-cli: once Steam has loaded, run the command again."},
    {"click RUN again", "vantor-cli: run the command again in a moment."},
    {"beside the Steam folder", "vantor-cli: choose it with `vantor-cli set-steam FOLDER`."},
    {"\"Browse...\"", "vantor-cli: choose the game with `vantor-cli set-game PATH`."},
    {"results folder on the Miscellaneous page",
     "vantor-cli: give another with `run --results-folder DIR`, or store it with `vantor-cli set results-folder DIR`."},
    {"page. The benchmark has not started.",
     "vantor-cli: `vantor-cli options` lists the options; give one with `run --NAME VALUE`, or store it with "
     "`vantor-cli set NAME VALUE`."},
    {"or choose another demo", "vantor-cli: give the demo with `run --demo 1..5` or `run --demo FILE.dem`."},
    {"choose a resolution", "vantor-cli: give one with `run --resolution WxH` (e.g. 1920x1080)."},
    {"\"View additional information\"", "vantor-cli: collect it with `vantor-cli hwinfo --save`."},
    {"Press the OK button", "vantor-cli: the program is started again by itself."},
};

}  // namespace

std::string commandLineHint(const std::string& text) {
    for (const auto& h : kHints)
        if (text.find(h.words) != std::string::npos) return std::string(h.line);
    return {};
}

}  // namespace vantor
