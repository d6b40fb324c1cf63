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

namespace ui {

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
    // What is wrong with the command line, for the message box; empty when
    // nothing is. The mode is read from every argument all the same, so that
    // a bad command line with /VERYSILENT shows no box either.
    std::string problem;
};

// Switch names ignore letter case and begin with "/" or "-". The first
// argument that is not a known switch in its right form is the problem.
Options ParseCommandLine(const std::vector<std::string>& arguments);

// The switches as the command line gives them, quotes and all: everything
// after the program's own name, which Windows ends at the closing quote
// when it begins with one, and otherwise at the first space or tab.
std::string_view SwitchesAsGiven(std::string_view commandLine);

}  // namespace ui
