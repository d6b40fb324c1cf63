// A thread with a stop request, started at once, whose end the UI thread can
// wait for while it goes on carrying out the thread's calls (UiCallQueue).
#pragma once

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

#include "platform/UiCallQueue.h"

namespace platform {

class WorkerThread {
  public:
    // Starts `body` on a new thread. If the stop request is set before the
    // thread gets going, `body` is never called. `body` must not throw; if it
    // does anyway, the exception ends the thread quietly instead of the
    // process. Throws std::system_error when the thread cannot be created.
    WorkerThread(UiCallQueue& ui, std::function<void(std::stop_token)> body);

    // Requests a stop and waits for the end (see WaitForEnd): destroying a
    // worker never leaves its thread running or its calls unserved.
    ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // UI side. The stop request is only ever set, never cleared.
    void RequestStop() { thread_.request_stop(); }
    bool StopRequested() const { return thread_.get_stop_token().stop_requested(); }
    bool Ended() const { return ended_.load(std::memory_order_acquire); }

    // UI side: returns when the thread has ended, carrying out its calls in
    // the meantime. Handles nothing else: no input, no painting.
    void WaitForEnd();

  private:
    UiCallQueue& ui_;
    std::atomic<bool> ended_{false};
    std::jthread thread_;  // last: it starts running once everything above exists
};

}  // namespace platform
