// The switches as Update.exe reads them from the arguments Windows split off
// its command line.
#include <gtest/gtest.h>

#include <optional>
#include <set>
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

// Read against the table of codes and the order in which they win, not
// against a copy of the mapping: two outcomes on one code, a code no text
// lists, or a record that calls a PC current after a code that outranks 0.
TEST(CommandLineTest, EachOutcomeHasACodeOfItsOwnAndAHalfUpdatedInstallationWins) {
    using engine::RunOutcome;
    namespace code = app::exit_code;
    const engine::InstallationCount calm = Count(2, 1, 1);
    const engine::InstallationCount midway = Count(2, 1, 0);
    std::set<int> seen;
    for (int value = 0; value <= static_cast<int>(RunOutcome::Failed); ++value) {
        const auto outcome = static_cast<RunOutcome>(value);
        SCOPED_TRACE(value);
        const int plain = code::Of(outcome);
        EXPECT_TRUE(code::IsCode(plain));
        EXPECT_TRUE(seen.insert(plain).second) << plain << " told for two outcomes";
        EXPECT_EQ(code::Of(outcome, calm), plain);
        // A run that reached its own verdict already counted the installation.
        const bool noVerdict = outcome == RunOutcome::Stopped || outcome == RunOutcome::Failed;
        EXPECT_EQ(code::Of(outcome, midway), noVerdict ? code::kLeftMidway : plain);
    }
}

TEST(CommandLineTest, TheRecordTellsWhatTheCodeThatWonTells) {
    namespace code = app::exit_code;
    using code::VersionChange;
    const auto outranksUpdated = [](int value) {
        for (const int winner : code::kPrecedence) {
            if (winner == code::kUpdated)
                return false;
            if (winner == value)
                return true;
        }
        return false;
    };
    for (const code::Code& c : code::kCodes) {
        for (const bool everyDrive : {true, false}) {
            SCOPED_TRACE(std::to_string(c.value) + (everyDrive ? "" : " a drive not searched"));
            const std::optional<bool> pending = code::PendingRestartAfter(c.value, 1);
            if (outranksUpdated(c.value)) {
                EXPECT_EQ(code::VersionAfter(c.value), VersionChange::Remove);
                EXPECT_EQ(code::UpToDateAfter(c.value, everyDrive), false);
                EXPECT_EQ(pending, true);
            } else if (c.value == code::kUpdated || c.value == code::kNothingFound) {
                EXPECT_EQ(code::VersionAfter(c.value),
                          c.value == code::kUpdated ? VersionChange::Write : VersionChange::Keep);
                EXPECT_EQ(code::UpToDateAfter(c.value, everyDrive), everyDrive);
                EXPECT_EQ(code::PendingRestartAfter(c.value, 0), false);
            } else {
                // No verdict on the installations: the record keeps what it knew.
                EXPECT_EQ(code::VersionAfter(c.value), VersionChange::Keep);
                EXPECT_EQ(code::UpToDateAfter(c.value, everyDrive), std::nullopt);
                EXPECT_EQ(pending, std::nullopt);
            }
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
        EXPECT_EQ(app::SwitchesAsGiven(commandLine), switches) << commandLine;
}

}  // namespace
