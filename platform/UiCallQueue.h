// Carries work from worker threads to the UI thread. A worker hands over a
// call and waits until the UI thread has carried it out; the UI thread runs
// the pending calls when it is woken (the window posts itself a message) and,
// while it waits for a worker to end, keeps running them so that a reporting
// worker can always finish.
#pragma once

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
    // An exception thrown by `call` is rethrown here, on the worker's thread.
    void Invoke(std::function<void()> call);

    // UI side: runs every call pending now, in the order they were handed over.
    void RunPending();

    // UI side: runs calls as they arrive until `finished()` is true, blocking
    // (not spinning) while there is nothing to run. `finished` is evaluated
    // under the queue's lock; whoever makes it true must call Notify after.
    void RunUntil(const std::function<bool()>& finished);

    // Wakes a RunUntil so that it tests its condition again.
    void Notify();

  private:
    struct Pending {
        std::function<void()> call;
        bool done = false;
        std::exception_ptr failure;
    };

    void RunOne(Pending& pending);

    std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending*> queue_;
};

}  // namespace platform
