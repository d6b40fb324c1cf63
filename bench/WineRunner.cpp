#include "bench/WineRunner.h"

#include <cstdlib>
#include <sstream>

#include "bench/ChildProcess.h"
#include "platform/PathJoin.h"

namespace bench {

double ParseRunOnceSeconds(const std::string& output, bool& completed) {
    std::istringstream in(output);
    in.imbue(std::locale::classic());
    double seconds = -1;
    std::string unit;
    std::string verdict;
    if (!(in >> seconds >> unit >> verdict) || unit != "s" || seconds < 0)
        return -1;
    completed = verdict == "completed";
    return seconds;
}

namespace {

WineFigures TimeInPrefix(const WineSetup& setup, const std::filesystem::path& program,
                         const std::vector<std::string>& arguments, int rounds,
                         const std::function<void()>& beforeEachRound) {
    WineFigures figures;
    std::error_code error;
    if (!std::filesystem::is_regular_file(program, error)) {
        figures.skipped = "no Windows build (" + program.string() + ")";
        return figures;
    }
    if (!OnPath("wine")) {
        figures.skipped = "Wine is not installed";
        return figures;
    }
    // C: stays the prefix's own small drive_c; the program searches only T:.
    const ChildResult env =
        RunProgram({(setup.scripts / "wine-env").string(), setup.prefix.string(),
                    "T=" + setup.drive.string(), "P=" + setup.packageParent.string()},
                   {.captureOutput = false, .quiet = true, .environment = {}});
    if (env.exitCode != 0) {
        figures.skipped = "wine-env failed for " + setup.prefix.string();
        return figures;
    }
    // The program lies on a drive of the prefix, as Windows programs do.
    const std::string name = program.filename().string();
    std::filesystem::copy_file(program, setup.prefix / "drive_c" / name,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        figures.skipped = "cannot copy the program into the prefix: " + error.message();
        return figures;
    }
    std::vector<std::string> command = {(setup.scripts / "wine-run").string(),
                                        platform::JoinPath("C:\\", name)};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ChildOptions options{.captureOutput = true,
                               .quiet = true,
                               .environment = {"WINEPREFIX=" + setup.prefix.string()}};
    // No warm-up run: the tree is in the page cache from the native runs, and
    // Wine's own start is outside the time the program measures.
    for (int round = 0; round < rounds; ++round) {
        if (beforeEachRound)
            beforeEachRound();
        const ChildResult run = RunProgram(command, options);
        bool completed = false;
        const double seconds = ParseRunOnceSeconds(run.output, completed);
        if (run.exitCode != 0 || seconds < 0) {
            figures.skipped = "the run under Wine failed (exit " + std::to_string(run.exitCode) +
                              "): " + run.output.substr(0, 200);
            figures.seconds.clear();
            return figures;
        }
        figures.seconds.push_back(seconds);
        figures.completed = figures.completed && completed;
    }
    return figures;
}

}  // namespace

WineFigures TimeUnderWine(const WineSetup& setup, int rounds,
                          const std::function<void()>& beforeEachRound) {
    return TimeInPrefix(setup, setup.program, {"P:\\", "T"}, rounds, beforeEachRound);
}

WineFigures TimeProgramUnderWine(const WineSetup& setup, const std::filesystem::path& program,
                                 const std::vector<std::string>& arguments, int rounds) {
    return TimeInPrefix(setup, program, arguments, rounds, {});
}

}  // namespace bench
