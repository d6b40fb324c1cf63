// Trying a file operation again for a moment. A virus scanner or an indexer
// holds a file it has just seen for a little while; what fails for a reason
// that will not pass fails again soon enough.
#pragma once

#include <chrono>
#include <thread>

#include "platform/FolderHandle.h"

namespace engine {

// How long an operation is tried again, and how often.
struct Patience {
    std::chrono::milliseconds inUse{1000};
    std::chrono::milliseconds retryEvery{50};
};

enum class RetryOn : bool {
    AnyFailureButNotFound,  // what is not there will not come
    InUseOnly,              // another program holds the file
};

// Runs `operation` until it succeeds, fails in a way `retryOn` does not take
// again, or `patience` runs out; its last failure, if any.
template <typename Operation>
platform::Failure TryForAWhile(const Patience& patience, Operation operation,
                               RetryOn retryOn = RetryOn::AnyFailureButNotFound) {
    using Kind = platform::FileError::Kind;
    const auto deadline = std::chrono::steady_clock::now() + patience.inUse;
    for (;;) {
        platform::Failure failure = operation();
        const bool again =
            failure && (retryOn == RetryOn::InUseOnly ? failure->kind == Kind::InUse
                                                      : failure->kind != Kind::NotFound);
        if (!again || std::chrono::steady_clock::now() >= deadline)
            return failure;
        std::this_thread::sleep_for(patience.retryEvery);
    }
}

}  // namespace engine
