#include "report/LogReading.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ReplacementTable.h"
#include "report/LogWords.h"

namespace report {

namespace {

using namespace words;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "YYYY-MM-DD hh:mm:ss.mmm " at the start of `text`.
bool StartsWithStamp(std::string_view text) {
    if (text.size() < kStampSize)
        return false;
    static constexpr std::string_view kForm = "0000-00-00 00:00:00.000 ";
    for (std::size_t i = 0; i < kStampSize; ++i) {
        if (kForm[i] == '0' ? !IsDigit(text[i]) : text[i] != kForm[i])
            return false;
    }
    return true;
}

struct Line {
    std::string_view stamp;  // "YYYY-MM-DD hh:mm:ss"
    std::string_view text;
};

// The stamped lines of `text`. A line cut short (the PC switched off) runs
// into the next run's first line; that start is taken apart from it.
std::vector<Line> LinesOf(std::string_view text, bool dropFirstLine) {
    std::vector<Line> lines;
    lines.reserve(text.size() / 64);
    bool first = dropFirstLine;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (std::exchange(first, false))
            continue;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        // A file begins with a byte order mark: the log's own, or the newer
        // of two logs read one after the other.
        if (line.starts_with(kByteOrderMark))
            line.remove_prefix(kByteOrderMark.size());
        for (;;) {
            // A start inside the line begins a line of its own.
            const std::size_t inner = line.find(kLogStart, kStampSize + 1);
            std::string_view head = line;
            std::string_view rest;
            if (inner != std::string_view::npos && inner >= kStampSize &&
                StartsWithStamp(line.substr(inner - kStampSize))) {
                head = line.substr(0, inner - kStampSize);
                rest = line.substr(inner - kStampSize);
            }
            if (StartsWithStamp(head))
                lines.push_back({head.substr(0, 19), head.substr(kStampSize)});
            if (rest.empty())
                break;
            line = rest;
        }
    }
    return lines;
}

std::optional<int> ExitCodeOf(std::string_view text) {
    if (!text.starts_with(kLogExitCode))
        return std::nullopt;
    text.remove_prefix(kLogExitCode.size());
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return code;
}

bool IsListSwitch(std::string_view word) {
    if (word.size() != 5 || (word[0] != '/' && word[0] != '-'))
        return false;
    for (std::size_t i = 1; i < 5; ++i) {
        if ((word[i] | 0x20) != "list"[i - 1])
            return false;
    }
    return true;
}

bool IsListRun(std::string_view start) {
    start.remove_prefix(kLogStart.size());
    std::size_t at = 0;
    while (at < start.size()) {
        const std::size_t space = start.find(' ', at);
        const std::size_t end = space == std::string_view::npos ? start.size() : space;
        if (IsListSwitch(start.substr(at, end - at)))
            return true;
        at = end + 1;
    }
    return false;
}

// What explains a failure, the most telling first.
enum class Why : unsigned char {
    Installation,  // a file held, the product running, restart pending
    Package,
    Unexpected,
    CommandLine,
    DriveNotSearched,
    ShareDown,
    FolderNotSearched,
    Stopped,
    None,
};

Why WhyOf(std::string_view text) {
    if (text.starts_with(kPackageFileMissing) || text.starts_with(kPackageFileDamaged))
        return Why::Package;
    if (text.starts_with(kLogUnexpectedError) || text.starts_with(kUnexpectedError))
        return Why::Unexpected;
    if (text.starts_with(kLogBadCommandLine))
        return Why::CommandLine;
    if (text.starts_with(kLogDrive) && text.find(kLogDriveNotSearched) != std::string_view::npos)
        return Why::DriveNotSearched;
    if (text.starts_with(kLogTargetUnavailable) || text.starts_with(kLogLocalUnavailable))
        return Why::ShareDown;
    if (text.starts_with(kLogNotSearched))
        return Why::FolderNotSearched;
    if (text == kLogSessionEndedFirst || text == engine::text::kStopped)
        return Why::Stopped;
    return Why::None;
}

struct Run {
    std::string_view start;  // its stamp; empty when the start lies before the text
    std::string_view lastStamp;
    bool list = false;
    std::optional<int> exitCode;
    std::string_view computer;
    std::string_view windows;
    std::vector<Installation> installations;
    Why why = Why::None;
    std::string_view reason;

    Installation& InstallationAt(std::string_view path) {
        for (Installation& known : installations) {
            if (known.path == path)
                return known;
        }
        return installations.emplace_back(Installation{std::string(path), {}});
    }
    void Explains(Why kind, std::string_view text) {
        if (kind < why) {
            why = kind;
            reason = text;
        }
    }
};

// The installation an update line names, with the file's log text and
// verb taken off; empty when it is no such line.
std::string_view UpdatedInstallation(std::string_view text, std::string_view verb) {
    if (!text.ends_with(verb))
        return {};
    text.remove_suffix(verb.size());
    for (const engine::Replacement& row : engine::kReplacements) {
        if (text.size() > row.logName.size() && text.ends_with(row.logName))
            return text.substr(0, text.size() - row.logName.size());
    }
    return {};
}

// "<installation><separator><why>": the installation, and the line as the
// reason.
bool Installationline(Run& run, std::string_view text, std::string_view separator,
                      std::string_view state) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos || at == 0)
        return false;
    run.InstallationAt(text.substr(0, at)).state = state;
    run.Explains(Why::Installation, text);
    return true;
}

void ReadRunLine(Run& run, std::string_view text) {
    if (text.starts_with(kLogComputer)) {
        run.computer = text.substr(kLogComputer.size());
        return;
    }
    if (text.starts_with(kLogWindows)) {
        run.windows = text.substr(kLogWindows.size());
        return;
    }
    if (const std::string_view path = UpdatedInstallation(text, kReplaced); !path.empty()) {
        Installation& installation = run.InstallationAt(path);
        if (installation.state.empty())
            installation.state = "updated";
        return;
    }
    if (const std::string_view path = UpdatedInstallation(text, kNotReplaced); !path.empty()) {
        Installation& installation = run.InstallationAt(path);
        if (installation.state.empty() || installation.state == "updated")
            installation.state = "left";
        return;
    }
    if (Installationline(run, text, kLeftMidway, "midway") ||
        Installationline(run, text, kLeftAsItWas, "left") ||
        Installationline(run, text, kFinishedAtRestart, "restart"))
        return;
    if (const Why why = WhyOf(text); why != Why::None) {
        run.Explains(why, text);
        return;
    }
    if (run.list) {
        const std::size_t space = text.rfind(' ');
        if (space != std::string_view::npos && space > 0) {
            const std::string_view state = text.substr(space + 1);
            if (std::find(std::begin(kListStates), std::end(kListStates), state) !=
                std::end(kListStates))
                run.InstallationAt(text.substr(0, space)).state = state;
        }
    }
}

// Takes out the lines of each second Update.exe that found a run under way
// (its start, the lines saying which PC, "another update is running" and
// its "exit code 5"), which may fall among the run's own.
void TakeOutSecondInstances(std::vector<Line>& lines) {
    std::vector<bool> theirs(lines.size(), false);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t lastStart = kNone;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = lines[i].text;
        if (text.starts_with(kLogStart)) {
            lastStart = i;
        } else if (text == kLogAlreadyRunning && lastStart != kNone) {
            theirs[lastStart] = theirs[i] = true;
            for (std::size_t k = lastStart + 1; k < i; ++k) {
                const std::string_view between = lines[k].text;
                if (between.starts_with(kLogComputer) || between.starts_with(kLogUser) ||
                    between.starts_with(kLogWindows))
                    theirs[k] = true;
            }
            for (std::size_t k = i + 1; k < lines.size(); ++k) {
                if (!theirs[k] && ExitCodeOf(lines[k].text) == app::exit_code::kAlreadyRunning) {
                    theirs[k] = true;
                    break;
                }
            }
            lastStart = kNone;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!theirs[i])
            lines[kept++] = lines[i];
    }
    lines.resize(kept);
}

std::vector<Run> RunsOf(const std::vector<Line>& lines) {
    std::vector<Run> runs;
    bool open = false;
    for (const Line& line : lines) {
        if (line.text.starts_with(kLogStart)) {
            runs.push_back({});
            runs.back().start = line.stamp;
            runs.back().list = IsListRun(line.text);
            open = true;
        } else if (!open) {
            // The end of a run whose start lies before the text.
            runs.push_back({});
            open = true;
        }
        Run& run = runs.back();
        run.lastStamp = line.stamp;
        if (const std::optional<int> code = ExitCodeOf(line.text)) {
            run.exitCode = code;
            open = false;
        } else if (!line.text.starts_with(kLogStart)) {
            ReadRunLine(run, line.text);
        }
    }
    return runs;
}

// What the lines of `text` say; `earlierWanted` when the chosen run named no
// installation and no earlier run in the text did.
LogReading Read(std::string_view text, bool dropFirstLine, bool fromStart, bool& earlierWanted) {
    std::vector<Line> lines = LinesOf(text, dropFirstLine);
    TakeOutSecondInstances(lines);
    const std::vector<Run> runs = RunsOf(lines);
    LogReading reading;
    PcRow& row = reading.row;
    earlierWanted = false;

    const Run* chosen = nullptr;
    for (auto run = runs.rbegin(); run != runs.rend() && !chosen; ++run) {
        if (run->exitCode)
            chosen = &*run;
    }
    // A run after the last complete one ended without its exit code: it was
    // cut short, or is under way.
    if (!runs.empty() && !runs.back().exitCode) {
        const Run& cut = runs.back();
        row.notes.push_back("最後の実行（" +
                            std::string(cut.start.empty() ? cut.lastStamp : cut.start) +
                            " 開始）は終了コードがありません（途中で終わったか、実行中です）");
        if (!chosen) {
            row.lastRun = cut.start.empty() ? cut.lastStamp : cut.start;
            row.computer = cut.computer;
            row.windows = cut.windows;
        }
    }
    if (!chosen)
        return reading;

    reading.completeRunFound = !chosen->start.empty() || fromStart;
    row.lastRun = chosen->start.empty() ? chosen->lastStamp : chosen->start;
    row.exitCode = chosen->exitCode;
    row.list = chosen->list;
    row.reason = chosen->reason;
    row.computer = chosen->computer;
    row.windows = chosen->windows;
    row.installations = chosen->installations;
    // A run that ended before it could say (stopped, a damaged package):
    // the installations as the last run that named them left them.
    if (row.installations.empty() && *chosen->exitCode != app::exit_code::kNothingFound) {
        earlierWanted = true;
        for (const Run* run = chosen; run != runs.data();) {
            --run;
            if (run->exitCode && !run->installations.empty()) {
                row.installations = run->installations;
                earlierWanted = false;
                row.notes.push_back("インストールの状態は " +
                                    std::string(run->start.empty() ? run->lastStamp : run->start) +
                                    " の実行のものです");
                break;
            }
        }
    }
    // Identity lines the run itself did not reach.
    for (const Run* run = chosen;
         run != runs.data() && (row.computer.empty() || row.windows.empty());) {
        --run;
        if (row.computer.empty())
            row.computer = run->computer;
        if (row.windows.empty())
            row.windows = run->windows;
    }
    return reading;
}

}  // namespace

LogReading ReadLog(std::string_view text, bool fromStart) {
    // The last few runs say all there is to say, as a rule: those are read
    // first, and the whole text only when they leave something open.
    constexpr int kRunsLookedAt = 4;
    std::size_t at = text.size();
    for (int found = 0; found < kRunsLookedAt && at != std::string_view::npos && at > 0;) {
        at = text.rfind(kLogStart, at - 1);
        if (at != std::string_view::npos && at > kStampSize && text[at - kStampSize - 1] == '\n' &&
            StartsWithStamp(text.substr(at - kStampSize)))
            ++found;
    }
    bool earlierWanted = false;
    if (at != std::string_view::npos && at > kStampSize) {
        LogReading last = Read(text.substr(at - kStampSize), false, false, earlierWanted);
        if (last.completeRunFound && !earlierWanted)
            return last;
    }
    return Read(text, !fromStart, fromStart, earlierWanted);
}

}  // namespace report
