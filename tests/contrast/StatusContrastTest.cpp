#include "ui/StatusContrast.h"

#include <gtest/gtest.h>

namespace {

using ui::Rgb;

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kButtonFace{240, 240, 240};  // the face of today's default theme
constexpr Rgb kClassicFace{212, 208, 200};

TEST(StatusContrast, RatiosOfKnownPairs) {
    struct Case {
        Rgb one;
        Rgb other;
        double ratio;
    };
    const Case cases[] = {
        {kBlack, kWhite, 21.0},
        {kWhite, kBlack, 21.0},
        {kWhite, kWhite, 1.0},
        {kBlue, kBlack, 2.444},
        {kRed, kBlack, 5.252},
        {kRed, kWhite, 3.998},
        {kBlue, kButtonFace, 7.540},
        {kRed, kButtonFace, 3.509},
        {kRed, kClassicFace, 2.600},
        {{1, 1, 1}, kBlack, 1.006},
        {{148, 148, 148}, kWhite, 3.033},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ui::ContrastRatio(c.one, c.other), c.ratio, 0.001)
            << int(c.one.red) << "," << int(c.one.green) << "," << int(c.one.blue) << " on "
            << int(c.other.red) << "," << int(c.other.green) << "," << int(c.other.blue);
}

TEST(StatusContrast, TheVerdictGivesWayWhereItWouldHardlyStandOut) {
    struct Case {
        const char* what;
        Rgb verdict;
        Rgb background;
        bool highContrast;
        bool keeps;
    };
    const Case cases[] = {
        {"blue on the default face", kBlue, kButtonFace, false, true},
        {"red on the default face", kRed, kButtonFace, false, true},
        {"either in a high-contrast theme", kBlue, kButtonFace, true, false},
        {"red in a high-contrast theme", kRed, kWhite, true, false},
        {"blue on black, set by hand", kBlue, kBlack, false, false},
        {"red on black, set by hand", kRed, kBlack, false, true},
        {"red on the classic grey", kRed, kClassicFace, false, false},
        {"just above 3 : 1", {148, 148, 148}, kWhite, false, true},
        {"just below 3 : 1", {149, 149, 149}, kWhite, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::VerdictKeepsItsColour(c.verdict, c.background, c.highContrast), c.keeps)
            << c.what;
}

}  // namespace
