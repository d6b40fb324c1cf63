#include "ui/Main.h"

#include <system_error>
#include <utility>

#include "engine/Texts.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/ControlText.h"
#include "ui/ErrorBox.h"
#include "ui/FormLayout.h"
#include "ui/StatusContrast.h"
#include "ui/Texts.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

TForm1* Form1 = nullptr;

namespace {

// Posted by the worker's thread when it has handed over a report operation.
constexpr UINT kRunPendingCalls = WM_APP;
// Posted by the worker's thread as a run has ended. WM_APP + 1 is
// kChangingInstallation (ShutdownBlock.h).
constexpr UINT kRunEnded = WM_APP + 2;
// Brings the window back for the worker's posted calls while it posts them
// faster than they are announced.
constexpr UINT_PTR kPostedCallsTimer = 1;
// Closes the window after an unattended run, once its verdict has been on
// the screen for long enough to be seen.
constexpr UINT_PTR kCloseAfterRunTimer = 2;
constexpr UINT kVerdictShownMs = 1000;

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != FALSE &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Rgb ToRgb(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

}  // namespace

TForm1::TForm1(platform::FileSystem& files)
    : files_(files), uiCalls_([this] { PostMessageW(hwnd_, kRunPendingCalls, 0, 0); }) {}

TForm1::~TForm1() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void TForm1::Create(HINSTANCE instance, HWND owner) {
    // Room for the dialog manager's data: the form is a dialog of its own
    // class, so Tab, Enter, Esc and the default button work as in any dialog.
    RegisterWindowClass(instance, kFormClassName, WindowProc,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), DLGWINDOWEXTRA);
    const RECT place = FormLayout::FirstPlace();
    if (CreateWindowExW(kFormExStyle, kFormClassName,
                        platform::Utf8ToUtf16(text::kFormCaption).c_str(), kFormStyle, place.left,
                        place.top, place.right - place.left, place.bottom - place.top, owner,
                        nullptr, instance, this) == nullptr) {
        ThrowLastError("CreateWindowEx (form)");
    }
    layout_.CreateControls(instance, hwnd_);
    SendMessageW(hwnd_, DM_SETDEFID, kButton1Id, 0);
    FormCreate();
}

void TForm1::Show() {
    layout_.PlaceOnce();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(layout_.Button1), TRUE);
}

void TForm1::Close() {
    ShowWindow(hwnd_, SW_HIDE);
    // The application's window goes too, and with it the task-bar button.
    if (const HWND owner = GetWindow(hwnd_, GW_OWNER); owner != nullptr) {
        ShowWindow(owner, SW_HIDE);
    }
    PostQuitMessage(0);
}

void TForm1::Destroy() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void TForm1::ReportThrough(engine::Report& report, engine::RunEvents& events) {
    report_ = &report;
    events_ = &events;
}

bool TForm1::Begin(const RunSettings& settings) {
    task_ = settings.task;
    closesAfterRun_ = settings.closesAfterRun;
    noCancel_ = settings.noCancel;
    if (closesAfterRun_) {
        Button1Click();
        // No worker could be made, and the error box has said so: nothing
        // will end to close the window later.
        if (!worker) {
            Close();
            return false;
        }
    } else if (task_ == engine::TMyThread::Task::List) {
        Button1Click();  // the states are what a list was started for
    }
    return true;
}

void TForm1::FormCreate() {
    SetText(layout_.Label1, "");
    layout_.Memo1.Clear();
}

void TForm1::Button1Click() {
    // Run or stop follows the state of the run; the caption only shows it.
    if (!runUnderWay_) {
        if (worker) {
            // The caption goes back to "実　行" shortly before a worker's last
            // report operations. Let the previous worker finish them first, so
            // that two runs never share the log.
            AwaitWorkerEnd();
            // It completed the update and disabled the button meanwhile: the
            // one update this window does has been done.
            if (!IsWindowEnabled(layout_.Button1))
                return;
        }
        SetText(layout_.Button1, engine::text::kStopCaption);
        runUnderWay_ = true;
        ++runsStarted_;
        entriesSearched_ = 0;
        entriesOnDrives_ = 0;
        progress_ = RunProgress{};
        progress_.stage = RunProgress::Stage::Searching;
        ShowProgressOnButton();
        // Red marks the run that could not complete, not the next one. Blue
        // never gets here: a completed run leaves the button disabled.
        statusColour_.reset();
        InvalidateRect(layout_.Label1, nullptr, TRUE);
        std::unique_ptr<engine::TMyThread> started;
        try {
            started = CreateWorker();
        } catch (const std::system_error& error) {
            SetText(layout_.Button1, engine::text::kRunCaption);
            runUnderWay_ = false;
            ShowErrorBox(WithClosingFullStop(std::string(text::kThreadCreationError) +
                                             platform::SystemErrorText(error.code())));
            return;
        } catch (...) {
            SetText(layout_.Button1, engine::text::kRunCaption);
            runUnderWay_ = false;
            throw;
        }
        worker = std::move(started);  // the previous worker, ended, is released here
        if (noCancel_)
            SetRunButtonEnabled(false);
    } else if (worker && !noCancel_) {
        worker->RequestStop();
        AwaitWorkerEnd();
        SetText(layout_.Button1, engine::text::kRunCaption);
        runUnderWay_ = false;
    }
}

void TForm1::Button2Click() {
    // /NOCANCEL: closing would stop the run.
    if (noCancel_ && runUnderWay_)
        return;
    Close();
}

void TForm1::FormDestroy() {
    if (worker) {
        worker->RequestStop();
        AwaitWorkerEnd();
    }
}

bool TForm1::AwaitWorkerEnd(std::optional<std::chrono::steady_clock::time_point> until) {
    // A refresh under way finishes first and may wait a second for each file
    // that another program holds: meanwhile the window paints, carries out
    // the worker's report operations (they come as messages like any other)
    // and answers the session's questions. Input is not taken from the queue,
    // so a click waits for the end as it always has.
    constexpr UINT kAllButInput = PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE;
    std::optional<WPARAM> quit;
    while (!worker->Ended()) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | kAllButInput)) {
            // The application's loop ends once the wait is over, not before.
            if (message.message == WM_QUIT)
                quit = message.wParam;
            else
                DispatchMessageW(&message);
            continue;
        }
        // The worker's end is announced by a posted message (UiCallQueue::Notify).
        DWORD wait = INFINITE;
        if (until) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            wait = static_cast<DWORD>(left.count());
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, kAllButInput >> 16, 0);
    }
    const bool ended = worker->Ended();
    if (ended)
        worker->WaitForEnd();
    if (quit)
        PostQuitMessage(static_cast<int>(*quit));
    return ended;
}

std::unique_ptr<engine::TMyThread> TForm1::CreateWorker() {
    return std::make_unique<engine::TMyThread>(files_, uiCalls_, *report_, events_, std::nullopt,
                                               task_);
}

void TForm1::ShowErrorBox(const std::string& message) {
    ui::ShowErrorBox(hwnd_, message);
}

void TForm1::ShowFailure(const std::exception_ptr& failure) noexcept {
    ShowFailureBox(hwnd_, failure, [&](const std::string& message) { ShowErrorBox(message); });
}

void TForm1::RunPendingCalls() {
    if (uiCalls_.RunPending()) {
        SetTimer(hwnd_, kPostedCallsTimer,
                 static_cast<UINT>(platform::UiCallQueue::kPostInterval.count()), nullptr);
    } else {
        KillTimer(hwnd_, kPostedCallsTimer);
    }
}

void TForm1::SetStatusText(const std::string& text) {
    if (GetText(layout_.Label1) != text)
        SetText(layout_.Label1, text);
    // The search's progress comes along with the folder it shows, which the
    // window takes in at most every few milliseconds however fast it goes.
    ShowProgressOnButton();
}

void TForm1::ClearLog() {
    layout_.Memo1.Clear();
}

void TForm1::AppendLogLine(const std::string& line) {
    layout_.Memo1.AppendLine(line);
}

void TForm1::SetRunButtonCaption(const std::string& caption) {
    SetText(layout_.Button1, caption);
    // A worker gives the run button back only as its run ends, a little
    // before its last report operations: a press from here on starts a run.
    runUnderWay_ = false;
    // Disabled for the run by /NOCANCEL; a completed run disables it again.
    if (noCancel_)
        EnableWindow(layout_.Button1, TRUE);
}

void TForm1::SetRunButtonEnabled(bool enabled) {
    // A disabled button cannot keep the keyboard focus; pass it on the way
    // Tab would.
    if (!enabled && GetFocus() == layout_.Button1)
        SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(layout_.Button1, enabled ? TRUE : FALSE);
}

void TForm1::SetStatusColour(engine::Verdict verdict) {
    statusColour_ = verdict == engine::Verdict::Completed ? RGB(0, 0, 255) : RGB(255, 0, 0);
    InvalidateRect(layout_.Label1, nullptr, TRUE);
}

void TForm1::ChangingInstallation(bool changing) {
    ShutdownBlock::Post(hwnd_, changing);
}

void TForm1::SearchProgress(std::uint64_t searched, std::optional<std::uint64_t> onDrives) {
    entriesSearched_.store(searched, std::memory_order_relaxed);
    entriesOnDrives_.store(onDrives.value_or(0), std::memory_order_relaxed);
}

void TForm1::RunEnded(engine::RunOutcome outcome) {
    PostMessageW(hwnd_, kRunEnded, static_cast<WPARAM>(outcome),
                 static_cast<LPARAM>(runsStarted_.load()));
}

HWND TForm1::ButtonWindow() const {
    const HWND owner = GetWindow(hwnd_, GW_OWNER);
    return owner != nullptr ? owner : hwnd_;
}

void TForm1::ShowProgressOnButton() {
    if (progress_.stage == RunProgress::Stage::Searching ||
        progress_.stage == RunProgress::Stage::Changing) {
        progress_.entriesSearched = entriesSearched_.load(std::memory_order_relaxed);
        const std::uint64_t onDrives = entriesOnDrives_.load(std::memory_order_relaxed);
        progress_.entriesOnDrives =
            onDrives != 0 ? std::optional<std::uint64_t>(onDrives) : std::nullopt;
    }
    // The form exists only for a run with a window.
    taskbar_.Show(ButtonWindow(), ProgressOnButton(progress_, true));
}

void TForm1::EndSession() {
    bool stopped = true;
    if (worker) {
        worker->RequestStop();
        stopped = AwaitWorkerEnd(std::chrono::steady_clock::now() + kSessionEndWait);
    }
    SessionEnding(stopped);
}

void TForm1::KeepFocusOffDisabledRunButton() {
    // Reactivating the window gives the focus back to the control that had
    // it last, which may be Button1 disabled meanwhile by a completed run.
    if (GetFocus() == layout_.Button1 && !IsWindowEnabled(layout_.Button1)) {
        SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    }
}

LRESULT TForm1::ColourStatusLine(HDC dc) const {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (statusColour_ &&
        VerdictKeepsItsColour(ToRgb(*statusColour_), ToRgb(face), HighContrastOn()))
        SetTextColor(dc, *statusColour_);
    else
        SetTextColor(dc, GetSysColor(statusColour_ ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
    SetBkColor(dc, face);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT TForm1::DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(window, message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // WM_QUERYENDSESSION is asked first, before the session may end: the run
    // winds down meanwhile, and the installation under way, if any, is
    // finished.
    if (const auto answer = shutdownBlock_.Handle(hwnd_, message, wParam, lParam, [this] {
            if (worker)
                worker->RequestStop();
        })) {
        if (message == kChangingInstallation && progress_.stage != RunProgress::Stage::Ended) {
            progress_.stage =
                wParam != FALSE ? RunProgress::Stage::Changing : RunProgress::Stage::Searching;
            ShowProgressOnButton();
        }
        return *answer;
    }
    switch (message) {
        case WM_COMMAND:
            // Clicks, Enter on a focused button and Esc (IDCANCEL) all come here.
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == kButton1Id) {
                    Button1Click();
                    return 0;
                }
                if (LOWORD(wParam) == kButton2Id) {
                    Button2Click();
                    return 0;
                }
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == layout_.Label1) {
                return ColourStatusLine(reinterpret_cast<HDC>(wParam));
            }
            break;
        case kRunPendingCalls:
            RunPendingCalls();
            return 0;
        case WM_TIMER:
            if (wParam == kPostedCallsTimer) {
                RunPendingCalls();
                return 0;
            }
            if (wParam == kCloseAfterRunTimer) {
                KillTimer(hwnd_, kCloseAfterRunTimer);
                Close();
                return 0;
            }
            break;
        case kRunEnded:
            // A press may have started the next run before this message of
            // the previous one came through.
            if (static_cast<unsigned>(lParam) != runsStarted_.load())
                return 0;
            progress_.stage = RunProgress::Stage::Ended;
            progress_.outcome = static_cast<engine::RunOutcome>(wParam);
            ShowProgressOnButton();
            // Tells a user busy in another window that the run is over.
            if (GetForegroundWindow() != hwnd_)
                TaskbarButton::Flash(ButtonWindow());
            if (closesAfterRun_)
                SetTimer(hwnd_, kCloseAfterRunTimer, kVerdictShownMs, nullptr);
            return 0;
        case WM_ENDSESSION:
            if (wParam != FALSE)
                EndSession();
            return 0;
        case WM_ACTIVATE: {
            const LRESULT result = DefDlgProcW(hwnd_, message, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE) {
                KeepFocusOffDisabledRunButton();
                TaskbarButton::StopFlashing(ButtonWindow());
            }
            return result;
        }
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            // A theme turned on or off: the status line's colour is chosen again.
            InvalidateRect(layout_.Label1, nullptr, TRUE);
            break;
        case WM_DPICHANGED: {
            layout_.LayOut(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            Button2Click();
            return 0;
        case WM_DESTROY:
            FormDestroy();
            break;
        default:
            break;
    }
    return DefDlgProcW(hwnd_, message, wParam, lParam);
}

}  // namespace ui
