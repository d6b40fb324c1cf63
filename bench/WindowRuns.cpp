#include "bench/WindowRuns.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "bench/ChildProcess.h"
#include "engine/ReplacementTable.h"
#include "platform/PathJoin.h"

namespace bench {

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::string& contents) {
    std::ofstream(file, std::ios::binary) << contents;
}

// Spread over a hundred folders of twenty PCs each, as a school's share of
// copied PC images might be; every other one has the plug-in folder, so the
// log gets 7.5 lines per installation.
void MakeInstallations(const fs::path& drive, int count) {
    for (int i = 0; i < count; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "School%02d/PC%04d/Soramido", i / 20, i);
        const fs::path installation = drive / name;
        fs::create_directories(installation / "Audio/Term/GROUP3");
        fs::create_directories(installation / "Audio/Phrase/Group6");
        Write(installation / "SKM300.EXE", "1.50");
        // The files in the installation folder itself come from the table;
        // those in folders of their own are planted by hand below.
        for (const engine::Replacement& row : engine::kReplacements) {
            if (row.folders[0].empty())
                Write(installation / std::string(row.file), "1.50");
        }
        Write(installation / "Audio/Phrase/Group6/q417.mp3", "1.50");
        if (i % 2 == 0) {
            fs::create_directories(installation / "xtras");
            Write(installation / "xtras/PlugKit2.X32", "1.50");
        }
    }
}

// Seconds since midnight of "YYYY-MM-DD hh:mm:ss.mmm ...".
std::optional<double> TimeOfDay(const std::string& line) {
    int hours = 0;
    int minutes = 0;
    double seconds = 0;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos ||
        std::sscanf(line.c_str() + space + 1, "%d:%d:%lf", &hours, &minutes, &seconds) != 3) {
        return std::nullopt;
    }
    return hours * 3600.0 + minutes * 60.0 + seconds;
}

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

double VerdictSeconds(const std::string& log, std::size_t& lines, bool& completed) {
    std::vector<std::string> all;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        all.push_back(line);
    }
    lines = all.size();
    if (all.size() < 3 || all.back().find("exit code ") == std::string::npos)
        return -1;
    completed = all.back().ends_with("exit code 0");
    const std::optional<double> start = TimeOfDay(all.front());
    const std::optional<double> verdict = TimeOfDay(all[all.size() - 2]);
    if (!start || !verdict)
        return -1;
    const double seconds = *verdict - *start;
    return seconds >= 0 ? seconds : seconds + 24 * 3600;  // across midnight
}

WindowRunFigures TimeWindowAgainstNoWindow(const WindowRunSetup& setup) {
    WindowRunFigures figures;
    std::error_code error;
    if (!fs::is_regular_file(setup.program, error)) {
        figures.skipped = "no Windows build (" + setup.program.string() + ")";
        return figures;
    }
    if (!OnPath("wine")) {
        figures.skipped = "Wine is not installed";
        return figures;
    }
    const fs::path drive = setup.place / "drive";
    const fs::path package = setup.place / "package";
    fs::remove_all(setup.place, error);
    fs::create_directories(package / "Data", error);
    for (const engine::Replacement& row : engine::kReplacements)
        Write(package / "Data" / std::string(row.source), "1.55B " + std::string(row.source));
    fs::copy_file(setup.program, package / "Update.exe", error);
    if (error) {
        figures.skipped = "cannot copy Update.exe: " + error.message();
        return figures;
    }
    MakeInstallations(drive, setup.installations);
    const ChildResult env =
        RunProgram({(setup.scripts / "wine-env").string(), setup.prefix.string(),
                    "T=" + drive.string(), "P=" + package.string()},
                   {.captureOutput = false, .quiet = true, .environment = {}});
    // Wine links the profile's folders on C: to the Unix home folder, which
    // the updater would walk too, and with it whatever lies there (another
    // prefix's Z:, the whole host): the two runs would time the host instead.
    const ChildResult prepared =
        env.exitCode != 0
            ? env
            : RunProgram({(setup.scripts / "wine-prepare").string(), setup.prefix.string()},
                         {.captureOutput = false, .quiet = true, .environment = {}});
    if (prepared.exitCode != 0) {
        figures.skipped = "wine-env or wine-prepare failed for " + setup.prefix.string();
        return figures;
    }
    const ChildOptions options{.captureOutput = false,
                               .quiet = true,
                               .environment = {"WINEPREFIX=" + setup.prefix.string()}};
    for (int round = 0; round < setup.rounds && figures.skipped.empty(); ++round) {
        const bool windowFirst = round % 2 == 1;
        for (const char* mode :
             {windowFirst ? "/SILENT" : "/VERYSILENT", windowFirst ? "/VERYSILENT" : "/SILENT"}) {
            const std::string log = std::string(mode + 1) + ".log";
            fs::remove(package / log, error);
            RunProgram({(setup.scripts / "wine-run").string(), "P:\\Update.exe", mode,
                        "/LOG=" + platform::JoinPath("P:\\", log)},
                       options);
            bool completed = false;
            const double seconds =
                VerdictSeconds(ReadWhole(package / log), figures.logLines, completed);
            if (seconds < 0) {
                figures.skipped = std::string("no readable log of the run with ") + mode;
                break;
            }
            (mode[1] == 'V' ? figures.noWindow : figures.window).push_back(seconds);
            figures.completed = figures.completed && completed;
        }
    }
    // Some 30,000 files: not worth keeping between runs of the benchmark.
    fs::remove_all(setup.place, error);
    return figures;
}

}  // namespace bench
