#include "app/Unattended.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "app/EventLog.h"
#include "app/ExitCode.h"
#include "app/RunLog.h"
#include "app/RunRecord.h"
#include "app/Texts.h"
#include "engine/MyThread.h"
#include "engine/Texts.h"
#include "platform/UiCallQueue.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/SystemMessage.h"
#include "ui/BaseWindow.h"
#include "ui/ShutdownBlock.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace app {

namespace {

constexpr wchar_t kSessionWindowClass[] = L"SoramidoUpdateSession";

// Shows nothing: with /VERYSILENT the run's only record is the log file.
class HeadlessReport final : public engine::Report {
  public:
    void SetStatusText(const std::string&) override {}
    void ClearLog() override {}
    void AppendLogLine(const std::string&) override {}
    void SetRunButtonCaption(const std::string&) override {}
    void SetRunButtonEnabled(bool) override {}
    void SetStatusColour(engine::Verdict) override {}
};

// A top-level window that is never shown, on a thread of its own. The system
// tells every top-level window of a log-off or shut-down, by sent messages
// that only a thread waiting for messages receives; the main thread, which
// serves the worker's calls, never does. A message-only window would not be
// told at all.
//
// Who waits for whom: the worker waits for the main thread in each report
// operation, and the main thread for the worker's end, serving those
// operations meanwhile. The window's thread waits for neither, except at
// WM_ENDSESSION, for the run to be over, at most ui::kSessionEndWait: then
// `finishLog` writes what the log still lacks from the window's thread, since
// the process may be ended as soon as the answer is given.
class SessionWindow : public ui::BaseWindow<SessionWindow>, public engine::RunEvents {
  public:
    SessionWindow(HINSTANCE instance, std::function<void()> finishLog);
    ~SessionWindow() override;  // closes the window and waits for its thread

    // The worker a log-off or shut-down stops; null once it has ended.
    void Watch(engine::TMyThread* worker);
    // The run is over and its log written: a session that is ending may end.
    void RunOver() { SetEvent(runOver_.Get()); }
    // Why the window could not be made, so that nothing watches the session's
    // end; empty when it watches.
    const std::string& Unwatched() const { return unwatched_; }

    // engine::RunEvents, on the worker's thread.
    void ChangingInstallation(bool changing) override {
        if (unwatched_.empty())
            ui::ShutdownBlock::Post(hwnd_, changing);
    }

  private:
    friend class ui::BaseWindow<SessionWindow>;
    void Run(HINSTANCE instance, std::promise<void> created);
    void StopRun();
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // No box, ever: a failure in here costs at most the shut-down's patience.
    void ShowFailure(const std::exception_ptr&) noexcept {}

    std::function<void()> finishLog_;
    std::string unwatched_;  // written before the constructor returns, then only read
    platform::ScopedHandle runOver_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::mutex mutex_;
    engine::TMyThread* worker_ = nullptr;
    bool sessionEnding_ = false;
    ui::ShutdownBlock shutdownBlock_;  // the window's thread only
    std::thread thread_;
};

SessionWindow::SessionWindow(HINSTANCE instance, std::function<void()> finishLog)
    : finishLog_(std::move(finishLog)) {
    if (!runOver_)
        ui::ThrowLastError("CreateEvent");
    std::promise<void> created;
    std::future<void> ready = created.get_future();
    thread_ = std::thread([this, instance, created = std::move(created)]() mutable {
        Run(instance, std::move(created));
    });
    try {
        ready.get();
    } catch (...) {
        thread_.join();
        throw;
    }
}

SessionWindow::~SessionWindow() {
    // A run that failed never said it was over; a session end waiting for
    // it must not wait for ever.
    RunOver();
    // Closing it from here would wait for a thread that may be busy; a
    // posted close is taken up as soon as it is free.
    if (unwatched_.empty())
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
}

void SessionWindow::Run(HINSTANCE instance, std::promise<void> created) {
    // Without the window (no desktop to make it on, as under Wine without a
    // display) the run still goes on: a session's end then ends it where it
    // stands, and the journal lets the next run repair what it left.
    try {
        ui::RegisterWindowClass(instance, kSessionWindowClass, WindowProc, nullptr);
        if (CreateWindowExW(0, kSessionWindowClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                            nullptr, instance, this) == nullptr) {
            ui::ThrowLastError("CreateWindowEx (session)");
        }
    } catch (const std::system_error& failure) {
        unwatched_ = platform::SystemErrorWhat(failure);
    } catch (...) {
        unwatched_ = engine::text::kUnknownFailure;
    }
    created.set_value();
    if (!unwatched_.empty())
        return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
}

void SessionWindow::Watch(engine::TMyThread* worker) {
    std::lock_guard lock(mutex_);
    worker_ = worker;
    if (sessionEnding_ && worker != nullptr)
        worker->RequestStop();
}

void SessionWindow::StopRun() {
    std::lock_guard lock(mutex_);
    sessionEnding_ = true;
    if (worker_ != nullptr)
        worker_->RequestStop();
}

LRESULT SessionWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto answer =
            shutdownBlock_.Handle(hwnd_, message, wParam, lParam, [this] { StopRun(); }))
        return *answer;
    switch (message) {
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: the run is
            // let finish the installation under way and the log its last line.
            if (wParam != FALSE) {
                StopRun();
                if (WaitForSingleObject(runOver_.Get(),
                                        static_cast<DWORD>(ui::kSessionEndWait.count())) !=
                        WAIT_OBJECT_0 &&
                    finishLog_) {
                    finishLog_();
                }
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Lets the session window stop `worker` for as long as both exist.
class Watching {
  public:
    Watching(SessionWindow& session, engine::TMyThread& worker) : session_(session) {
        session_.Watch(&worker);
    }
    ~Watching() { session_.Watch(nullptr); }
    Watching(const Watching&) = delete;
    Watching& operator=(const Watching&) = delete;

  private:
    SessionWindow& session_;
};

}  // namespace

int RunWithoutWindow(HINSTANCE instance, platform::FileSystem& files, LogFile* log,
                     const Options& options) {
    HeadlessReport nothing;
    // The recorder takes the window as the next of its events, and the
    // window's thread reads the recorder's exit code at a log-off: made after
    // the window, it is handed over once made and goes after the window.
    std::optional<RunRecorder> recorderPlace;
    std::atomic<const RunRecorder*> made{nullptr};
    SessionWindow session(instance, [log, &made] {
        if (!log)
            return;
        log->WriteLine(text::kLogSessionEndedFirst);
        const RunRecorder* recorder = made.load(std::memory_order_acquire);
        FinishRun(*log, recorder != nullptr ? recorder->ExitCode() : exit_code::kStopped);
    });
    if (log && !session.Unwatched().empty())
        log->WriteLine(std::string(text::kLogSessionUnwatched) + session.Unwatched());
    RunRecorder& recorder = recorderPlace.emplace(log, session);
    made.store(&recorder, std::memory_order_release);
    RunLog runLog(log, nothing, recorder);
    if (options.list)
        recorder.KeepNoRecord();
    // No wake-up needed: the main thread does nothing but wait for the
    // worker's calls, and its wait is woken by each of them.
    platform::UiCallQueue calls;
    int code = exit_code::kUnexpected;
    {
        engine::TMyThread worker(files, calls, runLog, &runLog, {}, TaskOf(options, true));
        const Watching watching(session, worker);
        worker.WaitForEnd();
        code = recorder.ExitCode();
    }
    if (log)
        FinishRun(*log, code);
    session.RunOver();
    return code;
}

}  // namespace app
