#include "core/Resolutions.h"

#include <charconv>

namespace vantor {
namespace {

constexpr std::string_view kTimes = "\xC3\x97";  // "×" in UTF-8

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A decimal number of at most 9 digits, the whole text; nullopt otherwise.
std::optional<long> number(std::string_view s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    long value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

}  // namespace

std::string resolutionText(Resolution r) {
    return std::to_string(r.width) + std::string(kTimes) + std::to_string(r.height);
}

std::string resolutionCode(Resolution r) { return std::to_string(r.width) + "x" + std::to_string(r.height); }

ParsedResolution parseResolution(std::string_view text) {
    const std::string_view t = trim(text);
    const std::string format = "Please enter the custom resolution as width" + std::string(kTimes) +
                               "height, for example 2560" + std::string(kTimes) + "1600.";
    std::size_t sep = t.find(kTimes);
    std::size_t sepLength = kTimes.size();
    if (sep == std::string_view::npos) {
        sep = t.find_first_of("xX");
        sepLength = 1;
    }
    if (sep == std::string_view::npos) return {std::nullopt, format};
    const auto width = number(trim(t.substr(0, sep)));
    const auto height = number(trim(t.substr(sep + sepLength)));
    if (!width || !height) return {std::nullopt, format};

    const std::string shown = std::to_string(*width) + std::string(kTimes) + std::to_string(*height);
    if (*width <= 0 || *height <= 0)
        return {std::nullopt, "The custom resolution " + shown + " is refused: width and height must be positive."};
    if (*width > kMaxResolutionSide || *height > kMaxResolutionSide)
        return {std::nullopt, "The custom resolution " + shown + " is refused: width and height must be at most " +
                                  std::to_string(kMaxResolutionSide) + "."};
    if (*width % 2 != 0 || *height % 2 != 0)
        return {std::nullopt, "The custom resolution " + shown + " is refused: width and height must be even."};
    return {Resolution{static_cast<int>(*width), static_cast<int>(*height)}, {}};
}

}  // namespace vantor
