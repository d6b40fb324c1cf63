// Carries work from worker threads to the UI thread. A worker either hands
// over a call and waits until the UI thread has carried it out (Invoke), or
// posts one that only shows the newest state of something and need not be
// waited for (Post). The UI thread runs them when it is woken (the window
// posts itself a message) and, while it waits for a worker to end, keeps
// running them so that a reporting worker can always finish.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace platform {

class UiCallQueue {
  public:
    // `wake` is called on the worker's thread after a call has been queued; it
    // must make the UI thread call RunPending soon (and must not block on it).
    explicit UiCallQueue(std::function<void()> wake = {});
    UiCallQueue(const UiCallQueue&) = delete;
    UiCallQueue& operator=(const UiCallQueue&) = delete;

    // Worker side: runs `call` on the UI thread and returns once it has run.
    // An exception thrown by `call` is rethrown here, on the worker's thread;
    // so is one thrown by a posted call since the last Invoke, and then
    // `call` does not run.
    void Invoke(std::function<void()> call);

    // Worker side: hands over `call` without waiting for it. A posted call
    // the UI thread has not got to yet is dropped in favour of the newer one,
    // so a worker can post far faster than a screen can show; the newest one
    // always runs before any call invoked after it, so what the UI shows
    // keeps the worker's order. Whatever `call` refers to must outlive the
    // worker's next Invoke.
    void Post(std::function<void()> call);

    // How long the UI thread may take to come back for posted calls once it
    // has run one. While it keeps coming back, posting wakes nobody: a worker
    // that posts for every item it handles pays no wake-up for each.
    static constexpr std::chrono::milliseconds kPostInterval{16};

    // UI side: runs every call pending now, in the order they were handed
    // over. True when it ran a posted call: the caller must then call again
    // within kPostInterval (a timer), because posts are not announced until
    // a call finds none waiting.
    bool RunPending();

    // UI side: runs calls as they arrive until `finished()` is true and none
    // is left, blocking (not spinning) while there is nothing to run.
    // `finished` is evaluated under the queue's lock; whoever makes it true
    // must call Notify after.
    void RunUntil(const std::function<bool()>& finished);

    // Wakes a RunUntil so that it tests its condition again, and calls
    // `wake` for a UI thread that waits in its message loop.
    void Notify();

  private:
    struct Pending {
        std::function<void()> call;
        bool done = false;
        std::exception_ptr failure;
    };

    void Announce();
    void RunOne(Pending& pending);
    bool TakePosted(std::function<void()>& call);
    void RunPosted(std::function<void()>& call);

    std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending*> queue_;
    std::function<void()> posted_;      // empty once run
    std::exception_ptr postedFailure_;  // for the next Invoke
    bool uiComesBack_ = false;          // the UI thread will look for posts without a wake
};

}  // namespace platform
