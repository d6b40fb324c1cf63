// The changes of one update as a list of steps, each with its undo, undone
// in reverse order when a later step fails: the way an installer keeps one
// small work item per change and a list that rolls them back.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/update/Retry.h"
#include "platform/FolderHandle.h"

namespace engine {

class UpdateTransaction {
  public:
    struct Step {
        // The destination the step belongs to. Once an undo of a
        // destination fails, its earlier steps are not undone either: the
        // old file cannot go back over a new one still in its place.
        std::size_t target = 0;
        std::function<platform::Failure()> run;
        // After `run` reported a failure: whether it took effect all the
        // same (a rename made, but not made durable). Such a step is undone.
        std::function<bool()> happened;
        std::function<platform::Failure()> undo;
        // Undone by deleting what the step made. Deletions wait until every
        // rename has been undone, so that nothing is deleted while an old
        // file is not back in its place.
        bool undoDeletes = false;
    };

    explicit UpdateTransaction(const Patience& patience) : patience_(patience) {}

    // Runs `step`; once it has taken effect it is kept for undoing.
    platform::Failure Do(Step step);

    // Undoes every kept step, the last first, each tried for a while. True
    // when every one was undone; the steps that were not stay kept.
    bool RollBack();

    // Forgets the kept steps: the update is committed and stays.
    void Commit() { done_.clear(); }

    // Whether any step has taken effect and is not undone.
    bool Changed() const { return !done_.empty(); }

  private:
    Patience patience_;
    std::vector<Step> done_;
};

}  // namespace engine
