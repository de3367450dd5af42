#include "core/Resolutions.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(ParseResolutionTest, AcceptsTheUsualSpellings) {
    const std::pair<const char*, Resolution> cases[] = {
        {"2560\xC3\x97"
         "1600",
         {2560, 1600}},
        {"2560x1600", {2560, 1600}},
        {" 2560 X 1600 ", {2560, 1600}},
        {"16384\xC3\x97"
         "16384",
         {16384, 16384}},
        {"2x2", {2, 2}},
    };
    for (const auto& [text, expected] : cases) {
        const auto parsed = parseResolution(text);
        ASSERT_TRUE(parsed.value) << text << ": " << parsed.error;
        EXPECT_EQ(*parsed.value, expected) << text;
        EXPECT_EQ(parsed.error, "") << text;
    }
}

TEST(ParseResolutionTest, RefusesInvalidSizesWithTheReason) {
    const std::string format =
        "Please enter the custom resolution as width\xC3\x97height, for example 2560\xC3\x97"
        "1600.";
    const std::pair<const char*, std::string> cases[] = {
        {"0x1080",
         "The custom resolution 0\xC3\x97"
         "1080 is refused: width and height must be positive."},
        {"-1920x1080",
         "The custom resolution -1920\xC3\x97"
         "1080 is refused: width and height must be positive."},
        {"1920x0",
         "The custom resolution 1920\xC3\x97"
         "0 is refused: width and height must be positive."},
        {"16386x1080",
         "The custom resolution 16386\xC3\x97"
         "1080 is refused: width and height must be at most 16384."},
        {"1920x16386",
         "The custom resolution 1920\xC3\x97"
         "16386 is refused: width and height must be at most 16384."},
        {"1921x1080",
         "The custom resolution 1921\xC3\x97"
         "1080 is refused: width and height must be even."},
        {"1920x1081",
         "The custom resolution 1920\xC3\x97"
         "1081 is refused: width and height must be even."},
        {"", format},
        {"1920", format},
        {"x1080", format},
        {"1920x", format},
        {"abcxdef", format},
        {"1920x1080x2", format},
        {"1920.5x1080", format},
        {"9999999999x2", format},
    };
    for (const auto& [text, error] : cases) {
        const auto parsed = parseResolution(text);
        EXPECT_FALSE(parsed.value) << text;
        EXPECT_EQ(parsed.error, error) << text;
    }
}

TEST(ResolutionTextTest, TextAndStoredCode) {
    EXPECT_EQ(resolutionText(Resolution{1920, 1080}),
              "1920\xC3\x97"
              "1080");
    EXPECT_EQ(resolutionCode(Resolution{1920, 1080}), "1920x1080");
    // The stored code reads back as the same size.
    for (const auto& r : kTodayResolutions) EXPECT_EQ(parseResolution(resolutionCode(r)).value, r);
}

}  // namespace
}  // namespace vantor
