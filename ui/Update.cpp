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
#include "ui/ErrorBox.h"
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

void ShowUsage(std::string_view problem) {
    if (problem.empty()) {
        MessageBoxW(nullptr, platform::Utf8ToUtf16(ui::text::kUsage).c_str(),
                    platform::Utf8ToUtf16(ui::text::kApplicationTitle).c_str(),
                    MB_ICONINFORMATION | MB_OK);
    } else {
        ui::ShowErrorBox(nullptr, std::string(problem) + "\n\n" + std::string(ui::text::kUsage));
    }
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
    LoggedForm(platform::FileSystem& files, ui::LogFile* log) : TForm1(files, log), log_(log) {}

  private:
    void ShowErrorBox(const std::string& message) override {
        if (log_)
            log_->NoteFailure(message);
        TForm1::ShowErrorBox(message);
    }

    ui::LogFile* log_;
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

int RunInWindow(HINSTANCE instance, platform::FileSystem& files, ui::LogFile* log,
                bool closesAfterRun, bool list) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ui::ApplicationWindow application;
    application.Create(instance, ui::text::kApplicationTitle);
    LoggedForm form(files, log);
    ui::Form1 = &form;
    form.Create(instance, application.Handle());
    application.SetMainWindow(form.Handle());
    application.Show();
    form.Show();
    if (list)
        form.ListOnly();
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
int Run(HINSTANCE instance, const ui::Options& options, ui::LogFile* log) {
    const ui::RunMode mode = options.mode;
    const bool quiet = mode == ui::RunMode::VerySilent;
    try {
        // Held until the worker has stopped, which is after the window has
        // gone: the last thing this program gives up.
        const ui::SingleInstance single;
        if (!single.IsFirst()) {
            if (log)
                log->WriteLine(ui::text::kLogAlreadyRunning);
            if (!quiet)
                ui::BringFirstInstanceForward();
            return ui::exit_code::kAlreadyRunning;
        }
        platform::Win32FileSystem files;
        if (quiet) {
            return ui::RunWithoutWindow(
                instance, files, log,
                options.list ? engine::TMyThread::Task::List : engine::TMyThread::Task::Update);
        }
        return RunInWindow(instance, files, log, mode == ui::RunMode::Silent, options.list);
    } catch (...) {
        ui::Form1 = nullptr;
        if (log)
            log->WriteUnexpectedError(Description(std::current_exception()));
        if (!quiet)
            ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
        return ui::exit_code::kUnexpected;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::SearchSystemFolderOnlyForDlls();
    std::string commandLine;
    ui::Options options;
    try {
        commandLine = platform::Utf16ToUtf8(GetCommandLineW());
        options = ui::ParseCommandLine(ProgramArguments(GetCommandLineW()));
    } catch (...) {
        ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
        return ui::exit_code::kUnexpected;
    }
    const bool quiet = options.mode == ui::RunMode::VerySilent;
    if (!options.problem.empty()) {
        if (!quiet)
            ShowUsage(options.problem);
        return ui::exit_code::kBadCommandLine;
    }
    if (options.help) {
        if (!quiet)
            ShowUsage({});
        return 0;
    }
    std::optional<ui::LogFile> log;
    if (options.logFile) {
        // Checked before the file is opened: opening would create it, and
        // even a byte order mark in a package file would damage the package.
        bool forbidden = false;
        try {
            forbidden = ui::IsProgramOrPackageFile(*options.logFile);
        } catch (...) {
            if (!quiet)
                ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
            return ui::exit_code::kUnexpected;
        }
        if (forbidden) {
            if (!quiet)
                ShowUsage(std::string(ui::text::kLogIsProgramOrPackage) + *options.logFile);
            return ui::exit_code::kBadCommandLine;
        }
        try {
            log.emplace(*options.logFile);
        } catch (const std::system_error& error) {
            if (!quiet) {
                ShowUsage(std::string(ui::text::kLogNotWritable) + *options.logFile + "：" +
                          ui::SystemErrorText(error.code()));
            }
            return ui::exit_code::kBadCommandLine;
        }
        log->WriteLine(std::string(ui::text::kLogStart) + ' ' +
                       std::string(ui::SwitchesAsGiven(commandLine)));
        for (const std::string& line : ui::ComputerIdentityLines())
            log->WriteLine(line);
    }
    const int code = Run(instance, options, log ? &*log : nullptr);
    if (log)
        log->WriteExitCode(code);
    return code;
}
