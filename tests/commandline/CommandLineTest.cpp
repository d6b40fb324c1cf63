// The switches as Update.exe reads them from the arguments Windows split off
// its command line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/CommandLine.h"

namespace {

using ui::RunMode;

struct Case {
    std::vector<std::string> arguments;
    RunMode mode;
    bool help;
    bool list;
    std::optional<std::string> logFile;
    // The argument the problem must quote; empty when the line is sound.
    std::string culprit;
};

const Case kCases[] = {
    {{}, RunMode::Window, false, false, {}, ""},
    {{"/SILENT"}, RunMode::Silent, false, false, {}, ""},
    {{"-verysilent"}, RunMode::VerySilent, false, false, {}, ""},
    {{"/VerySilent", "/silent"}, RunMode::VerySilent, false, false, {}, ""},
    {{"/SILENT", "-VERYSILENT"}, RunMode::VerySilent, false, false, {}, ""},
    {{"/?"}, RunMode::Window, true, false, {}, ""},
    {{"-Help"}, RunMode::Window, true, false, {}, ""},
    // CommandLineToArgvW has taken the quotes off already: a name with a
    // space, an "=" and non-ASCII letters is the file's name as it stands.
    {{"/LOG=C:\\管理 ログ\\a=b.log", "/VERYSILENT"},
     RunMode::VerySilent,
     false,
     false,
     "C:\\管理 ログ\\a=b.log",
     ""},
    {{"-log=update.log"}, RunMode::Window, false, false, "update.log", ""},
    {{"/list", "/VERYSILENT"}, RunMode::VerySilent, false, true, {}, ""},
    {{"/LIST=all"}, RunMode::Window, false, true, {}, "/LIST=all"},
    // Every malformed argument is named; the mode is still read from the
    // others, so that /VERYSILENT keeps the box away.
    {{"/LOG"}, RunMode::Window, false, false, {}, "/LOG"},
    {{"/VERYSILENT", "/LOG="}, RunMode::VerySilent, false, false, {}, "/LOG="},
    {{"/LOG=a.log", "/LOG=b.log"}, RunMode::Window, false, false, "a.log", "/LOG=b.log"},
    {{"/SILENT=yes"}, RunMode::Silent, false, false, {}, "/SILENT=yes"},
    {{"/?=1"}, RunMode::Window, true, false, {}, "/?=1"},
    {{"/QUIET", "/VERYSILENT"}, RunMode::VerySilent, false, false, {}, "/QUIET"},
    {{"/LOG:x.log"}, RunMode::Window, false, false, {}, "/LOG:x.log"},
    {{"/"}, RunMode::Window, false, false, {}, "/"},
    {{"SILENT"}, RunMode::Window, false, false, {}, "SILENT"},
    {{""}, RunMode::Window, false, false, {}, "\"\""},
    // /ＳＩＬＥＮＴ in full-width letters is no switch of ours.
    {{"/ＳＩＬＥＮＴ"}, RunMode::Window, false, false, {}, "/ＳＩＬＥＮＴ"},
    // The first problem is the one named.
    {{"/a", "/b"}, RunMode::Window, false, false, {}, "/a"},
};

TEST(CommandLineTest, EachArgumentListGivesItsOptionsOrNamesTheArgumentAtFault) {
    for (const Case& c : kCases) {
        std::string line;
        for (const std::string& argument : c.arguments)
            line += "[" + argument + "]";
        SCOPED_TRACE(line);
        const ui::Options options = ui::ParseCommandLine(c.arguments);
        EXPECT_EQ(options.mode, c.mode);
        EXPECT_EQ(options.help, c.help);
        EXPECT_EQ(options.logFile, c.logFile);
        EXPECT_EQ(options.list, c.list);
        if (c.culprit.empty()) {
            EXPECT_EQ(options.problem, "");
        } else {
            EXPECT_NE(options.problem.find(c.culprit), std::string::npos) << options.problem;
            // Later arguments are not blamed for the first one's fault.
            EXPECT_EQ(options.problem.find("/b"), std::string::npos);
        }
    }
}

TEST(CommandLineTest, TheSwitchesAsGivenAreWhatFollowsTheProgramsName) {
    const std::pair<std::string, std::string> cases[] = {
        {R"("C:\Program Files\Update.exe" /VERYSILENT /LOG="C:\a b.log")",
         R"(/VERYSILENT /LOG="C:\a b.log")"},
        {"Update.exe\t/SILENT  ", "/SILENT"},
        {"D:\\Updater\\Update.exe", ""},
        {R"("Update.exe")", ""},
    };
    for (const auto& [commandLine, switches] : cases)
        EXPECT_EQ(ui::SwitchesAsGiven(commandLine), switches) << commandLine;
}

}  // namespace
