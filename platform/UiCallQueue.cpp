#include "platform/UiCallQueue.h"

#include <utility>

namespace platform {

UiCallQueue::UiCallQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void UiCallQueue::Announce() {
    changed_.notify_all();
    if (wake_)
        wake_();
}

void UiCallQueue::Invoke(std::function<void()> call) {
    // The record lives on the worker's stack: the worker does not return from
    // here before the UI thread has marked it done, so no ownership moves.
    Pending pending{std::move(call), false, nullptr};
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(&pending);
    }
    Announce();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending.done; });
    if (pending.failure)
        std::rethrow_exception(pending.failure);
}

void UiCallQueue::Post(std::function<void()> call) {
    bool announce = false;
    {
        std::lock_guard lock(mutex_);
        // A post into a full slot has been announced already, and while the
        // UI thread keeps coming back it needs no announcing at all.
        announce = !posted_ && !uiComesBack_;
        posted_.swap(call);
    }
    // `call` now holds the superseded call, if any, and is let go of outside
    // the lock.
    if (announce)
        Announce();
}

// Under the lock: takes the posted call, if any. Having found one, the UI
// thread comes back for the next by itself; having found none, it waits to be
// told of the next.
bool UiCallQueue::TakePosted(std::function<void()>& call) {
    call.swap(posted_);
    uiComesBack_ = static_cast<bool>(call);
    return uiComesBack_;
}

// Runs a posted call taken from the slot; its failure is kept for the
// worker's next Invoke, the first one only.
void UiCallQueue::RunPosted(std::function<void()>& call) {
    if (!call)
        return;
    try {
        call();
    } catch (...) {
        std::lock_guard lock(mutex_);
        if (!postedFailure_)
            postedFailure_ = std::current_exception();
    }
}

void UiCallQueue::RunOne(Pending& pending) {
    // The newest post comes first: the worker posted it before this call.
    std::function<void()> posted;
    {
        std::lock_guard lock(mutex_);
        posted.swap(posted_);
    }
    RunPosted(posted);
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        failure = std::exchange(postedFailure_, nullptr);
    }
    if (!failure) {
        try {
            pending.call();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    {
        // Moved, not copied: the worker is to hold the only reference to the
        // exception, since it destroys it once rethrown.
        std::lock_guard lock(mutex_);
        pending.failure = std::move(failure);
        pending.done = true;
    }
    changed_.notify_all();
}

bool UiCallQueue::RunPending() {
    for (;;) {
        Pending* next = nullptr;
        std::function<void()> posted;
        bool comeBack = false;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                comeBack = TakePosted(posted);
            } else {
                next = queue_.front();
                queue_.pop_front();
            }
        }
        if (!next) {
            RunPosted(posted);
            return comeBack;
        }
        RunOne(*next);
    }
}

void UiCallQueue::RunUntil(const std::function<bool()>& finished) {
    for (;;) {
        Pending* next = nullptr;
        std::function<void()> posted;
        {
            std::unique_lock lock(mutex_);
            bool lookAtPosts = true;
            if (uiComesBack_) {
                // Posts are not announced now: look again after the interval,
                // or at once for a call the worker waits for or for the end.
                lookAtPosts = !changed_.wait_for(lock, kPostInterval,
                                                 [&] { return !queue_.empty() || finished(); });
            } else {
                changed_.wait(lock, [&] { return !queue_.empty() || posted_ || finished(); });
            }
            if (!queue_.empty()) {
                next = queue_.front();
                queue_.pop_front();
            } else if ((lookAtPosts || finished()) && !TakePosted(posted) && finished()) {
                return;
            }
        }
        if (next)
            RunOne(*next);
        else
            RunPosted(posted);
    }
}

void UiCallQueue::Notify() {
    // Taking the lock orders this after any RunUntil that is between testing
    // its condition and starting to wait, so the wake-up cannot be lost.
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
    // A UI thread may wait in its own message loop instead, to go on
    // painting: it hears of the change as of a queued call.
    if (wake_)
        wake_();
}

}  // namespace platform
