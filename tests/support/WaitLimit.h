// A limit on a wait in a test. A test that waits for a worker, a thread or a
// window that never comes would otherwise sit until ctest's own time-out ends
// it without a word; should the scope not be left within the limit, the test
// program ends at once, saying what it waited for.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace test_support {

class WaitLimit {
  public:
    // Generous: a limit is for a hang, never a measure of speed, and a scale
    // test on a busy machine, or Wine, is slow. Below ctest's 600 s, so that
    // the test says what it waited for before ctest ends it without a word.
    static constexpr std::chrono::seconds kDefault{500};

    explicit WaitLimit(std::string what, std::chrono::seconds limit = kDefault)
        : what_(std::move(what)), watch_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!left_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "FAIL: waited more than %lld s for %s\n",
                               static_cast<long long>(limit.count()), what_.c_str());
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~WaitLimit() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        left_.notify_all();
        watch_.join();
    }
    WaitLimit(const WaitLimit&) = delete;
    WaitLimit& operator=(const WaitLimit&) = delete;

  private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable left_;
    bool done_ = false;
    std::thread watch_;  // last: it reads everything above
};

}  // namespace test_support
