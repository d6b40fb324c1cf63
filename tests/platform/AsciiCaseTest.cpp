// The engine recognises "SKM300.EXE" and "XTRAS" by upper-casing ASCII
// letters only; nothing that merely looks like them may pass.
#include <gtest/gtest.h>

#include <string>

#include "platform/AsciiCase.h"

namespace {

using platform::AsciiUpper;
using platform::UpperCaseEquals;

// Every mixture of small and capital letters of `capitals`.
std::vector<std::string> EveryLetterCase(const std::string& capitals) {
    std::vector<std::string> mixtures{""};
    for (char c : capitals) {
        std::vector<std::string> longer;
        for (const std::string& start : mixtures) {
            longer.push_back(start + c);
            if (c >= 'A' && c <= 'Z')
                longer.push_back(start + char(c - 'A' + 'a'));
        }
        mixtures = std::move(longer);
    }
    return mixtures;
}

TEST(AsciiCase, EveryMixtureOfLettersMatchesTheCapitals) {
    for (const std::string capitals : {"SKM300.EXE", "XTRAS"}) {
        const std::vector<std::string> mixtures = EveryLetterCase(capitals);
        EXPECT_EQ(mixtures.size(), capitals == "XTRAS" ? 32u : 64u);
        for (const std::string& name : mixtures) {
            EXPECT_TRUE(UpperCaseEquals(name, capitals)) << name;
            EXPECT_EQ(AsciiUpper(name), capitals) << name;
        }
    }
}

TEST(AsciiCase, LookAlikesAndNearMissesDoNotMatch) {
    for (const char* name : {
             "ＳＫＭ300.EXE",    // full-width letters
             "SKM３００.EXE",    // full-width digits
             "S\u212AM300.EXE",  // KELVIN SIGN, whose small form is 'k'
             "\u0405KM300.EXE",  // Cyrillic DZE, drawn as 'S'
             "XTRA\u017F",       // LATIN SMALL LONG S, which Unicode upper-cases to 'S'
             "\u0425TRAS",       // Cyrillic HA, drawn as 'X'
             "ＸＴＲＡＳ",       // full-width
             "xtras ",           // a trailing blank
             "XTRA",             // one letter short
             "SKM300.EXE.LNK",
             "SKM300_EXE",
         }) {
        EXPECT_FALSE(UpperCaseEquals(name, "SKM300.EXE")) << name;
        EXPECT_FALSE(UpperCaseEquals(name, "XTRAS")) << name;
    }
}

TEST(AsciiCase, UpperCasingLeavesEverythingButSmallAsciiLettersAlone) {
    EXPECT_EQ(AsciiUpper("ｲﾝｽﾄｰﾙ ß ü ı 한국어 azAZ09.\\"), "ｲﾝｽﾄｰﾙ ß ü ı 한국어 AZAZ09.\\");
    EXPECT_EQ(AsciiUpper('`'), '`');
    EXPECT_EQ(AsciiUpper('{'), '{');
    static_assert(UpperCaseEquals("sKm300.ExE", "SKM300.EXE"));
}

}  // namespace
