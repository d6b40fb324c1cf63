// The journal an earlier run of the update left in the installation, read,
// its rows mapped to the folders the survey opened, and followed by the
// repair (InstallationRepair.h) before this run changes anything.
#include <string>
#include <utility>
#include <variant>

#include "engine/InstallationRepair.h"
#include "engine/InstallationUpdateParts.h"
#include "engine/Texts.h"

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
    if (std::holds_alternative<NotAJournal>(read)) {
        journalJudged_ = true;
        return Reason(journalPath, text::kNotOurJournal);
    }
    if (std::holds_alternative<JournalForged>(read)) {
        // Not ours: nothing it names is touched, and it tells nothing of
        // what stands there.
        journalJudged_ = true;
        return Reason(journalPath, text::kJournalMismatch);
    }
    if (std::holds_alternative<JournalCutShort>(read)) {
        // Cut short while it was written, before anything else was changed:
        // there is nothing to undo but the journal itself.
        if (Failure failure =
                TryForAWhile(patience_, [&] { return root_->Delete(kJournalName); })) {
            return Describe(journalPath, *failure);
        }
        outcome.repaired = Joined(installation_, text::kInterruptedUndone);
        journalFound_ = false;
        if (Refusal refusal = Reopen())
            return refusal;
        return Survey();
    }
    const Journal& journal = std::get<Journal>(read);
    InstallationRepair::Failed failed;
    const auto done =
        InstallationRepair(
            *root_, journal,
            FoldersOfTargets(journal, [this](std::size_t row) { return FolderOf(row); }), patience_)
            .Run(failed);
    if (!done) {
        unrepaired_ = journal;
        const std::string path = failed.target && *failed.target < journal.targets.size()
                                     ? FilePath(journal.targets[*failed.target].row)
                                     : journalPath;
        if (failed.mismatch)
            return Reason(journalPath, text::kJournalMismatch);
        return Describe(path, failed.error);
    }
    const bool completed = *done == InstallationRepair::Done::Completed;
    outcome.repaired =
        Joined(installation_, completed ? text::kInterruptedCompleted : text::kInterruptedUndone);
    journalFound_ = false;
    // The repair has changed what stands there: the folder is listed anew,
    // through a handle of its own.
    if (Refusal refusal = Reopen())
        return refusal;
    return Survey();
}

}  // namespace engine
