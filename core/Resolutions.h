#pragma once
// Screen sizes beyond the six classic passes: today's common sizes and the
// user's own W×H, with its validation.

#include <array>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace vantor {

struct Resolution {
    int width = 0;
    int height = 0;
    auto operator<=>(const Resolution&) const = default;
};

inline constexpr int kTodayResolutionCount = 6;
inline constexpr std::array<Resolution, kTodayResolutionCount> kTodayResolutions = {
    {{1280, 720}, {1920, 1080}, {2560, 1440}, {3840, 2160}, {1920, 1200}, {2560, 1080}}};
inline constexpr std::array<std::string_view, kTodayResolutionCount> kTodayResolutionItems = {
    "1280 × 720", "1920 × 1080", "2560 × 1440", "3840 × 2160", "1920 × 1200", "2560 × 1080"};

// The largest side the game is offered.
inline constexpr int kMaxResolutionSide = 16384;

// "W×H" with the multiplication sign (UTF-8).
std::string resolutionText(Resolution r);

// The user's W×H: "2560×1600", "2560x1600" or "2560 x 1600". A size that is
// not positive, larger than kMaxResolutionSide or odd is refused with a
// message saying why.
struct ParsedResolution {
    std::optional<Resolution> value;
    std::string error;
};
ParsedResolution parseResolution(std::string_view text);

// The stored form of a resolution, "2560x1600" (plain ASCII).
std::string resolutionCode(Resolution r);

}  // namespace vantor
