// The Windows build's complete run under Wine over the benchmark's tree, for
// information: soramido_run_once.exe in a private prefix whose only drives
// are the tree (T:), the package's folder (P:) and the prefix's own C:.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct WineSetup {
    std::filesystem::path program;        // soramido_run_once.exe of the Windows build
    std::filesystem::path scripts;        // the repository's scripts/ (wine-env, wine-run)
    std::filesystem::path prefix;         // made on first use
    std::filesystem::path drive;          // becomes T:
    std::filesystem::path packageParent;  // becomes P:, holding Data
};

struct WineFigures {
    std::string skipped;          // why there are no figures; empty when there are
    std::vector<double> seconds;  // as measured inside the program, one per round
    bool completed = true;        // every timed run refreshed every installation
};

// `rounds` timed runs, `beforeEachRound` called before each; the figures are
// skipped when any fails.
WineFigures TimeUnderWine(const WineSetup& setup, int rounds,
                          const std::function<void()>& beforeEachRound = {});

// The same for another program that prints its own seconds first
// ("12.345 s ..."), copied into the prefix and started with `arguments`.
WineFigures TimeProgramUnderWine(const WineSetup& setup, const std::filesystem::path& program,
                                 const std::vector<std::string>& arguments, int rounds);

// The seconds a run printed ("12.345 s completed"); negative when unreadable.
double ParseRunOnceSeconds(const std::string& output, bool& completed);

}  // namespace bench
