// The switches as Update.exe reads them from the arguments Windows split off
// its command line.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCode.h"

namespace {

using app::RunMode;

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
    // /LOG alone: the local log only.
    {{"/LOG", "/VERYSILENT"}, RunMode::VerySilent, false, false, {}, ""},
    {{"/LOG", "/LOG=a.log"}, RunMode::Window, false, false, {}, "/LOG=a.log"},
    // The switches installers take by habit are accepted.
    {{"/VERYSILENT", "/SUPPRESSMSGBOXES", "/NORESTART", "/SP-"},
     RunMode::VerySilent,
     false,
     false,
     {},
     ""},
    {{"-norestart=1"}, RunMode::Window, false, false, {}, "-norestart=1"},
    {{"/SP"}, RunMode::Window, false, false, {}, "/SP"},
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
        const app::Options options = app::ParseCommandLine(c.arguments);
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

TEST(CommandLineTest, NobodyInFrontOfTheScreenMeansNoBoxAndNoWindow) {
    struct Plan {
        std::vector<std::string> arguments;
        bool sessionZero;
        bool visibleStation;
        RunMode mode;
        bool boxes;
        bool forNobody;
        bool noCancel;
    };
    const Plan plans[] = {
        {{}, false, true, RunMode::Window, true, false, false},
        {{"/SILENT", "/NOCANCEL"}, false, true, RunMode::Silent, true, false, true},
        {{"/SUPPRESSMSGBOXES"}, false, true, RunMode::Window, false, false, false},
        {{"/VERYSILENT"}, false, true, RunMode::VerySilent, false, false, false},
        // A service, or a task of a user not logged on.
        {{}, true, true, RunMode::VerySilent, false, true, false},
        {{}, false, false, RunMode::VerySilent, false, true, false},
        {{"/SILENT"}, true, false, RunMode::VerySilent, false, true, false},
        {{"/LIST"}, true, true, RunMode::VerySilent, false, true, false},
        // Already unattended: nothing to say about it.
        {{"/VERYSILENT"}, true, false, RunMode::VerySilent, false, false, false},
        // A refused command line still shows its box only where it may.
        {{"/NOSUCH"}, false, true, RunMode::Window, true, false, false},
        {{"/NOSUCH"}, true, true, RunMode::VerySilent, false, true, false},
    };
    for (const Plan& c : plans) {
        std::string line;
        for (const std::string& argument : c.arguments)
            line += "[" + argument + "]";
        SCOPED_TRACE(line + (c.sessionZero ? " session 0" : "") +
                     (c.visibleStation ? "" : " invisible"));
        const app::Options options = app::ParseCommandLine(c.arguments);
        const app::RunPlan plan = app::PlanRun(options, {c.sessionZero, c.visibleStation});
        EXPECT_EQ(plan.mode, c.mode);
        EXPECT_EQ(plan.showsBoxes, c.boxes);
        EXPECT_EQ(plan.unattendedForNobody, c.forNobody);
        EXPECT_EQ(options.noCancel, c.noCancel);
    }
}

engine::InstallationCount Count(std::size_t found, std::size_t updated, std::size_t left) {
    engine::InstallationCount count;
    count.found = found;
    count.updated = updated;
    count.leftAsTheyWere = left;
    return count;
}

TEST(CommandLineTest, TheRecordAndTheExitCodeTellWhatThePcNeeds) {
    using app::exit_code::VersionChange;
    using engine::RunOutcome;
    struct Row {
        engine::InstallationCount count;
        int code;
        RunOutcome outcome;
        bool everyDriveSearched;
        VersionChange version;
        std::optional<bool> upToDate;
    };
    const Row rows[] = {
        {Count(2, 2, 0), 0, RunOutcome::Updated, true, VersionChange::Write, true},
        {Count(2, 2, 0), 0, RunOutcome::Updated, false, VersionChange::Write, false},
        {Count(0, 0, 0), 1, RunOutcome::NothingFound, true, VersionChange::Keep, true},
        {Count(0, 0, 0), 1, RunOutcome::NothingFound, false, VersionChange::Keep, false},
        {Count(2, 1, 1), 2, RunOutcome::SomeLeft, true, VersionChange::Remove, false},
        {Count(2, 1, 0), 8, RunOutcome::LeftMidway, true, VersionChange::Remove, false},
        {Count(0, 0, 0), 3, RunOutcome::PackageDamaged, true, VersionChange::Keep, std::nullopt},
        {Count(1, 0, 0), 9, RunOutcome::SomeBehind, true, VersionChange::Keep, std::nullopt},
        // Stopped or failed: an installation in the middle decides.
        {Count(1, 1, 0), 4, RunOutcome::Stopped, true, VersionChange::Keep, std::nullopt},
        {Count(2, 1, 0), 8, RunOutcome::Stopped, true, VersionChange::Remove, false},
        {Count(1, 0, 1), 7, RunOutcome::Failed, true, VersionChange::Keep, std::nullopt},
        {Count(1, 0, 0), 8, RunOutcome::Failed, true, VersionChange::Remove, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.outcome));
        const int code = app::exit_code::Of(row.outcome, row.count);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(app::exit_code::VersionAfter(code), row.version);
        EXPECT_EQ(app::exit_code::UpToDateAfter(code, row.everyDriveSearched), row.upToDate);
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
        EXPECT_EQ(app::SwitchesAsGiven(commandLine), switches) << commandLine;
}

}  // namespace
