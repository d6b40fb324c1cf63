#include "ui/Main.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "engine/Texts.h"
#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/ControlText.h"
#include "ui/Dpi.h"
#include "ui/ErrorBox.h"
#include "ui/ExitCode.h"
#include "ui/Layout.h"
#include "ui/RaisedPanel.h"
#include "ui/ScopedDc.h"
#include "ui/Texts.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

TForm1* Form1 = nullptr;

namespace {

// Posted by the worker's thread when it has handed over a report operation.
constexpr UINT kRunPendingCalls = WM_APP;
// Posted by the worker's thread as an installation begins (wParam TRUE) or
// ends (FALSE) being changed, and as a run has ended.
constexpr UINT kChangingInstallation = WM_APP + 1;
constexpr UINT kRunEnded = WM_APP + 2;
// Brings the window back for the worker's posted calls while it posts them
// faster than they are announced.
constexpr UINT_PTR kPostedCallsTimer = 1;
// Closes the window after an unattended run, once its verdict has been on
// the screen for long enough to be seen.
constexpr UINT_PTR kCloseAfterRunTimer = 2;
constexpr UINT kVerdictShownMs = 1000;

// A fixed dialog frame: caption and close box, no sizing border, no
// minimise or maximise box, and (with the modal frame) no icon.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

void Move(HWND control, const RECT& bounds) {
    MoveWindow(control, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
}

HWND CreateControl(HINSTANCE instance, HWND parent, const wchar_t* className, std::string_view text,
                   DWORD style, int id) {
    // Laid out once every control exists and the font is known.
    return CreateChild(instance, parent, 0, className, text, style, id, RECT{},
                       "CreateWindowEx (control)");
}

// The size of a one-line text as a static control draws it in `font`.
SIZE MeasureText(HWND control, HFONT font) {
    const std::wstring text = platform::Utf8ToUtf16(GetText(control));
    const ScopedDc dc(control);
    const ScopedSelection selection(dc.Get(), font);
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{extent.right - extent.left, extent.bottom - extent.top};
}

// Where a window of the given size sits in the middle of the desktop, which
// is the whole virtual screen, all monitors together; never beyond its top
// or left edge.
POINT MiddleOfDesktop(int width, int height) {
    return POINT{GetSystemMetrics(SM_XVIRTUALSCREEN) +
                     std::max(0, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2),
                 GetSystemMetrics(SM_YVIRTUALSCREEN) +
                     std::max(0, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2)};
}

}  // namespace

TForm1::TForm1(platform::FileSystem& files, LogFile* log)
    : files_(files),
      uiCalls_([this] { PostMessageW(hwnd_, kRunPendingCalls, 0, 0); }),
      log_(log),
      runLog_(log, *this, *this) {}

TForm1::~TForm1() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void TForm1::Create(HINSTANCE instance, HWND owner) {
    // Room for the dialog manager's data: the form is a dialog of its own
    // class, so Tab, Enter, Esc and the default button work as in any dialog.
    RegisterWindowClass(instance, kFormClassName, WindowProc,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), DLGWINDOWEXTRA);
    // Made at about its 96-dpi size in the middle of the desktop, so that it
    // starts on the screen whose dpi it is then laid out for.
    RECT size96{0, 0, kClientWidth96, kClientHeight96};
    AdjustWindowRectEx(&size96, kFormStyle, FALSE, kFormExStyle);
    const int width = size96.right - size96.left;
    const int height = size96.bottom - size96.top;
    const POINT origin = MiddleOfDesktop(width, height);
    if (CreateWindowExW(kFormExStyle, kFormClassName,
                        platform::Utf8ToUtf16(text::kFormCaption).c_str(), kFormStyle, origin.x,
                        origin.y, width, height, owner, nullptr, instance, this) == nullptr) {
        ThrowLastError("CreateWindowEx (form)");
    }
    CreateControls(instance);
    KeepOnlyMoveAndCloseInSystemMenu();
    LayOut(WindowDpi(hwnd_));
    SendMessageW(hwnd_, DM_SETDEFID, kButton1Id, 0);
    FormCreate();
}

void TForm1::CreateControls(HINSTANCE instance) {
    // Creation order is tab order: Button1, Button2, then the log inside Panel1.
    Button1 = CreateControl(instance, hwnd_, L"BUTTON", engine::text::kRunCaption,
                            WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, kButton1Id);
    Button2 = CreateControl(instance, hwnd_, L"BUTTON", text::kCloseCaption,
                            WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, kButton2Id);
    Panel1 = CreateRaisedPanel(instance, hwnd_, kPanel1Id, RECT{});
    // The status line shows folder paths as they are: an "&" is drawn, not
    // taken as an access key, and a long path is cut off at the right edge.
    Label1 =
        CreateControl(instance, Panel1, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel1Id);
    Memo1.Create(instance, Panel1, kMemo1Id, RECT{});
    Label2 = CreateControl(instance, hwnd_, L"STATIC", text::kHeading,
                           SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel2Id);
}

void TForm1::KeepOnlyMoveAndCloseInSystemMenu() {
    // Whatever else the system puts there (Restore, Size, Minimize, Maximize,
    // and under Wine its About entry) goes, and one separator stays between
    // the two.
    const HMENU menu = GetSystemMenu(hwnd_, FALSE);
    bool separatorAbove = true;  // none at the top
    for (int i = 0; i < GetMenuItemCount(menu);) {
        const UINT id = GetMenuItemID(menu, i);
        const bool separator = id == 0;
        const bool keep = separator ? !separatorAbove : (id == SC_MOVE || id == SC_CLOSE);
        if (!keep) {
            DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
            continue;
        }
        separatorAbove = separator;
        ++i;
    }
    const int count = GetMenuItemCount(menu);
    if (count > 0 && GetMenuItemID(menu, count - 1) == 0) {
        DeleteMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION);
    }
}

void TForm1::LayOut(UINT dpi) {
    UniqueFont windowFont = CreateWindowFont(kWindowFontHeight96, dpi);
    UniqueFont headingFont = CreateWindowFont(kHeadingFontHeight96, dpi);
    for (HWND control : {Button1, Button2, Label1, Memo1.Handle()}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont.Get()), FALSE);
    }
    SendMessageW(Label2, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont.Get()), FALSE);
    // The controls have let go of the old fonts; now they may be deleted.
    windowFont_ = std::move(windowFont);
    headingFont_ = std::move(headingFont);

    Move(Button1, Scale(kRunButton96, dpi));
    Move(Button2, Scale(kCloseButton96, dpi));
    Move(Panel1, Scale(kPanel96, dpi));
    Move(Label1, Scale(kStatusLine96, dpi));
    Move(Memo1.Handle(), Scale(kLog96, dpi));
    const SIZE heading = MeasureText(Label2, headingFont_.Get());
    MoveWindow(Label2, Scale(kHeadingLeft96, dpi), Scale(kHeadingTop96, dpi), heading.cx,
               heading.cy, TRUE);

    SetClientSize(Scale(kClientWidth96, dpi), Scale(kClientHeight96, dpi));
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TForm1::SetClientSize(int width, int height) {
    // The frame is measured rather than computed, so the client area comes
    // out exact whatever dpi the system draws the frame at.
    RECT window;
    RECT client;
    GetWindowRect(hwnd_, &window);
    GetClientRect(hwnd_, &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::PlaceInMiddleOfDesktop() {
    RECT window;
    GetWindowRect(hwnd_, &window);
    const POINT origin = MiddleOfDesktop(window.right - window.left, window.bottom - window.top);
    SetWindowPos(hwnd_, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::Show() {
    if (!placed_) {
        PlaceInMiddleOfDesktop();
        placed_ = true;
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Button1), TRUE);
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

void TForm1::StartRunThenClose() {
    closesAfterRun_ = true;
    Button1Click();
    // No worker could be made, and the error box has said so: nothing will
    // end to close the window later.
    if (!worker) {
        lastVerdict_ = engine::RunOutcome::Failed;
        Close();
    }
}

void TForm1::ListOnly() {
    task_ = engine::TMyThread::Task::List;
    runLog_.KeepNoRecord();
}

int TForm1::ExitCode() const {
    return exit_code::Of(lastVerdict_.load());
}

void TForm1::FormCreate() {
    SetText(Label1, "");
    Memo1.Clear();
}

void TForm1::Button1Click() {
    // Run or stop follows the state of the run; the caption only shows it.
    if (!runUnderWay_) {
        if (worker) {
            // The caption goes back to "実　行" shortly before a worker's last
            // report operations. Let the previous worker finish them first, so
            // that two runs never share the log.
            worker->WaitForEnd();
            // It completed the update and disabled the button meanwhile: the
            // one update this window does has been done.
            if (!IsWindowEnabled(Button1))
                return;
        }
        SetText(Button1, engine::text::kStopCaption);
        runUnderWay_ = true;
        // Red marks the run that could not complete, not the next one. Blue
        // never gets here: a completed run leaves the button disabled.
        statusColour_.reset();
        InvalidateRect(Label1, nullptr, TRUE);
        std::unique_ptr<engine::TMyThread> started;
        try {
            started = CreateWorker();
        } catch (const std::system_error& error) {
            SetText(Button1, engine::text::kRunCaption);
            runUnderWay_ = false;
            ShowErrorBox(std::string(text::kThreadCreationError) + SystemErrorText(error.code()));
            return;
        } catch (...) {
            SetText(Button1, engine::text::kRunCaption);
            runUnderWay_ = false;
            throw;
        }
        worker = std::move(started);  // the previous worker, ended, is released here
    } else if (worker) {
        worker->RequestStop();
        worker->WaitForEnd();
        SetText(Button1, engine::text::kRunCaption);
        runUnderWay_ = false;
    }
}

void TForm1::Button2Click() {
    Close();
}

void TForm1::FormDestroy() {
    if (worker) {
        worker->RequestStop();
        worker->WaitForEnd();
    }
}

std::unique_ptr<engine::TMyThread> TForm1::CreateWorker() {
    return std::make_unique<engine::TMyThread>(files_, uiCalls_, runLog_, &runLog_, std::nullopt,
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
    if (GetText(Label1) != text)
        SetText(Label1, text);
}

void TForm1::ClearLog() {
    Memo1.Clear();
}

void TForm1::AppendLogLine(const std::string& line) {
    Memo1.AppendLine(line);
}

void TForm1::SetRunButtonCaption(const std::string& caption) {
    SetText(Button1, caption);
    // A worker gives the run button back only as its run ends, a little
    // before its last report operations: a press from here on starts a run.
    runUnderWay_ = false;
}

void TForm1::SetRunButtonEnabled(bool enabled) {
    // A disabled button cannot keep the keyboard focus; pass it on the way
    // Tab would.
    if (!enabled && GetFocus() == Button1)
        SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(Button1, enabled ? TRUE : FALSE);
}

void TForm1::SetStatusColour(engine::Verdict verdict) {
    statusColour_ = verdict == engine::Verdict::Completed ? RGB(0, 0, 255) : RGB(255, 0, 0);
    InvalidateRect(Label1, nullptr, TRUE);
}

void TForm1::ChangingInstallation(bool changing) {
    PostMessageW(hwnd_, kChangingInstallation, changing ? TRUE : FALSE, 0);
}

void TForm1::RunEnded(engine::RunOutcome outcome) {
    if (outcome != engine::RunOutcome::Stopped)
        lastVerdict_ = outcome;
    PostMessageW(hwnd_, kRunEnded, 0, 0);
}

void TForm1::EndSession() {
    FormDestroy();
    if (log_)
        log_->WriteExitCode(ExitCode());
}

void TForm1::KeepFocusOffDisabledRunButton() {
    // Reactivating the window gives the focus back to the control that had
    // it last, which may be Button1 disabled meanwhile by a completed run.
    if (GetFocus() == Button1 && !IsWindowEnabled(Button1)) {
        SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    }
}

LRESULT TForm1::ColourStatusLine(HDC dc) const {
    SetTextColor(dc, statusColour_.value_or(GetSysColor(COLOR_WINDOWTEXT)));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT TForm1::DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(window, message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
            if (reinterpret_cast<HWND>(lParam) == Label1) {
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
            if (closesAfterRun_)
                SetTimer(hwnd_, kCloseAfterRunTimer, kVerdictShownMs, nullptr);
            return 0;
        case kChangingInstallation:
            shutdownBlock_.Hold(hwnd_, wParam != FALSE);
            return 0;
        case WM_QUERYENDSESSION:
            // Asked first, before the session may end: the run winds down
            // meanwhile, and the installation under way, if any, is finished.
            if (worker)
                worker->RequestStop();
            return shutdownBlock_.AllowsEndOfSession(lParam);
        case WM_ENDSESSION:
            if (wParam != FALSE)
                EndSession();
            return 0;
        case WM_ACTIVATE: {
            const LRESULT result = DefDlgProcW(hwnd_, message, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE)
                KeepFocusOffDisabledRunButton();
            return result;
        }
        case WM_DPICHANGED: {
            LayOut(HIWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            Close();
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
