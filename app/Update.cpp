// The program's entry: the command line, the log file, the one-update-at-a-
// time check, and then one of the two ways of running: the dialog window
// Form1 (with or without /SILENT), whose message loop runs until it is
// closed, or /VERYSILENT's run without any window. The process ends once the
// worker, if any, has stopped; its exit code says how the run went.
#include "platform/win32/WinApi.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/Texts.h"
#include "platform/win32/SystemModule.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileSystem.h"
#include "ui/ApplicationWindow.h"
#include "ui/CommandLine.h"
#include "ui/ComputerIdentity.h"
#include "ui/Desktop.h"
#include "ui/ErrorBox.h"
#include "ui/EventLog.h"
#include "ui/ExitCode.h"
#include "ui/LogFile.h"
#include "ui/LogTarget.h"
#include "ui/Main.h"
#include "ui/SingleInstance.h"
#include "ui/Texts.h"
#include "ui/Unattended.h"

namespace {

// The arguments after the program's name, split by Windows' own rules for
// quotes and backslashes, in UTF-8.
std::vector<std::string> ProgramArguments(const wchar_t* commandLine) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(
        CommandLineToArgvW(commandLine, &count), &LocalFree);
    if (!arguments)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CommandLineToArgvW");
    std::vector<std::string> split;
    for (int i = 1; i < count; ++i)
        split.push_back(platform::Utf16ToUtf8(arguments.get()[i]));
    return split;
}

// Shows a box where somebody can see it; otherwise its text goes to the
// log, so that a deployment never waits for a box nobody answers.
void ShowUsage(const ui::RunPlan& plan, ui::LogFile& log, std::string_view problem) {
    if (!plan.showsBoxes) {
        if (problem.empty())
            log.WriteLine(std::string(ui::text::kLogMessageBox) + "/?");
        return;
    }
    if (problem.empty()) {
        MessageBoxW(nullptr, platform::Utf8ToUtf16(ui::text::kUsage).c_str(),
                    platform::Utf8ToUtf16(ui::text::kApplicationTitle).c_str(),
                    MB_ICONINFORMATION | MB_OK);
    } else {
        ui::ShowErrorBox(nullptr, std::string(problem) + "\n\n" + std::string(ui::text::kUsage));
    }
}

void ShowBox(const ui::RunPlan& plan, ui::LogFile& log, std::string_view message) {
    if (plan.showsBoxes)
        ui::ShowErrorBox(nullptr, message);
    else
        log.WriteLine(std::string(ui::text::kLogMessageBox) + std::string(message));
}

// IsDialogMessage gives Form1 the keys of a dialog: Tab, Enter on the
// focused or default button, Esc for the close button.
void RunMessageLoop(HWND dialog) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Form1, which also tells the log file what its error boxes said: a /SILENT
// run whose worker could not be started ends with exit code 7, and the box
// is then all there is to say why.
class LoggedForm final : public ui::TForm1 {
  public:
    LoggedForm(platform::FileSystem& files, ui::LogFile& log, bool showsBoxes)
        : TForm1(files, &log), log_(log), showsBoxes_(showsBoxes) {}

  private:
    void ShowErrorBox(const std::string& message) override {
        log_.NoteFailure(message);
        if (showsBoxes_)
            TForm1::ShowErrorBox(message);
        else
            log_.WriteLine(std::string(ui::text::kLogMessageBox) + message);
    }

    ui::LogFile& log_;
    bool showsBoxes_;
};

// What a failure says of itself, for the log file.
std::string Description(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
    }
    return std::string(engine::text::kUnknownFailure);
}

int RunInWindow(HINSTANCE instance, platform::FileSystem& files, ui::LogFile& log,
                const ui::Options& options, const ui::RunPlan& plan) {
    const bool closesAfterRun = plan.mode == ui::RunMode::Silent;
    const bool list = options.list;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ui::ApplicationWindow application;
    application.Create(instance, ui::text::kApplicationTitle);
    LoggedForm form(files, log, plan.showsBoxes);
    ui::Form1 = &form;
    form.Create(instance, application.Handle());
    application.SetMainWindow(form.Handle());
    application.Show();
    form.Show();
    if (list)
        form.ListOnly();
    if (closesAfterRun && options.noCancel)
        form.NoCancel();
    if (closesAfterRun)
        form.StartRunThenClose();
    else if (list)
        form.Button1Click();  // the states are what /LIST was started for
    RunMessageLoop(form.Handle());
    // Closing has hidden the window; destroying it waits for the worker.
    form.Destroy();
    ui::Form1 = nullptr;
    return form.ExitCode();
}

// Everything after the command line and the log file have been accepted.
int Run(HINSTANCE instance, const ui::Options& options, const ui::RunPlan& plan, ui::LogFile& log) {
    const bool quiet = plan.mode == ui::RunMode::VerySilent;
    try {
        // Held until the worker has stopped, which is after the window has
        // gone: the last thing this program gives up.
        const ui::SingleInstance single;
        if (!single.IsFirst()) {
            log.WriteLine(ui::text::kLogAlreadyRunning);
            if (!quiet)
                ui::BringFirstInstanceForward();
            // The first one may run in another session, where nothing of it
            // can be brought forward.
            if (!quiet)
                ShowBox(plan, log, ui::text::kAlreadyRunningBox);
            return ui::exit_code::kAlreadyRunning;
        }
        platform::Win32FileSystem files;
        if (quiet) {
            return ui::RunWithoutWindow(
                instance, files, &log,
                options.list ? engine::TMyThread::Task::List : engine::TMyThread::Task::Update);
        }
        return RunInWindow(instance, files, log, options, plan);
    } catch (...) {
        ui::Form1 = nullptr;
        log.WriteUnexpectedError(Description(std::current_exception()));
        if (!quiet)
            ShowBox(plan, log, ui::FailureMessage(std::current_exception()));
        return ui::exit_code::kUnexpected;
    }
}

// Why /LOG's file must not be appended to, or empty.
std::string LogTargetRefused(const std::string& file) {
    // Checked before the file is opened: opening would create it, and even a
    // byte order mark in a package file would damage the package.
    if (ui::IsProgramOrPackageFile(file) || ui::IsInInstallation(file))
        return std::string(ui::text::kLogIsProgramOrPackage) + file;
    return {};
}

// Everything after the local log has been opened: the command line, /LOG's
// file, and the run.
int Start(HINSTANCE instance, ui::LogFile& log, const std::string& localProblem, bool& help) {
    std::string commandLine;
    ui::Options options;
    try {
        commandLine = platform::Utf16ToUtf8(GetCommandLineW());
        options = ui::ParseCommandLine(ProgramArguments(GetCommandLineW()));
    } catch (...) {
        log.WriteUnexpectedError(Description(std::current_exception()));
        if (!ui::PlanRun({}, ui::ThisProcessDesktop()).showsBoxes)
            return ui::exit_code::kUnexpected;
        ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
        return ui::exit_code::kUnexpected;
    }
    const ui::RunPlan plan = ui::PlanRun(options, ui::ThisProcessDesktop());
    std::string refused = options.problem;
    if (refused.empty() && options.logFile) {
        try {
            refused = LogTargetRefused(*options.logFile);
        } catch (...) {
            log.WriteUnexpectedError(Description(std::current_exception()));
            ShowBox(plan, log, ui::FailureMessage(std::current_exception()));
            return ui::exit_code::kUnexpected;
        }
        // Its own failure to open is written into the local log, after the
        // lines that say which run it is.
        if (refused.empty())
            log.OpenTarget(*options.logFile);
    }
    log.WriteLine(std::string(ui::text::kLogStart) + ' ' +
                  std::string(ui::SwitchesAsGiven(commandLine)));
    for (const std::string& line : ui::ComputerIdentityLines())
        log.WriteLine(line);
    if (!localProblem.empty())
        log.WriteLine(std::string(ui::text::kLogLocalUnavailable) + localProblem);
    if (const auto& why = log.TargetError())
        log.WriteLine(std::string(ui::text::kLogTargetUnavailable) + *why);
    if (!refused.empty()) {
        log.WriteLine(std::string(ui::text::kLogBadCommandLine) + refused);
        ShowUsage(plan, log, refused);
        return ui::exit_code::kBadCommandLine;
    }
    if (options.help) {
        help = true;
        ShowUsage(plan, log, {});
        return 0;
    }
    if (plan.unattendedForNobody)
        log.WriteLine(ui::text::kLogNoVisibleDesktop);
    return Run(instance, options, plan, log);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::SearchSystemFolderOnlyForDlls();
    // Every run leaves a trace on the PC, a refused command line included.
    ui::LogFile log;
    const std::string localProblem = log.OpenLocal();
    bool help = false;
    const int code = Start(instance, log, localProblem, help);
    // The usage box is no run.
    if (help)
        log.WriteExitCode(code);
    else
        ui::FinishRun(log, code);
    return code;
}
