#include "bench/EngineRuns.h"

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "bench/StandInWindow.h"
#include "engine/search/FolderWalk.h"
#include "engine/MyThread.h"
#include "engine/Texts.h"
#include "platform/UiCallQueue.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

RunFigures CompleteRun(platform::FileSystem& files, std::optional<unsigned> readAheadThreads) {
    platform::UiCallQueue ui;
    StandInWindow window;
    const auto start = Clock::now();
    {
        engine::TMyThread worker(files, ui, window, nullptr, readAheadThreads);
        worker.WaitForEnd();
    }
    const auto took = Clock::now() - start;
    return {Seconds(took), Seconds(window.BusyTime()), window.Completed(), window.Operations(),
            window.LogLines()};
}

WalkFigures BareWalk(platform::FileSystem& files, const std::string& root,
                     unsigned readAheadThreads) {
    struct Counter : engine::FolderWalk::Visitor {
        std::size_t folders = 0;
        std::size_t markers = 0;
        bool EnterFolder(const std::string&) override { return ++folders, true; }
        bool MarkerFound(const std::string&, const std::optional<platform::FileId>&) override {
            return ++markers, true;
        }
    } counter;
    const auto start = Clock::now();
    engine::FolderWalk(files, "SKM300.EXE", counter, {readAheadThreads, {}, {}}).Run(root);
    return {Seconds(Clock::now() - start), counter.folders, counter.markers};
}

StopFigures StoppedRun(platform::FileSystem& files, std::chrono::nanoseconds after) {
    platform::UiCallQueue ui;
    StandInWindow window;
    StopFigures figures;
    engine::TMyThread worker(files, ui, window);
    // The moment is counted from the run's first report operation: a stop
    // requested before the worker's thread has begun ends it without a run,
    // and so without the line that says it was stopped.
    ui.RunUntil([&] { return worker.Ended() || window.Operations() > 0; });
    const auto due = Clock::now() + after;
    {
        // Serving the queue blocks while nothing arrives, as during the
        // listing of a huge folder; the alarm wakes it when the stop is due.
        std::jthread alarm([&](std::stop_token cancel) {
            std::mutex mutex;
            std::condition_variable_any sleep;
            std::unique_lock lock(mutex);
            sleep.wait_until(lock, cancel, due, [] { return false; });
            ui.Notify();
        });
        ui.RunUntil([&] { return worker.Ended() || Clock::now() >= due; });
    }
    figures.endedFirst = worker.Ended();
    const auto request = Clock::now();
    worker.RequestStop();
    worker.WaitForEnd();
    figures.latencySeconds = Seconds(Clock::now() - request);
    figures.stopped = window.Log().find(engine::text::kStopped) != std::string::npos;
    return figures;
}

}  // namespace bench
