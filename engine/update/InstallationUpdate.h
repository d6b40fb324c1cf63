// The change of one installation, as a whole: every file of the package goes
// in, or none does. Everything is done through handles opened once
// (FolderHandle.h), so a folder swapped for a link half way cannot send a
// write outside the installation.
//
// The steps (survey, repair, measure, check, journal, stage, commit, finish,
// and the way to the restart), and what a kill after each leaves and the
// next run does, are told once: kUpdateStory (UpdateStory.h). One loop
// (RunSteps) takes them in that order, each begun only where the update may
// stand at it (MayBegin).
//
// A failure before the last staged copy is in place undoes the journal, the
// staging and the commit in reverse (UpdateTransaction.h). Then, as after
// every update that did not go through, the installation is looked at again
// through its handles, and the outcome says what stands there
// (UpdateConclusion.h): all old, or left in the middle, with the journal
// kept for the next run. Where the update stands on the way is
// UpdateStanding.h's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/update/EarlierRun.h"
#include "engine/update/InstallationSurvey.h"
#include "engine/update/JournalKeys.h"
#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdateOutcome.h"
#include "engine/update/UpdatePackage.h"
#include "engine/update/UpdateStanding.h"
#include "engine/update/UpdateStory.h"
#include "engine/update/UpdateTransaction.h"
#include "platform/FileSystem.h"

namespace engine {

class InstallationUpdate {
  public:
    // `listed`, when known, is the identity of the folder the search listed:
    // the folder opened must be that one. Only with it is an installation
    // folder that is itself a link opened through the link.
    InstallationUpdate(platform::FileSystem& files, const UpdatePackage& package,
                       std::string installation, Patience patience,
                       std::optional<platform::FileId> listed = std::nullopt);
    ~InstallationUpdate();
    InstallationUpdate(const InstallationUpdate&) = delete;
    InstallationUpdate& operator=(const InstallationUpdate&) = delete;

    // Repairs what an interrupted update left, then updates the installation.
    // Should anything throw, what this update changed is undone and the
    // outcome says what then stands there, as after any other failure:
    // nothing is thrown out of it.
    UpdateOutcome Run();

    // For a run nobody watches, before Run: an installation whose files a
    // running program holds is staged whole and asked to be finished at the
    // next restart (InstallationUpdateAtRestart.cpp), rather than left as
    // it is for somebody to close the program.
    void MayWaitForRestart() { mayWaitForRestart_ = true; }

    // The step of kUpdateStory the update is at, or was at when it ended.
    UpdateStep StepNow() const { return step_; }

  private:
    using Refusal = InstallationSurvey::Refusal;
    // A destination as this run measured it.
    struct Target {
        const Destination* destination = nullptr;
        bool exists = false;
        std::optional<Bytes> bytes;  // what it holds, as measured; nothing where it is missing
        bool isNew = false;          // it holds the package's bytes: it is left alone
        std::optional<platform::FileError> unmeasured;  // why its bytes could not be read
        std::optional<std::size_t> entry;  // its target in this run's journal, once planned

        std::size_t Row() const { return destination->row; }
        platform::FolderHandle& Folder() const { return *destination->folder; }
        const std::string& Name() const { return destination->name; }
    };

    // How a step ends: the next step follows, unless the update's outcome
    // is decided (`done`) or the update is refused for `refusal`, and what
    // it changed undone.
    struct StepEnd {
        bool done = false;
        Refusal refusal;
    };
    static StepEnd Done() { return {.done = true, .refusal = std::nullopt}; }
    // On to the next step, unless refused.
    static StepEnd Unless(Refusal refusal) {
        return {.done = false, .refusal = std::move(refusal)};
    }

    // The one loop: each step of kUpdateStory on the update's way, in turn,
    // begun only where the update may stand at it (MayBegin).
    void RunSteps(UpdateOutcome& outcome);
    StepEnd Take(UpdateStep step, UpdateOutcome& outcome);

    // ---- the steps, each a change whose undo the transaction keeps ----
    StepEnd Survey(UpdateOutcome& outcome);
    StepEnd Repair(UpdateOutcome& outcome);
    StepEnd Measure(UpdateOutcome& outcome);
    StepEnd Check();
    StepEnd WriteJournal();
    StepEnd StageAll();
    StepEnd Commit();
    StepEnd Finish(UpdateOutcome& outcome);

    Refusal CheckProductNotRunning();
    bool AllNew() const;
    Refusal CheckNothingHoldsIt();
    void PlanJournal();
    // Writes this run's journal, signed, under its draft name and then its own.
    Refusal WriteJournalFile();
    Refusal Stage(Target& target);
    // Puts one row's staged copy in place of its destination, the old
    // bytes to the backup name, each move undone by the transaction.
    Refusal ReplaceFile(const Target& target);
    // The plug-in's row: replaced as any file, and met only where the
    // installation has the plug-in folder (the survey leaves it out else).
    Refusal RefreshXtras(const Target& target);
    // After an update that did not go through: what stands there now.
    void Conclude(UpdateOutcome& outcome, std::string reason);

    // ---- at the next restart (InstallationUpdateAtRestart.cpp) ----
    // The journal of an earlier run whose staging waits for the restart.
    std::optional<Journal> JournalWaitingForRestart();
    // Takes it forward: finished now where nothing holds the files any
    // more (and the usual repair then ends it), else left to the restart,
    // its replacements asked for where a killed run had not. True when that
    // decided the outcome; else `refusal` says why it could not be followed,
    // or nothing when the repair goes on.
    bool FollowWaitingJournal(const Journal& journal, UpdateOutcome& outcome, Refusal& refusal);
    // The way to the restart, for an installation held by a running
    // program: the whole installation journaled and staged, the restart
    // record written, then each staged copy asked to replace its
    // destination at the next restart.
    StepEnd StageForRestart();
    StepEnd WriteRestartRecord();
    StepEnd RegisterForRestart(UpdateOutcome& outcome);
    // Why a folder of a destination of `journal` cannot wait for the
    // restart; nothing when none.
    Refusal WhyNotAtRestart(const Journal& journal);
    // What holds the destinations of `targets` of `journal` now, in the
    // words of the checks; nothing when nothing does.
    Refusal HeldNow(const Journal& journal, const std::vector<std::size_t>& targets);

    platform::FileSystem& files_;
    const UpdatePackage& package_;
    Patience patience_;
    UpdateStanding standing_;
    InstallationSurvey survey_;
    JournalKeys keys_;
    EarlierRun earlier_;
    std::vector<Target> targets_;  // once measured
    Journal journal_;              // this run's
    UpdateTransaction transaction_;
    bool mayWaitForRestart_ = false;
    UpdateStep step_ = UpdateStep::Survey;
    std::string holder_;  // who holds the files, as the checks found
    // Where the update may wait for the restart: why it waits (the product
    // running, else the first file held), and then its way goes there.
    Refusal held_;
};

}  // namespace engine
