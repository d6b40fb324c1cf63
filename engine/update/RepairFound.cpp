// The journal an earlier run of the update left in the installation, read,
// its rows mapped to the folders the survey opened, and followed by the
// repair (InstallationRepair.h) before this run changes anything.
#include <string>
#include <utility>
#include <variant>

#include "engine/Texts.h"
#include "engine/update/InstallationRepair.h"
#include "engine/update/InstallationUpdateParts.h"
#include "engine/update/RefusedAsItStands.h"

namespace engine {

using platform::Failure;
using wording::Describe;
using wording::Joined;
using wording::Reason;

platform::Result<ReadJournal> InstallationUpdate::ReadJournalFile() {
    auto key = Key();
    if (!key)
        return key.Error();
    return ReadJournalIn(*root_, *key, patience_);
}

std::optional<Journal> InstallationUpdate::ReadFoundJournal() {
    auto read = ReadJournalFile();
    if (!read || !std::holds_alternative<Journal>(*read))
        return std::nullopt;
    return std::get<Journal>(*read);
}

InstallationUpdate::Refusal InstallationUpdate::RepairFound(UpdateOutcome& outcome) {
    const std::string journalPath = Joined(installation_ + '\\', kJournalName);
    if (auto key = Key(); !key)
        return Reason(journalPath,
                      Joined(text::kNoJournalKey, Reason("", key.Error().description)));
    auto readJournal = ReadJournalFile();
    if (!readJournal)
        return Describe(journalPath, readJournal.Error());
    const ReadJournal& read = *readJournal;
    if (RefusedAsItStands(read)) {
        Move(UpdateStanding::Event::JournalNotOurs);
        return Reason(journalPath, text::kNotOurJournal);
    }
    if (const auto* forged = std::get_if<JournalForged>(&read)) {
        // Not ours, or no longer vouched for (the key lost or replaced since
        // it was written): nothing it names is touched, and it tells nothing
        // of what stands there. The update goes forward from the package
        // instead, which needs nothing the journal says.
        return SetAside(*forged, outcome);
    }
    if (std::holds_alternative<JournalCutShort>(read)) {
        // Cut short while it was written, before anything else was changed:
        // there is nothing to undo but the journal itself.
        if (Failure failure =
                TryForAWhile(patience_, [&] { return root_->Delete(kJournalName); })) {
            return Describe(journalPath, *failure);
        }
        outcome.repaired = Joined(installation_, text::kInterruptedUndone);
        Move(UpdateStanding::Event::JournalCutShortGone);
        if (Refusal refusal = Reopen())
            return refusal;
        return Survey();
    }
    const Journal& journal = std::get<Journal>(read);
    // Until the repair is done, what stands there is what the journal says.
    unrepaired_ = journal;
    Move(UpdateStanding::Event::JournalUnrepaired);
    InstallationRepair::Failed failed;
    InstallationRepair repair(
        *root_, journal,
        FoldersOfTargets(journal, [this](std::size_t row) { return FolderOf(row); }), patience_,
        &package_);
    const auto done = repair.Run(failed);
    for (const std::size_t i : repair.KeptStaged()) {
        const JournalTarget& target = journal.targets[i];
        outcome.kept.push_back({PathBeside(target.row, target.staged), target.staged, false});
    }
    if (!done) {
        const std::string path = failed.target && *failed.target < journal.targets.size()
                                     ? FilePath(journal.targets[*failed.target].row)
                                     : journalPath;
        if (failed.mismatch)
            return Reason(journalPath, text::kJournalMismatch);
        return Describe(path, failed.error);
    }
    unrepaired_.reset();
    Move(UpdateStanding::Event::JournalFollowed);
    const bool completed = *done == InstallationRepair::Done::Completed;
    outcome.repaired =
        Joined(installation_, completed ? text::kInterruptedCompleted : text::kInterruptedUndone);
    // The repair has changed what stands there: the folder is listed anew,
    // through a handle of its own.
    if (Refusal refusal = Reopen())
        return refusal;
    return Survey();
}

InstallationUpdate::Refusal InstallationUpdate::SetAside(const JournalForged& forged,
                                                         UpdateOutcome& outcome) {
    const std::string journalPath = Joined(installation_ + '\\', journalName_);
    // Beside the installation's files, under a name that says what it is,
    // and where the update writes nothing; through the folder's handle, so
    // the journal itself is renamed, never what a link there leads to.
    const std::string keptAs =
        std::string(kJournalName).append(".unverified-").append(NewRunIdentity());
    if (Failure failure =
            TryForAWhile(patience_, [&] { return root_->Rename(journalName_, keptAs); })) {
        return Describe(journalPath, *failure);
    }
    Move(UpdateStanding::Event::JournalSetAside);
    outcome.kept.push_back({journalPath, keptAs, true});
    if (!forged.unverified)
        return std::nullopt;
    // What it names keeps its place: none of it is where this update
    // writes, whose names are its own run's.
    auto keep = [&](platform::FolderHandle* folder, const std::string& path,
                    const std::string& name) {
        if (!folder)
            return;
        auto entry = folder->Inspect(name);
        if (entry && entry->kind != platform::EntryKind::Missing)
            outcome.kept.push_back({path, name, true});
    };
    for (const JournalTarget& target : forged.unverified->targets) {
        platform::FolderHandle* folder = FolderOf(target.row);
        keep(folder, PathBeside(target.row, target.staged), target.staged);
        keep(folder, PathBeside(target.row, target.backup), target.backup);
    }
    const std::string record = forged.unverified->CommitRecord();
    keep(root_.get(), Joined(installation_ + '\\', record), record);
    return std::nullopt;
}

}  // namespace engine
