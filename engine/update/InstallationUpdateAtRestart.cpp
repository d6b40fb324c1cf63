// An installation held by a running program, finished at the next restart.
// Nothing of it changes now: a product in use must not meet new files beside
// old ones. Every file is staged and journaled as any update stages it; a
// restart record is written; then each staged copy is asked to replace its
// destination at the restart (RestartReplacements.h). In that order, so a
// run killed at any point leaves either a journal without the record, which
// the usual repair undoes, or one with it, which only ever goes forward:
//
//   - before the restart, the program still holding the files: every
//     replacement not yet asked for is asked for (a run killed while asking),
//     none twice; the installation waits;
//   - the program closed, before or after the restart: what the restart did
//     not do is done now, by renames through the handles, the replacements
//     asked for are taken back, the record deleted, and the usual repair
//     finishes the journal: the backups, the journal, nothing else left.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Strings.h"
#include "engine/Texts.h"
#include "engine/update/FailureWording.h"
#include "engine/update/FileBytes.h"
#include "engine/update/InstallationRepair.h"
#include "engine/update/InstallationUpdate.h"

namespace engine {

using platform::Failure;
using platform::FileError;
using wording::Describe;
using wording::Reason;

namespace {

bool IsFile(platform::FolderHandle& folder, std::string_view name) {
    auto entry = folder.Inspect(name);
    return entry && entry->kind == platform::EntryKind::File;
}

}  // namespace

std::optional<Journal> InstallationUpdate::JournalWaitingForRestart() {
    auto key = keys_.For(survey_.Root());
    if (!key)
        return std::nullopt;
    auto read = ReadJournalIn(survey_.Root(), *key, patience_);
    if (!read || !std::holds_alternative<Journal>(*read))
        return std::nullopt;
    Journal& journal = std::get<Journal>(*read);
    if (!IsFile(survey_.Root(), journal.RestartRecord()))
        return std::nullopt;
    return std::move(journal);
}

InstallationUpdate::Refusal InstallationUpdate::WhyNotAtRestart(const Journal& journal) {
    platform::RestartReplacements* atRestart = files_.AtRestart();
    if (!atRestart)
        return std::nullopt;  // asked by the caller first
    for (const JournalTarget& target : journal.targets) {
        platform::FolderHandle* folder = survey_.FolderOf(target.row);
        if (!folder)
            return Reason(survey_.PathOf(target.row), text::kCannotList);
        auto why = atRestart->FolderUsersCanChange(*folder);
        if (!why)
            return Describe(survey_.PathOf(target.row), why.Error());
        if (*why)
            return Joined(text::kCannotWaitBefore, **why, text::kCannotWaitAfter);
    }
    return std::nullopt;
}

InstallationUpdate::Refusal InstallationUpdate::HeldNow(const Journal& journal,
                                                        const std::vector<std::size_t>& targets) {
    if (Refusal running = CheckProductNotRunning())
        return running;
    for (const std::size_t i : targets) {
        const JournalTarget& target = journal.targets[i];
        platform::FolderHandle& folder = *survey_.FolderOf(target.row);
        if (!IsFile(folder, target.destination))
            continue;
        const Failure failure = TryForAWhile(
            patience_, [&] { return folder.CheckNotInUse(target.destination); },
            RetryOn::InUseOnly);
        if (!failure || failure->kind != FileError::Kind::InUse)
            continue;
        const std::string path = survey_.PathOf(target.row);
        if (const auto application = files_.ApplicationUsing(path)) {
            holder_ = *application;
            return Joined(path, text::kUsedByBefore, *application, text::kUsedByAfter);
        }
        holder_ = text::kAnotherProgram;
        return Joined(path, text::kUsedByAnother);
    }
    return std::nullopt;
}

bool InstallationUpdate::FollowWaitingJournal(const Journal& journal, UpdateOutcome& outcome,
                                              Refusal& refusal) {
    // Each destination is new already (the restart replaced it), or old
    // with its new bytes staged beside it (the restart has not come, or did
    // not replace it), or half way through a finish a kill cut short: old
    // bytes in the backup, new in the staged copy, nothing at its name.
    std::vector<std::size_t> pending;
    std::vector<bool> replaced(journal.targets.size(), false);
    platform::RestartReplacements* atRestart = files_.AtRestart();
    // What stands there is not what the journal says: someone changed it.
    // Nothing more is asked of the restart, which could otherwise put a file
    // that is not ours in place; then the usual repair sets the journal
    // aside and the update goes forward, so that one run ends it.
    auto mismatch = [&] {
        for (const JournalTarget& target : journal.targets) {
            platform::FolderHandle* folder = survey_.FolderOf(target.row);
            Failure failure = folder && atRestart
                                  ? atRestart->TakeBack(*folder, target.staged, target.destination)
                                  : Failure();
            if (failure) {
                refusal = Describe(survey_.PathOf(target.row), *failure);
                return false;
            }
        }
        const std::string record = journal.RestartRecord();
        if (Failure failure =
                TryForAWhile(patience_, [&] { return survey_.Root().Delete(record); });
            failure && failure->kind != FileError::Kind::NotFound) {
            refusal = Describe(survey_.PathInRoot(record), *failure);
        }
        return false;
    };
    for (std::size_t i = 0; i < journal.targets.size(); ++i) {
        const JournalTarget& target = journal.targets[i];
        platform::FolderHandle* folder = survey_.FolderOf(target.row);
        if (!folder)
            return mismatch();
        const TargetOnDisk on = ReadTargetOnDisk(*folder, target, patience_);
        const bool staged = on.staged && *on.staged == target.after;
        const bool backupOld = on.backup && target.existed && *on.backup == target.before;
        if (!on.unreadable && on.IsNew(target) && !on.staged && (!on.backup || backupOld)) {
            replaced[i] = true;
        } else if (!on.unreadable && staged &&
                   ((on.IsOld(target) && !on.backup) ||
                    (target.existed && !on.destination && backupOld))) {
            pending.push_back(i);
        } else {
            return mismatch();
        }
    }
    if (!pending.empty()) {
        if (const Refusal held = HeldNow(journal, pending)) {
            // Still held: every replacement is asked for, once.
            if (!atRestart) {
                refusal = held;
                return false;
            }
            if (Refusal why = WhyNotAtRestart(journal)) {
                refusal = std::move(why);
                return false;
            }
            for (const std::size_t i : pending) {
                const JournalTarget& target = journal.targets[i];
                platform::FolderHandle& folder = *survey_.FolderOf(target.row);
                auto registered = atRestart->Registered(folder, target.staged, target.destination);
                Failure failure = registered ? Failure() : registered.Error();
                if (!failure && !*registered)
                    failure = atRestart->Register(folder, target.staged, target.destination);
                if (failure) {
                    refusal = Describe(survey_.PathOf(target.row), *failure);
                    return false;
                }
            }
            outcome.reason = *held;
            outcome.heldBy = holder_;
            outcome.state =
                pending.size() == journal.targets.size() ? UpdateEnd::AtRestart : UpdateEnd::Midway;
            for (std::size_t i = 0; i < journal.targets.size(); ++i)
                outcome.rowIsNew[journal.targets[i].row] = replaced[i];
            return true;
        }
        // Nothing holds them any more: done now, as the commit does it.
        for (const std::size_t i : pending) {
            const JournalTarget& target = journal.targets[i];
            platform::FolderHandle& folder = *survey_.FolderOf(target.row);
            Failure failure;
            if (IsFile(folder, target.destination)) {
                failure = TryForAWhile(
                    patience_, [&] { return folder.Rename(target.destination, target.backup); });
            }
            if (!failure) {
                failure = TryForAWhile(
                    patience_, [&] { return folder.Rename(target.staged, target.destination); });
            }
            if (failure) {
                refusal = Describe(survey_.PathOf(target.row), *failure);
                return false;
            }
        }
    }
    // Every destination is new: what was asked of the restart is taken
    // back, the record goes, and the repair ends the journal.
    if (atRestart) {
        for (const JournalTarget& target : journal.targets) {
            platform::FolderHandle& folder = *survey_.FolderOf(target.row);
            if (Failure failure = atRestart->TakeBack(folder, target.staged, target.destination)) {
                refusal = Describe(survey_.PathOf(target.row), *failure);
                return false;
            }
        }
    }
    const std::string record = journal.RestartRecord();
    if (Failure failure = TryForAWhile(patience_, [&] { return survey_.Root().Delete(record); });
        failure && failure->kind != FileError::Kind::NotFound) {
        refusal = Describe(survey_.PathInRoot(record), *failure);
    }
    return false;
}

InstallationUpdate::StepEnd InstallationUpdate::StageForRestart() {
    PlanJournal();
    // Judged before anything is written: a folder users can change leaves
    // the installation as it is.
    if (Refusal why = WhyNotAtRestart(journal_))
        return Unless(std::move(why));
    if (Refusal refusal = WriteJournalFile())
        return Unless(std::move(refusal));
    return StageAll();
}

InstallationUpdate::StepEnd InstallationUpdate::WriteRestartRecord() {
    platform::FolderHandle& root = survey_.Root();
    const std::string record = journal_.RestartRecord();
    auto wasFree = std::make_shared<bool>(false);
    if (Failure failure = transaction_.Do({
            .target = ~std::size_t{0},  // of no destination
            .run =
                [&root, record, wasFree] {
                    auto entry = root.Inspect(record);
                    *wasFree = entry && entry->kind == platform::EntryKind::Missing;
                    bool created = false;
                    return WriteNewFile(root, record, {}, created);
                },
            .happened = [&root, record, wasFree] { return *wasFree && IsFile(root, record); },
            .undo = [&root, record] { return root.Delete(record); },
            .undoDeletes = true,
        })) {
        return Unless(Describe(survey_.PathInRoot(record), *failure));
    }
    return {};
}

InstallationUpdate::StepEnd InstallationUpdate::RegisterForRestart(UpdateOutcome& outcome) {
    platform::RestartReplacements* atRestart = files_.AtRestart();
    for (const Target& target : targets_) {
        if (!target.entry)
            continue;
        const JournalTarget& entry = journal_.targets[*target.entry];
        platform::FolderHandle& folder = target.Folder();
        const std::string staged = entry.staged;
        const std::string destination = entry.destination;
        if (Failure failure = transaction_.Do({
                .target = *target.entry,
                .run = [atRestart, &folder, staged,
                        destination] { return atRestart->Register(folder, staged, destination); },
                .happened =
                    [atRestart, &folder, staged, destination] {
                        auto registered = atRestart->Registered(folder, staged, destination);
                        return !registered || *registered;
                    },
                .undo = [atRestart, &folder, staged,
                         destination] { return atRestart->TakeBack(folder, staged, destination); },
                .undoDeletes = false,
            })) {
            return Unless(Describe(survey_.PathOf(target.Row()), *failure));
        }
    }
    transaction_.Commit();
    outcome.state = UpdateEnd::AtRestart;
    outcome.reason = *held_;
    outcome.heldBy = holder_;
    return Done();
}

}  // namespace engine
