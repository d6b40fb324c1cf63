// Update.exe's run with its window (/SILENT) against its run without one
// (/VERYSILENT) under Wine, over the same many installations: what showing
// the run costs, above all the log box's thousands of lines.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct WindowRunSetup {
    std::filesystem::path program;  // Update.exe of the Windows build
    std::filesystem::path scripts;  // the repository's scripts/ (wine-env, wine-run)
    std::filesystem::path prefix;   // made on first use
    std::filesystem::path place;    // where the installations and the package are made
    int installations = 2000;
    // Rounds of one run each way, the order swapped every round: the first
    // run after the installations are made meets colder caches.
    int rounds = 3;
};

struct WindowRunFigures {
    std::string skipped;  // why there are no figures; empty when there are
    // Seconds from the log's first line to its verdict, one a round: /SILENT
    // (the window) and /VERYSILENT (none).
    std::vector<double> window;
    std::vector<double> noWindow;
    std::size_t logLines = 0;
    bool completed = true;  // both runs ended with exit code 0
};

WindowRunFigures TimeWindowAgainstNoWindow(const WindowRunSetup& setup);

// The seconds between the first line of a log file and the last one before
// its "exit code" line, from their time stamps; negative when unreadable.
double VerdictSeconds(const std::string& log, std::size_t& lines, bool& completed);

}  // namespace bench
