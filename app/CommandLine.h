// The switches an administrator gives Update.exe for an unattended run. The
// entry splits the command line the way Windows does (CommandLineToArgvW)
// and hands the arguments here in UTF-8; the rules themselves need nothing of
// Windows, so they are tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

enum class RunMode : std::uint8_t {
    Window,      // no switch: the dialog, run by the user, exactly as ever
    Silent,      // /SILENT: the window runs by itself and closes after the verdict
    VerySilent,  // /VERYSILENT: no window and no message box, ever
};

struct Options {
    RunMode mode = RunMode::Window;
    bool help = false;                   // /? or /HELP
    bool list = false;                   // /LIST: tells each installation's state, changes nothing
    std::optional<std::string> logFile;  // /LOG=<file>, the run appended to it
    bool logGiven = false;               // /LOG, with or without a file
    // /SUPPRESSMSGBOXES: no message box at all; what one would say goes to
    // the log instead.
    bool suppressMessageBoxes = false;
    // /NOCANCEL: with /SILENT, a run under way cannot be stopped from the
    // window (a log-off still stops it).
    bool noCancel = false;
    // What is wrong with the command line, for the message box; empty when
    // nothing is. The mode is read from every argument all the same, so that
    // a bad command line with /VERYSILENT shows no box either.
    std::string problem;
};

// Switch names ignore letter case and begin with "/" or "-". The first
// argument that is not a known switch in its right form is the problem.
Options ParseCommandLine(const std::vector<std::string>& arguments);

// Where the process stands: whether anybody can see what it shows. A
// service's session (0) and a window station that is not visible (a
// scheduled task of a user not logged on) have nobody in front of them.
struct Desktop {
    bool sessionZero = false;
    bool visibleStation = true;
};

// How the run goes once the command line and the desktop are known.
struct RunPlan {
    RunMode mode = RunMode::Window;
    bool showsBoxes = true;
    // Turned unattended because nobody could see the window: the log says so.
    bool unattendedForNobody = false;
};

// A message box nobody can answer would hold a deployment until its
// time-out, so where nobody can see one, none is shown and a run that would
// open its window runs without one.
RunPlan PlanRun(const Options& options, const Desktop& desktop);

// The switches as the command line gives them, quotes and all: everything
// after the program's own name, which Windows ends at the closing quote
// when it begins with one, and otherwise at the first space or tab.
std::string_view SwitchesAsGiven(std::string_view commandLine);

}  // namespace app
