// The program's one window, Form1 of class TForm1: a heading, a run/stop
// button, a close button, and a raised panel holding the status line and the
// log. It owns the worker of the current or last run and carries out the
// worker's report operations on the UI thread. A log-off or shut-down stops
// the run as 「中　止」 does, and is held while an installation is being
// changed.
//
// Who waits for whom, and for how long:
// - The worker waits for the UI thread in every report operation (Invoke),
//   for as long as the UI thread takes to come to it. So the UI thread never
//   waits for anything without carrying out report operations meanwhile, and
//   never blocks in anything that the worker may be holding up.
// - The UI thread waits for the worker only by pumping (AwaitWorkerEnd): it
//   paints, carries out report operations and answers the session's
//   messages meanwhile. Input waits. A stop may take a while, since the
//   installation under way is finished first.
// - WM_QUERYENDSESSION is answered at once: it asks the worker to stop and
//   waits for nothing.
// - WM_ENDSESSION waits for the worker's end at most kSessionEndWait
//   (ShutdownBlock.h): once it
//   returns, the system may end the process at any moment, so the log is
//   finished before, with or without the run's last lines.
// - Nothing here shows a box while the session ends.
#pragma once

#include "platform/win32/WinApi.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "engine/MyThread.h"
#include "engine/Report.h"
#include "engine/RunEvents.h"
#include "platform/FileSystem.h"
#include "platform/UiCallQueue.h"
#include "ui/BaseWindow.h"
#include "ui/FormLayout.h"
#include "ui/ShutdownBlock.h"
#include "ui/TaskbarButton.h"
#include "ui/TaskbarProgress.h"

namespace ui {

// How the window runs, as the program was asked to; handed over whole, so
// that a new switch that concerns the window changes this and the window.
struct RunSettings {
    // List: every run tells the installations' states and changes nothing.
    engine::TMyThread::Task task = engine::TMyThread::Task::Update;
    // A run starts at once, and the window closes a moment after it has
    // ended, once its verdict could be seen.
    bool closesAfterRun = false;
    // While a run is under way, 「中　止」 is disabled and closing does
    // nothing; a log-off still stops the run.
    bool noCancel = false;
};

class TForm1 : public BaseWindow<TForm1>, public engine::Report, public engine::RunEvents {
  public:
    // `files` must outlive the form.
    explicit TForm1(platform::FileSystem& files);
    ~TForm1() override;

    // Creates the window, hidden, with its controls laid out for the screen
    // it will appear on, and runs FormCreate. `owner` is the application's
    // window, which carries the task-bar button; null for none.
    void Create(HINSTANCE instance, HWND owner);
    // Shows the window with the keyboard focus on Button1, placed in the
    // middle of the desktop the first time.
    void Show();
    // What every way of closing comes to: the window disappears at once and
    // the application's message loop is told to end (WM_QUIT). Whoever runs
    // the loop then destroys the window.
    void Close();
    // Destroys the window; FormDestroy stops the worker and waits for it.
    void Destroy();

    // What the worker reports to instead of the window itself: whatever
    // writes the runs down around the window, and passes every call on to
    // it. Both must outlive the form. Before the first run.
    void ReportThrough(engine::Report& report, engine::RunEvents& events);
    // Once shown: takes `settings` and starts a run at once when they close
    // the window after it, as a press of 「実　行」 does, or for the states
    // of a list. False when a run that closes the window could not start:
    // the error box has said why, and the window has closed.
    bool Begin(const RunSettings& settings);

    // The window's event handlers.
    void FormCreate();
    void Button1Click();
    void Button2Click();
    void FormDestroy();

    // engine::Report, carried out on the UI thread for the worker.
    void SetStatusText(const std::string& text) override;
    void ClearLog() override;
    void AppendLogLine(const std::string& line) override;
    void SetRunButtonCaption(const std::string& caption) override;
    void SetRunButtonEnabled(bool enabled) override;
    void SetStatusColour(engine::Verdict verdict) override;

    // engine::RunEvents, called on the worker's thread.
    void ChangingInstallation(bool changing) override;
    void SearchProgress(std::uint64_t searched, std::optional<std::uint64_t> onDrives) override;
    void RunEnded(engine::RunOutcome outcome) override;

  protected:
    // How a worker is made and how an error box is shown; tests replace them.
    virtual std::unique_ptr<engine::TMyThread> CreateWorker();
    virtual void ShowErrorBox(const std::string& message);
    // A session that does end, once the run has stopped or kSessionEndWait
    // has passed (`runStopped` false): the process may be ended as soon as
    // this returns.
    virtual void SessionEnding(bool runStopped) { (void)runStopped; }

  private:
    friend class BaseWindow<TForm1>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowFailure(const std::exception_ptr& failure) noexcept;
    // Carries out the worker's calls handed over since the last time, and
    // comes back by timer while the worker keeps posting.
    void RunPendingCalls();
    // WM_ENDSESSION of a session that does end: the process may be ended
    // once this returns, so the run is stopped and the log finished here.
    void EndSession();
    // Returns once the worker has ended, carrying out its report operations
    // and every message but input meanwhile; or, given a time, false once it
    // has come with the worker still running.
    bool AwaitWorkerEnd(std::optional<std::chrono::steady_clock::time_point> until = {});

    void KeepFocusOffDisabledRunButton();
    // The window that carries the taskbar button: the application's, when
    // it owns the form.
    HWND ButtonWindow() const;
    void ShowProgressOnButton();
    LRESULT ColourStatusLine(HDC dc) const;

    platform::FileSystem& files_;
    platform::UiCallQueue uiCalls_;

    FormLayout layout_;
    std::optional<COLORREF> statusColour_;  // the system's window-text colour until set
    TaskbarButton taskbar_;
    RunProgress progress_;
    // Set by the worker's thread as the search enters each folder.
    std::atomic<std::uint64_t> entriesSearched_{0};
    std::atomic<std::uint64_t> entriesOnDrives_{0};  // 0: not known
    // Which run a worker's end belongs to; read on the worker's thread.
    std::atomic<unsigned> runsStarted_{0};

    // What every run reports through; the window itself unless told.
    engine::Report* report_ = this;
    engine::RunEvents* events_ = this;
    ShutdownBlock shutdownBlock_;
    bool closesAfterRun_ = false;
    bool noCancel_ = false;
    engine::TMyThread::Task task_ = engine::TMyThread::Task::Update;
    // From the start of a run until its worker gives the run button back (or
    // a stop has waited for it): what a press of Button1 stops.
    bool runUnderWay_ = false;

    // The newest worker. Last, so that it is stopped and waited for before
    // anything it reports to goes away.
    std::unique_ptr<engine::TMyThread> worker;
};

// The program's one instance, made by the entry (Update.cpp).
extern TForm1* Form1;

}  // namespace ui
