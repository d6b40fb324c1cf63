#include "engine/update/UpdateTransaction.h"

#include <algorithm>
#include <utility>

namespace engine {

platform::Failure UpdateTransaction::Do(Step step) {
    platform::Failure failure;
    try {
        failure = step.run();
    } catch (...) {
        // Thrown half way: what the step made is undone with the rest.
        if (step.happened && step.happened())
            done_.push_back(std::move(step));
        throw;
    }
    if (!failure || (step.happened && step.happened()))
        done_.push_back(std::move(step));
    return failure;
}

bool UpdateTransaction::RollBack() {
    std::vector<Step> kept;
    std::vector<std::size_t> stuckTargets;
    auto stuck = [&](std::size_t target) {
        return std::find(stuckTargets.begin(), stuckTargets.end(), target) != stuckTargets.end();
    };
    // Renames first, the last first, then, only if every one was undone,
    // the deletions, again the last first.
    for (const bool deletions : {false, true}) {
        for (auto step = done_.rbegin(); step != done_.rend(); ++step) {
            if (step->undoDeletes != deletions)
                continue;
            // An undo that throws is one that failed: the steps after it are
            // still undone, and the list stays whole for a later try.
            auto undo = [&step]() -> platform::Failure {
                try {
                    return step->undo();
                } catch (...) {
                    return platform::FileError{platform::FileError::Kind::Other, {}};
                }
            };
            const bool undone = !deletions || kept.empty();
            if (undone && !stuck(step->target) && !TryForAWhile(patience_, undo))
                continue;
            stuckTargets.push_back(step->target);
            kept.push_back(std::move(*step));
        }
    }
    std::reverse(kept.begin(), kept.end());
    done_ = std::move(kept);
    return done_.empty();
}

}  // namespace engine
