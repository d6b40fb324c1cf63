#include "platform/UiCallQueue.h"

#include <utility>

namespace platform {

UiCallQueue::UiCallQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

void UiCallQueue::Invoke(std::function<void()> call) {
    // The record lives on the worker's stack: the worker does not return from
    // here before the UI thread has marked it done, so no ownership moves.
    Pending pending{std::move(call), false, nullptr};
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(&pending);
    }
    changed_.notify_all();
    if (wake_)
        wake_();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending.done; });
    if (pending.failure)
        std::rethrow_exception(pending.failure);
}

void UiCallQueue::RunOne(Pending& pending) {
    try {
        pending.call();
    } catch (...) {
        pending.failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        pending.done = true;
    }
    changed_.notify_all();
}

void UiCallQueue::RunPending() {
    for (;;) {
        Pending* next = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            next = queue_.front();
            queue_.pop_front();
        }
        RunOne(*next);
    }
}

void UiCallQueue::RunUntil(const std::function<bool()>& finished) {
    for (;;) {
        Pending* next = nullptr;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return !queue_.empty() || finished(); });
            if (queue_.empty())
                return;
            next = queue_.front();
            queue_.pop_front();
        }
        RunOne(*next);
    }
}

void UiCallQueue::Notify() {
    // Taking the lock orders this after any RunUntil that is between testing
    // its condition and starting to wait, so the wake-up cannot be lost.
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

}  // namespace platform
