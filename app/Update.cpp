// The program's entry: the command line, the log file, the one-update-at-a-
// time check, and then one of the two ways of running: the dialog window
// Form1 (with or without /SILENT), whose message loop runs until it is
// closed, or /VERYSILENT's run without any window. The process ends once the
// worker, if any, has stopped; its exit code says how the run went.
#include "platform/win32/WinApi.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/CommandLine.h"
#include "app/ComputerIdentity.h"
#include "app/Desktop.h"
#include "app/EventLog.h"
#include "app/ExitCode.h"
#include "app/LogFile.h"
#include "app/LogTarget.h"
#include "app/RunLog.h"
#include "app/RunRecord.h"
#include "app/SingleInstance.h"
#include "app/Texts.h"
#include "app/Unattended.h"
#include "engine/Texts.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/SystemModule.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileSystem.h"
#include "ui/ApplicationWindow.h"
#include "ui/ErrorBox.h"
#include "ui/Main.h"
#include "ui/Texts.h"

namespace {

// The arguments after the program's name, split by Windows' own rules for
// quotes and backslashes, in UTF-8.
std::vector<std::string> ProgramArguments(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* const arguments = CommandLineToArgvW(commandLine, &count);
    if (arguments == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CommandLineToArgvW");
    const platform::ScopedLocal owned(arguments);
    std::vector<std::string> split;
    for (int i = 1; i < count; ++i)
        split.push_back(platform::Utf16ToUtf8(arguments[i]));
    return split;
}

// Shows a box where somebody can see it; otherwise its text goes to the
// log, so that a deployment never waits for a box nobody answers.
void ShowUsage(const app::RunPlan& plan, app::LogFile& log, std::string_view problem) {
    if (!plan.showsBoxes) {
        if (problem.empty())
            log.WriteLine(std::string(app::text::kLogMessageBox) + "/?");
        return;
    }
    if (problem.empty()) {
        MessageBoxW(nullptr, platform::Utf8ToUtf16(app::text::kUsage).c_str(),
                    platform::Utf8ToUtf16(ui::text::kApplicationTitle).c_str(),
                    MB_ICONINFORMATION | MB_OK);
    } else {
        ui::ShowErrorBox(nullptr, std::string(problem) + "\n\n" + std::string(app::text::kUsage));
    }
}

void ShowBox(const app::RunPlan& plan, app::LogFile& log, std::string_view message) {
    if (plan.showsBoxes)
        ui::ShowErrorBox(nullptr, message);
    else
        log.WriteLine(std::string(app::text::kLogMessageBox) + std::string(message));
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

// Form1 with what stands around its runs: every run is written to the log
// and the record, which stand between the worker and the window, and the log
// is told what the error boxes said (a /SILENT run whose worker could not be
// started ends with exit code 7, and the box is then all there is to say why).
class LoggedForm final : public ui::TForm1 {
  public:
    LoggedForm(platform::FileSystem& files, app::LogFile& log, const app::Options& options,
               bool showsBoxes)
        : TForm1(files),
          log_(log),
          showsBoxes_(showsBoxes),
          recorder_(&log, *this),
          runLog_(&log, *this, recorder_) {
        // An inventory must not change the record.
        if (options.list)
            recorder_.KeepNoRecord();
        ReportThrough(runLog_, runLog_);
    }
    // The worker reports to the members here: it stops before they go.
    ~LoggedForm() override { Destroy(); }
    LoggedForm(const LoggedForm&) = delete;
    LoggedForm& operator=(const LoggedForm&) = delete;

    // The program's exit code as the window's runs leave it.
    int ExitCode() const { return recorder_.ExitCode(); }

  private:
    void SessionEnding(bool runStopped) override {
        if (!runStopped)
            log_.WriteLine(app::text::kLogSessionEndedFirst);
        app::FinishRun(log_, ExitCode());
    }

    void ShowErrorBox(const std::string& message) override {
        log_.NoteFailure(message);
        if (showsBoxes_)
            TForm1::ShowErrorBox(message);
        else
            log_.WriteLine(std::string(app::text::kLogMessageBox) + message);
    }

    app::LogFile& log_;
    bool showsBoxes_;
    app::RunRecorder recorder_;
    app::RunLog runLog_;
};

// What a failure says of itself, for the log file.
std::string Description(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::system_error& error) {
        return platform::SystemErrorWhat(error);
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
    }
    return std::string(engine::text::kUnknownFailure);
}

// How the window runs for `options`: /NOCANCEL counts only where nobody is
// at the window to stop the run, with /SILENT.
ui::RunSettings WindowSettings(const app::Options& options, const app::RunPlan& plan) {
    ui::RunSettings settings;
    settings.task = app::TaskOf(options, plan.mode != app::RunMode::Window);
    settings.closesAfterRun = plan.mode == app::RunMode::Silent;
    settings.noCancel = settings.closesAfterRun && options.noCancel;
    return settings;
}

int RunInWindow(HINSTANCE instance, platform::FileSystem& files, app::LogFile& log,
                const app::Options& options, const app::RunPlan& plan) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ui::ApplicationWindow application;
    application.Create(instance, ui::text::kApplicationTitle);
    LoggedForm form(files, log, options, plan.showsBoxes);
    ui::Form1 = &form;
    form.Create(instance, application.Handle());
    application.SetMainWindow(form.Handle());
    application.Show();
    form.Show();
    const bool started = form.Begin(WindowSettings(options, plan));
    RunMessageLoop(form.Handle());
    // Closing has hidden the window; destroying it waits for the worker.
    form.Destroy();
    ui::Form1 = nullptr;
    const int code = started ? form.ExitCode() : app::exit_code::kUnexpected;
    // The application's window outlives the form: the system may still ask
    // it about the end of the session, and once it has answered, end the
    // process at any moment. So the log is finished while it is there.
    app::FinishRun(log, code);
    return code;
}

// Everything after the command line and the log file have been accepted.
int Run(HINSTANCE instance, const app::Options& options, const app::RunPlan& plan,
        app::LogFile& log) {
    const bool quiet = plan.mode == app::RunMode::VerySilent;
    try {
        // Held until the worker has stopped, which is after the window has
        // gone: the last thing this program gives up.
        const app::SingleInstance single;
        if (!single.IsFirst()) {
            log.WriteLine(app::text::kLogAlreadyRunning);
            if (!quiet)
                app::BringFirstInstanceForward();
            // The first one may run in another session, where nothing of it
            // can be brought forward.
            if (!quiet)
                ShowBox(plan, log, app::text::kAlreadyRunningBox);
            return app::exit_code::kAlreadyRunning;
        }
        platform::Win32FileSystem files;
        if (quiet) {
            return app::RunWithoutWindow(instance, files, &log, options);
        }
        return RunInWindow(instance, files, log, options, plan);
    } catch (...) {
        ui::Form1 = nullptr;
        log.WriteUnexpectedError(Description(std::current_exception()));
        if (!quiet)
            ShowBox(plan, log, ui::FailureMessage(std::current_exception()));
        return app::exit_code::kUnexpected;
    }
}

// Why /LOG's file must not be appended to, or empty.
std::string LogTargetRefused(const std::string& file) {
    // Checked before the file is opened: opening would create it, and even a
    // byte order mark in a package file would damage the package.
    if (app::NamesADevice(file))
        return std::string(app::text::kLogIsDevice) + file;
    if (app::IsProgramOrPackageFile(file))
        return std::string(app::text::kLogIsProgramOrPackage) + file;
    return {};
}

// Everything after the local log has been opened: the command line, /LOG's
// file, and the run.
int Start(HINSTANCE instance, app::LogFile& log, const std::string& localProblem,
          const app::Corrections& corrections, bool& help) {
    std::string commandLine;
    app::Options options;
    try {
        commandLine = platform::Utf16ToUtf8(GetCommandLineW());
        options = app::ParseCommandLine(ProgramArguments(GetCommandLineW()));
    } catch (...) {
        log.WriteUnexpectedError(Description(std::current_exception()));
        if (!app::PlanRun({}, app::ThisProcessDesktop()).showsBoxes)
            return app::exit_code::kUnexpected;
        ui::ShowErrorBox(nullptr, ui::FailureMessage(std::current_exception()));
        return app::exit_code::kUnexpected;
    }
    const app::RunPlan plan = app::PlanRun(options, app::ThisProcessDesktop());
    std::string refused = options.problem;
    if (refused.empty() && options.logFile) {
        try {
            refused = LogTargetRefused(*options.logFile);
        } catch (...) {
            log.WriteUnexpectedError(Description(std::current_exception()));
            ShowBox(plan, log, ui::FailureMessage(std::current_exception()));
            return app::exit_code::kUnexpected;
        }
        // Its own failure to open is written into the local log, after the
        // lines that say which run it is.
        if (refused.empty())
            log.OpenTarget(*options.logFile);
        // Inside an installation, as the folders opened on the way show.
        if (log.TargetRefused())
            refused = std::string(app::text::kLogIsProgramOrPackage) + *log.TargetRefused();
    }
    log.WriteLine(std::string(app::text::kLogStart) + ' ' +
                  std::string(app::SwitchesAsGiven(commandLine)));
    for (const std::string& line : app::ComputerIdentityLines())
        log.WriteLine(line);
    for (const std::string& line : corrections)
        log.WriteLine(line);
    if (!localProblem.empty())
        log.WriteLine(std::string(app::text::kLogLocalUnavailable) + localProblem);
    if (const auto& why = log.TargetError())
        log.WriteLine(std::string(app::text::kLogTargetUnavailable) + *why);
    if (!refused.empty()) {
        log.WriteLine(std::string(app::text::kLogBadCommandLine) + refused);
        ShowUsage(plan, log, refused);
        return app::exit_code::kBadCommandLine;
    }
    if (options.help) {
        help = true;
        ShowUsage(plan, log, {});
        return 0;
    }
    if (plan.unattendedForNobody)
        log.WriteLine(app::text::kLogNoVisibleDesktop);
    return Run(instance, options, plan, log);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::SearchSystemFolderOnlyForDlls();
    // Every run leaves a trace on the PC, a refused command line included.
    app::LogFile log;
    app::Corrections corrections;
    const std::string localProblem = log.OpenLocal(corrections);
    bool help = false;
    const int code = Start(instance, log, localProblem, corrections, help);
    // The usage box is no run.
    if (help)
        log.WriteExitCode(code);
    else
        app::FinishRun(log, code);
    return code;
}
