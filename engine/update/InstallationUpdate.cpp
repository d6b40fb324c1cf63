#include "engine/update/InstallationUpdate.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "engine/ReplacementTable.h"
#include "engine/Strings.h"
#include "engine/Texts.h"
#include "engine/Utf8.h"
#include "engine/update/FailureWording.h"
#include "engine/update/FileBytes.h"
#include "engine/update/UpdateConclusion.h"

namespace engine {

using platform::Failure;
using platform::FileError;
using wording::Describe;
using wording::Reason;

namespace {

constexpr std::size_t kNoTarget = ~std::size_t{0};

// A rename that reports a failure may still have happened: the system can
// fail to make it durable after making it. What stands there tells.
bool Moved(platform::FolderHandle& folder, std::string_view from, std::string_view to) {
    auto source = folder.Inspect(from);
    auto destination = folder.Inspect(to);
    return source && destination && source->kind == platform::EntryKind::Missing &&
           destination->kind == platform::EntryKind::File;
}

// A step that creates files in `folder`, undone by deleting the `made`
// ones, any of which may not have come to be. `create` tells once the first
// one has; where it fails or throws before it can tell, a name that was free
// before and holds a file now came to be all the same. A name that was not
// free before is never deleted.
UpdateTransaction::Step Creating(std::size_t target, platform::FolderHandle& folder,
                                 const std::vector<std::string>& made,
                                 std::function<Failure(bool& created)> create) {
    auto created = std::make_shared<bool>(false);
    auto wasFree = std::make_shared<std::vector<bool>>();
    auto isFile = [&folder](const std::string& name) {
        auto entry = folder.Inspect(name);
        return entry && entry->kind == platform::EntryKind::File;
    };
    return {
        .target = target,
        .run =
            [&folder, made, create = std::move(create), created, wasFree] {
                for (const std::string& name : made) {
                    auto entry = folder.Inspect(name);
                    wasFree->push_back(entry && entry->kind == platform::EntryKind::Missing);
                }
                return create(*created);
            },
        .happened =
            [made, created, wasFree, isFile] {
                if (*created)
                    return true;
                for (std::size_t i = 0; i < wasFree->size(); ++i) {
                    if ((*wasFree)[i] && isFile(made[i]))
                        return true;
                }
                return false;
            },
        .undo = [&folder, made, wasFree]() -> Failure {
            for (std::size_t i = 0; i < made.size(); ++i) {
                if (i < wasFree->size() && !(*wasFree)[i])
                    continue;
                Failure failure = folder.Delete(made[i]);
                if (failure && failure->kind != FileError::Kind::NotFound)
                    return failure;
            }
            return std::nullopt;
        },
        .undoDeletes = true,
    };
}

// A rename of `folder`'s, undone by the rename back.
UpdateTransaction::Step Renaming(std::size_t target, platform::FolderHandle& folder,
                                 const std::string& from, const std::string& to) {
    return {
        .target = target,
        .run = [&folder, from, to] { return folder.Rename(from, to); },
        .happened = [&folder, from, to] { return Moved(folder, from, to); },
        .undo = [&folder, from, to] { return folder.Rename(to, from); },
        .undoDeletes = false,
    };
}

}  // namespace

InstallationUpdate::InstallationUpdate(platform::FileSystem& files, const UpdatePackage& package,
                                       std::string installation, Patience patience,
                                       std::optional<platform::FileId> listed)
    : files_(files),
      package_(package),
      patience_(patience),
      survey_(files, std::move(installation), listed),
      keys_(files),
      earlier_(survey_, keys_, package, patience, standing_),
      transaction_(patience) {}

InstallationUpdate::~InstallationUpdate() = default;

// ---- the run -----------------------------------------------------------------

UpdateOutcome InstallationUpdate::Run() {
    UpdateOutcome outcome;
    try {
        RunSteps(outcome);
        outcome.keptBefore = earlier_.KeptBefore();
        outcome.keyReplaced = keys_.Replaced();
        return outcome;
    } catch (const std::exception& failure) {
        outcome.unexpected = IsUtf8(failure.what()) ? failure.what() : text::kUnknownFailure;
    } catch (...) {
        outcome.unexpected = std::string(text::kUnknownFailure);
    }
    // Whatever went wrong stays with this installation: what this update
    // changed is undone, and what then stands there has the last word, as
    // after any other failure.
    outcome.keyReplaced = keys_.Replaced();
    const std::string reason = Joined(text::kUnexpectedError, *outcome.unexpected);
    // A step that took effect before it threw counts as the change begun.
    // Marked, not thrown, where that move is impossible too.
    if (standing_.change != UpdateStanding::Change::Begun && transaction_.Changed())
        standing_ = Next(standing_, UpdateStanding::Event::RunBegan);
    try {
        (void)transaction_.RollBack();
        Conclude(outcome, reason);
    } catch (...) {
        // Not even a look at the files was to be had: only an installation
        // nothing was done to is known to be as it was.
        outcome.reason = reason;
        outcome.rowIsNew = {};
        outcome.state = standing_.MaybeChanged() ? UpdateEnd::Midway : UpdateEnd::LeftAsItWas;
    }
    return outcome;
}

void InstallationUpdate::RunSteps(UpdateOutcome& outcome) {
    for (const StoryStep& told : kUpdateStory) {
        // The check chose the way: the change now, or the restart.
        if (told.way != Way::Every && (told.way == Way::AtRestart) != held_.has_value())
            continue;
        step_ = told.step;
        if (!MayBegin(step_, standing_, transaction_.Changed())) {
            standing_.impossible = true;
            throw std::logic_error("the update began the step \"" + std::string(told.name) +
                                   "\" where it cannot stand");
        }
        StepEnd end = Take(step_, outcome);
        if (end.refusal) {
            transaction_.RollBack();
            Conclude(outcome, std::move(*end.refusal));
            return;
        }
        if (end.done)
            return;
    }
}

InstallationUpdate::StepEnd InstallationUpdate::Take(UpdateStep step, UpdateOutcome& outcome) {
    switch (step) {
        case UpdateStep::Survey:
            return Survey(outcome);
        case UpdateStep::Repair:
            return Repair(outcome);
        case UpdateStep::Measure:
            return Measure(outcome);
        case UpdateStep::Check:
            return Check();
        case UpdateStep::Journal:
            return WriteJournal();
        case UpdateStep::Stage:
            return StageAll();
        case UpdateStep::Commit:
            return Commit();
        case UpdateStep::Finish:
            return Finish(outcome);
        case UpdateStep::StageForRestart:
            return StageForRestart();
        case UpdateStep::RestartRecord:
            return WriteRestartRecord();
        case UpdateStep::Register:
            return RegisterForRestart(outcome);
    }
    throw std::logic_error("the update met a step it does not know");
}

// ---- the steps -------------------------------------------------------------------

InstallationUpdate::StepEnd InstallationUpdate::Survey(UpdateOutcome& outcome) {
    Refusal refusal = survey_.Open();
    if (!refusal)
        refusal = survey_.List(standing_);
    outcome.hasXtras = survey_.HasXtras();
    return Unless(std::move(refusal));
}

InstallationUpdate::StepEnd InstallationUpdate::Repair(UpdateOutcome& outcome) {
    earlier_.TidyDrafts(outcome);
    if (standing_.earlier != UpdateStanding::Earlier::Unread)
        return {};
    // Staged for the restart: it goes forward, now or at the restart.
    if (const std::optional<Journal> waiting = JournalWaitingForRestart()) {
        Refusal refusal;
        if (FollowWaitingJournal(*waiting, outcome, refusal))
            return Done();
        if (refusal)
            return Unless(std::move(refusal));
        if (standing_.earlier != UpdateStanding::Earlier::Unread)
            return {};
    }
    // Nothing is touched while the product runs from the installation, not
    // even to repair it.
    if (Refusal running = CheckProductNotRunning()) {
        // What stands there is what the journal of the earlier run says, if
        // anything, and the lines tell it.
        earlier_.LeaveUnrepaired();
        return Unless(std::move(running));
    }
    Refusal refusal = earlier_.Repair(outcome);
    outcome.hasXtras = survey_.HasXtras();
    return Unless(std::move(refusal));
}

InstallationUpdate::StepEnd InstallationUpdate::Measure(UpdateOutcome& outcome) {
    targets_.clear();
    for (const Destination& destination : survey_.Destinations()) {
        Target& target = targets_.emplace_back();
        target.destination = &destination;
        target.exists = destination.exists;
        if (!target.exists)
            continue;
        auto bytes = BytesAt(target.Folder(), target.Name(), patience_);
        if (!bytes) {
            // Told after the checks, which name a folder, a link or a
            // read-only file in the way in their own words.
            target.unmeasured = bytes.Error();
            continue;
        }
        target.exists = bytes->has_value();
        target.bytes = *bytes;
        const PackageFile& source = package_.File(target.Row());
        target.isNew = target.bytes && *target.bytes == Bytes{source.size, source.digest};
    }
    // Already at the package's bytes: nothing to change, so nothing (a held
    // file, the product running) can stand in the way.
    if (!AllNew())
        return {};
    outcome.state = UpdateEnd::Updated;
    return Done();
}

InstallationUpdate::StepEnd InstallationUpdate::Check() {
    // Held by a running program: where the update may wait for the restart,
    // only what no restart would mend refuses it.
    Refusal refusal = CheckProductNotRunning();
    if (refusal && mayWaitForRestart_)
        held_ = std::exchange(refusal, std::nullopt);
    if (!refusal)
        refusal = CheckNothingHoldsIt();
    for (const Target& target : targets_) {
        if (!refusal && target.unmeasured)
            refusal = Describe(survey_.PathOf(target.Row()), *target.unmeasured);
    }
    // Without the system's replacements at the restart, a held file
    // refuses the update as in a run somebody watches.
    if (!refusal && held_ && !files_.AtRestart())
        refusal = std::exchange(held_, std::nullopt);
    return Unless(std::move(refusal));
}

// ---- the checks ------------------------------------------------------------------

InstallationUpdate::Refusal InstallationUpdate::CheckProductNotRunning() {
    // The very file, not its path: the product may have been started
    // through a link, another drive letter or a short name.
    auto product = survey_.Root().OpenFile(survey_.ProductFile());
    if (!product)
        return std::nullopt;  // no such program file can be running
    const std::optional<platform::FileId> id = (*product)->Id();
    if (id && files_.ProgramRunsFrom(*id)) {
        holder_ = text::kProductProgram;
        return std::string(text::kProductRunning);
    }
    return std::nullopt;
}

bool InstallationUpdate::AllNew() const {
    return std::all_of(targets_.begin(), targets_.end(),
                       [](const Target& target) { return target.isNew; });
}

InstallationUpdate::Refusal InstallationUpdate::CheckNothingHoldsIt() {
    for (Target& target : targets_) {
        if (!target.exists || target.isNew)
            continue;
        auto entry = target.Folder().Inspect(target.Name());
        if (!entry)
            return Describe(survey_.PathOf(target.Row()), entry.Error());
        switch (entry->kind) {
            case platform::EntryKind::Missing:
                target.exists = false;
                continue;
            case platform::EntryKind::Link:
                return Joined(survey_.PathOf(target.Row()), text::kIsALink);
            case platform::EntryKind::Folder:
                return Reason(survey_.PathOf(target.Row()), text::kIsAFolder);
            case platform::EntryKind::File:
                break;
        }
        if (entry->readOnly)
            return Reason(survey_.PathOf(target.Row()), text::kIsReadOnly);
        // A virus scanner holds a file it has just seen for a moment; a
        // program the user runs holds it for longer.
        const Failure failure = TryForAWhile(
            patience_, [&] { return target.Folder().CheckNotInUse(target.Name()); },
            RetryOn::InUseOnly);
        if (!failure)
            continue;
        if (failure->kind != FileError::Kind::InUse)
            return Describe(survey_.PathOf(target.Row()), *failure);
        std::string inUse;
        std::string holder;
        if (const auto application = files_.ApplicationUsing(survey_.PathOf(target.Row()))) {
            inUse = survey_.PathOf(target.Row())
                        .append(text::kUsedByBefore)
                        .append(*application)
                        .append(text::kUsedByAfter);
            holder = *application;
        } else {
            inUse = Joined(survey_.PathOf(target.Row()), text::kUsedByAnother);
            holder = text::kAnotherProgram;
        }
        if (!mayWaitForRestart_)
            return inUse;
        // The rest is checked too: the restart mends a held file, nothing else.
        if (!held_) {
            held_ = std::move(inUse);
            if (holder_.empty())
                holder_ = std::move(holder);
        }
    }
    return std::nullopt;
}

// ---- the change ------------------------------------------------------------------

void InstallationUpdate::PlanJournal() {
    // Without a key, WriteJournalFile refuses the update before anything is named.
    auto key = keys_.For(survey_.Root());
    journal_ = Journal{key ? KeyedRunIdentity(*key) : NewRunIdentity(), {}};
    for (Target& target : targets_) {
        if (target.isNew)
            continue;
        target.entry = journal_.targets.size();
        JournalTarget& entry = journal_.targets.emplace_back();
        entry.row = target.Row();
        entry.destination = target.Name();
        entry.staged = StagedName(target.Name(), journal_.run);
        entry.backup = BackupName(target.Name(), journal_.run);
        const PackageFile& source = package_.File(target.Row());
        entry.after = Bytes{source.size, source.digest};
        entry.existed = target.exists;
        if (target.bytes)
            entry.before = *target.bytes;
    }
}

InstallationUpdate::StepEnd InstallationUpdate::WriteJournal() {
    PlanJournal();
    return Unless(WriteJournalFile());
}

InstallationUpdate::Refusal InstallationUpdate::WriteJournalFile() {
    const std::string journalPath = survey_.PathInRoot(kJournalName);
    auto key = keys_.For(survey_.Root());
    if (!key)
        return Reason(journalPath,
                      Joined(text::kNoJournalKey, Reason("", key.Error().description)));
    const std::string text = JournalText(journal_, *key);
    const std::string draft = JournalDraftName(journal_.run);
    // Written whole and flushed under the run's own name first: a file of
    // the journal's name is never one this program left empty or half
    // written, so an empty one is the user's.
    bool created = false;
    const Failure failure = transaction_.Do(Creating(
        kNoTarget, survey_.Root(), {std::string(kJournalName), draft}, [&](bool& made) -> Failure {
            Failure failure = WriteNewFile(survey_.Root(), draft, text, made);
            created = made;
            if (failure)
                return failure;
            return survey_.Root().Rename(draft, kJournalName);
        }));
    if (created)
        standing_.Move(UpdateStanding::Event::RunBegan);
    if (failure)
        return Describe(journalPath, *failure);
    return std::nullopt;
}

InstallationUpdate::StepEnd InstallationUpdate::StageAll() {
    for (Target& target : targets_) {
        if (!target.entry)
            continue;
        if (Refusal refusal = Stage(target))
            return Unless(std::move(refusal));
    }
    return {};
}

InstallationUpdate::Refusal InstallationUpdate::Stage(Target& target) {
    const std::size_t index = *target.entry;
    const JournalTarget& entry = journal_.targets[index];
    const PackageFile& source = package_.File(target.Row());
    Refusal why;
    auto copy = [&](bool& created) -> Failure {
        auto input = package_.Open(target.Row());
        if (!input) {
            why = Describe(source.path, input.Error());
            return input.Error();
        }
        auto output = target.Folder().CreateFile(entry.staged);
        if (!output)
            return output.Error();
        created = true;
        bool readFailed = false;
        auto copied = CopyBytes(**input, **output, readFailed);
        if (!copied) {
            if (readFailed)
                why = Describe(source.path, copied.Error());
            return copied.Error();
        }
        // What was written is what the package check read, or the file
        // changed since: a package being replaced under a running update is
        // not installed.
        if (*copied != Bytes{source.size, source.digest}) {
            why = Joined(source.path, text::kPackageChanged);
            return FileError{FileError::Kind::Changed, {}};
        }
        return (*output)->Finish((*input)->LastWriteTime(),
                                 target.exists ? target.Name() : std::string_view{});
    };
    const Failure failure =
        transaction_.Do(Creating(index, target.Folder(), {entry.staged}, std::move(copy)));
    if (failure)
        return why ? std::move(why) : Describe(survey_.PathOf(target.Row()), *failure);
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::ReplaceFile(const Target& target) {
    const std::size_t i = *target.entry;
    const JournalTarget& entry = journal_.targets[i];
    platform::FolderHandle& folder = target.Folder();
    if (target.exists) {
        if (Failure failure = transaction_.Do(Renaming(i, folder, entry.destination, entry.backup)))
            return Describe(survey_.PathOf(target.Row()), *failure);
    }
    if (Failure failure = transaction_.Do(Renaming(i, folder, entry.staged, entry.destination)))
        return Describe(survey_.PathOf(target.Row()), *failure);
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::RefreshXtras(const Target& target) {
    return ReplaceFile(target);
}

InstallationUpdate::StepEnd InstallationUpdate::Commit() {
    for (const Target& target : targets_) {
        if (!target.entry)
            continue;
        const bool plugIn = kReplacements[target.Row()].onlyWithXtras;
        if (Refusal refusal = plugIn ? RefreshXtras(target) : ReplaceFile(target))
            return Unless(std::move(refusal));
    }
    // Every destination holds its new bytes: the files say so themselves,
    // and a repair reads them, so nothing more is written.
    transaction_.Commit();
    return {};
}

InstallationUpdate::StepEnd InstallationUpdate::Finish(UpdateOutcome& outcome) {
    // The journal goes last, and only once every backup is gone: until
    // then the next run finishes what is left, as the journal says.
    std::vector<std::string> left;
    for (const Target& target : targets_) {
        if (!target.entry || !journal_.targets[*target.entry].existed)
            continue;
        const std::string& backup = journal_.targets[*target.entry].backup;
        if (TryForAWhile(patience_, [&] { return target.Folder().Delete(backup); }))
            left.push_back(survey_.PathBeside(target.Row(), backup));
    }
    if (left.empty() &&
        TryForAWhile(patience_, [&] { return survey_.Root().Delete(kJournalName); }))
        left.push_back(survey_.PathInRoot(kJournalName));
    outcome.leftOver = std::move(left);
    outcome.state = UpdateEnd::Updated;
    return Done();
}

void InstallationUpdate::Conclude(UpdateOutcome& outcome, std::string reason) {
    const std::optional<Journal>& unrepaired = earlier_.Unrepaired();
    engine::Conclude(outcome, std::move(reason), standing_, survey_, package_, patience_, journal_,
                     unrepaired ? &*unrepaired : nullptr);
}

}  // namespace engine
