#include "app/CommandLine.h"

#include "app/Texts.h"
#include "platform/AsciiCase.h"

namespace app {

namespace {

// An argument as the problem quotes it: an empty one, which a user can only
// have given as "", would otherwise be invisible.
std::string Quoted(std::string_view argument) {
    return argument.empty() ? std::string("\"\"") : std::string(argument);
}

bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

Options ParseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    const auto complain = [&options](std::string_view what, std::string_view argument) {
        if (options.problem.empty())
            options.problem = std::string(what) + Quoted(argument);
    };
    for (const std::string& argument : arguments) {
        if (argument.empty() || (argument.front() != '/' && argument.front() != '-')) {
            complain(text::kNotASwitch, argument);
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = platform::AsciiUpper(argument.substr(1, equals - 1));
        const bool hasValue = equals != std::string::npos;
        const std::string value = hasValue ? argument.substr(equals + 1) : std::string();
        if (name == "LOG") {
            // "/LOG" alone asks for the local log only; "/LOG=" with nothing
            // after it is a script whose variable came out empty.
            if (hasValue && value.empty()) {
                complain(text::kLogNeedsFile, argument);
            } else if (options.logGiven) {
                complain(text::kLogGivenTwice, argument);
            } else {
                options.logGiven = true;
                if (hasValue)
                    options.logFile = value;
            }
            continue;
        }
        // Switches that administrators and packaging tools add by habit to
        // any program whose switches look like an installer's. This program
        // never restarts the PC and has no wizard to skip.
        const bool suppress = name == "SUPPRESSMSGBOXES";
        const bool noCancel = name == "NOCANCEL";
        const bool accepted = name == "NORESTART" || name == "SP-";
        if (suppress || noCancel || accepted) {
            if (hasValue)
                complain(text::kTakesNoValue, argument);
            options.suppressMessageBoxes = options.suppressMessageBoxes || suppress;
            options.noCancel = options.noCancel || noCancel;
            continue;
        }
        const bool silent = name == "SILENT";
        const bool verySilent = name == "VERYSILENT";
        const bool help = name == "?" || name == "HELP";
        const bool list = name == "LIST";
        if (!silent && !verySilent && !help && !list) {
            complain(text::kUnknownSwitch, argument);
            continue;
        }
        if (hasValue)
            complain(text::kTakesNoValue, argument);
        // Given both, the quieter one wins: a script that asks for no window
        // anywhere must never get one.
        if (verySilent)
            options.mode = RunMode::VerySilent;
        else if (silent && options.mode == RunMode::Window)
            options.mode = RunMode::Silent;
        options.help = options.help || help;
        options.list = options.list || list;
    }
    return options;
}

RunPlan PlanRun(const Options& options, const Desktop& desktop) {
    RunPlan plan;
    plan.mode = options.mode;
    const bool nobodySees = desktop.sessionZero || !desktop.visibleStation;
    plan.showsBoxes =
        !nobodySees && !options.suppressMessageBoxes && options.mode != RunMode::VerySilent;
    // A /SILENT window would be seen by nobody as well, and an error box of
    // its could wait for ever.
    if (nobodySees && options.mode != RunMode::VerySilent) {
        plan.mode = RunMode::VerySilent;
        plan.unattendedForNobody = true;
    }
    return plan;
}

std::string_view SwitchesAsGiven(std::string_view commandLine) {
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string_view::npos ? commandLine.size() : end + 1;
    } else {
        while (end < commandLine.size() && !IsSpaceOrTab(commandLine[end]))
            ++end;
    }
    std::string_view rest = commandLine.substr(end);
    while (!rest.empty() && IsSpaceOrTab(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && IsSpaceOrTab(rest.back()))
        rest.remove_suffix(1);
    return rest;
}

}  // namespace app
