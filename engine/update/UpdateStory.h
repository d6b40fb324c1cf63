// The update of one installation, step by step: what each step does, what
// stands on disk if the process dies right after it (killed, the power
// lost), and what the next run then does and logs. InstallationUpdate runs
// the steps in this order and tells which one it is at (StepNow); the kill
// test ends the process in each and holds the next run to this table.
//
// Whatever a kill leaves, the next run repairs from the files' bytes and the
// journal alone: forward where every destination the journal names holds
// its new bytes, else back (InstallationRepair.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/Texts.h"
#include "engine/update/UpdateStanding.h"

namespace engine {

enum class UpdateStep : std::uint8_t {
    Survey,
    Repair,
    Measure,
    Check,
    Journal,
    Stage,
    Commit,
    Finish,
    // Held by a running program, for a run nobody watches
    // (InstallationUpdateAtRestart.cpp):
    StageForRestart,
    RestartRecord,
    Register,
};

// The line the next run logs of its repair of what a kill left, after the
// installation's path; one bit each, a step's kill may leave more than one.
enum RepairLine : std::uint8_t {
    kNoRepairLine = 1,     // nothing of the update's stands: nothing to repair
    kRepairUndone = 2,     // text::kInterruptedUndone
    kRepairCompleted = 4,  // text::kInterruptedCompleted
};

// Which update takes a step: every one, only one that changes the files now,
// or only one held by a running program that waits for the restart. The
// check, the last step of every update, chooses the way.
enum class Way : std::uint8_t { Every, Now, AtRestart };

struct StoryStep {
    UpdateStep step;
    std::string_view name;
    std::string_view does;
    std::string_view leftIfKilled;  // on disk, if the process dies right after it
    std::string_view nextRun;       // what the next run then does
    std::uint8_t logs;              // RepairLine bits: what the next run may log of it
    Way way;
};

inline constexpr std::array<StoryStep, 11> kUpdateStory{{
    {UpdateStep::Survey, "survey",
     "the installation folder and the folders of every destination are opened and listed "
     "(InstallationSurvey.h); a name that matches two entries when letter case is ignored "
     "leaves the installation as it is",
     "nothing of this run's", "updates as if this run had not been", kNoRepairLine, Way::Every},
    {UpdateStep::Repair, "repair",
     "what an earlier run left is dealt with (EarlierRun.h): its journal drafts deleted, its "
     "journal followed to its end or, where no key vouches for it or the files no longer match "
     "it, moved aside and kept with what it names; then the folder is surveyed again",
     "the earlier journal, with what the repair had not yet done: the journal goes last",
     "repairs again from the same journal, then updates",
     kNoRepairLine | kRepairUndone | kRepairCompleted, Way::Every},
    {UpdateStep::Measure, "measure",
     "each destination is read and compared with the package; one that holds the package's "
     "bytes is left alone, and an installation whose every file does needs nothing more",
     "nothing of this run's", "updates as if this run had not been", kNoRepairLine, Way::Every},
    {UpdateStep::Check, "check",
     "the product does not run from it, and nothing holds a destination to be changed open",
     "nothing of this run's", "updates as if this run had not been", kNoRepairLine, Way::Every},
    {UpdateStep::Journal, "journal",
     "a journal naming every file the update will touch (UpdateJournal.h), signed with this "
     "installation's key, is written and flushed under the run's draft name, then given its own",
     "nothing yet, or the draft (empty, cut short or whole), or the journal with every "
     "destination old",
     "deletes the draft, or follows the journal back, then updates", kNoRepairLine | kRepairUndone,
     Way::Now},
    {UpdateStep::Stage, "stage",
     "each package file is copied beside its destination under the run's staged name, hashed "
     "as it is written, flushed, and must hash to what the package check found",
     "the journal, every destination old, staged copies whole or cut short",
     "follows the journal back: deletes the staged copies that are the update's and the "
     "journal, then updates",
     kRepairUndone, Way::Now},
    {UpdateStep::Commit, "commit",
     "in table order, each destination is moved to its backup name and its staged copy to its "
     "name (ReplaceFile, RefreshXtras for the plug-in); then the change stays",
     "the journal; the destinations before the kill new with their old bytes in backups, the "
     "rest old; after the last move, every destination new",
     "follows the journal back where a destination is not new, forward where all are; then "
     "updates, or finds all new",
     kRepairUndone | kRepairCompleted, Way::Now},
    {UpdateStep::Finish, "finish", "the backups go, and last the journal",
     "every destination new, with the journal and what is left of the backups; after the "
     "journal went, nothing of the update's",
     "follows the journal forward, deleting what is left; or finds all new",
     kNoRepairLine | kRepairCompleted, Way::Now},
    {UpdateStep::StageForRestart, "stage for the restart",
     "the folders of the destinations are judged fit to wait for the restart, then the "
     "journal is written and every file staged as above; nothing is moved",
     "as after the journal or the staging: a journal without a restart record",
     "follows the journal back, then updates or stages for the restart again",
     kNoRepairLine | kRepairUndone, Way::AtRestart},
    {UpdateStep::RestartRecord, "record",
     "the restart record (~upd-<run>.restart) is written: from here the journal only goes "
     "forward, now or at the restart",
     "the journal, every file staged, the record; nothing asked of the restart yet",
     "while the files are held, asks the restart for every replacement not yet asked for, "
     "once, and waits; once nothing holds them, moves them in place now, takes back what it "
     "asked of the restart, deletes the record and follows the journal forward",
     kNoRepairLine | kRepairCompleted, Way::AtRestart},
    {UpdateStep::Register, "register",
     "each staged copy is asked to replace its destination at the next restart",
     "as after the record, with some or all of the replacements asked for",
     "as after the record: what is not yet asked for is asked for, none twice",
     kNoRepairLine | kRepairCompleted, Way::AtRestart},
}};

constexpr const StoryStep& StoryOf(UpdateStep step) {
    return kUpdateStory[static_cast<std::size_t>(step)];
}

// The text of one RepairLine bit, as the log puts it after the path.
constexpr std::string_view RepairLineText(RepairLine line) {
    switch (line) {
        case kRepairUndone:
            return text::kInterruptedUndone;
        case kRepairCompleted:
            return text::kInterruptedCompleted;
        case kNoRepairLine:
            break;
    }
    return {};
}

// Whether the update may begin `step` where it stands, and with changes of
// this run's to undo (`undoable`) or none. Checked as each step begins, in
// every build: a step begun anywhere else is a fault of the update's own.
constexpr bool MayBegin(UpdateStep step, UpdateStanding standing, bool undoable) {
    using Change = UpdateStanding::Change;
    if (standing.impossible)
        return false;
    switch (step) {
        case UpdateStep::Survey:
            return standing == UpdateStanding{} && !undoable;
        case UpdateStep::Repair:
            // The survey reads; it changes nothing.
            return standing.change == Change::None && !undoable;
        case UpdateStep::Measure:
        case UpdateStep::Check:
            // The repair is done with, and the change not yet begun.
            return standing.change != Change::Begun && !undoable;
        case UpdateStep::Journal:
        case UpdateStep::StageForRestart:
            return CanMove(standing, UpdateStanding::Event::RunBegan) &&
                   standing.change != Change::Begun && !undoable;
        case UpdateStep::Stage:
        case UpdateStep::Commit:
        case UpdateStep::RestartRecord:
        case UpdateStep::Register:
            // The journal is written, and undone should a later step fail.
            return standing.change == Change::Begun && undoable;
        case UpdateStep::Finish:
            // Committed: nothing of the change is to be undone any more.
            return standing.change == Change::Begun && !undoable;
    }
    return false;
}

// Told in the order the steps run, one line each.
constexpr bool StoryInOrder() {
    for (std::size_t i = 0; i < kUpdateStory.size(); ++i) {
        if (static_cast<std::size_t>(kUpdateStory[i].step) != i || kUpdateStory[i].logs == 0)
            return false;
    }
    return true;
}
static_assert(StoryInOrder(), "kUpdateStory tells each step once, in order");

}  // namespace engine
