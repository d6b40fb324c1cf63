// After an update that did not go through: what stands in the installation
// now, read through the handles the update opened.
#include <string>
#include <utility>

#include "engine/update/FileBytes.h"
#include "engine/update/InstallationUpdateParts.h"

namespace engine {

using platform::Failure;

void InstallationUpdate::Conclude(UpdateOutcome& outcome, std::string reason) {
    outcome.reason = std::move(reason);
    outcome.state = UpdateEnd::LeftAsItWas;
    // Nothing of this run's and nothing an earlier run of this program left
    // half done: the files are as they were found.
    const bool unknownJournal = journalFound_ && !journalJudged_ && !unrepaired_;
    if (!touched_ && !unrepaired_ && !outcome.repaired && !unknownJournal)
        return;
    // Else what stands there is read, each file measured against the
    // package: all old with nothing of the update's own left, all new with
    // nothing left, or in the middle.
    bool allOld = !targets_.empty();
    bool allNew = !targets_.empty();
    for (const Target& target : targets_) {
        if (!target.folder) {
            allOld = allNew = false;
            continue;
        }
        auto bytes = BytesAt(*target.folder, target.name, patience_);
        const PackageFile& source = package_.File(target.row);
        const bool isNew = bytes && *bytes && **bytes == Bytes{source.size, source.digest};
        outcome.rowIsNew[target.row] = isNew;
        allNew = allNew && isNew;
        allOld = allOld && bytes && !isNew;
    }
    auto gone = [&](platform::FolderHandle& folder, const std::string& name) {
        platform::Result<platform::FolderHandle::Entry> entry = platform::FolderHandle::Entry{};
        (void)TryForAWhile(
            patience_,
            [&]() -> Failure {
                entry = folder.Inspect(name);
                return entry ? Failure() : entry.Error();
            },
            RetryOn::InUseOnly);
        return entry && entry->kind == platform::EntryKind::Missing;
    };
    bool nothingLeft = true;
    for (const Journal* journal :
         {touched_ ? &journal_ : nullptr, unrepaired_ ? &*unrepaired_ : nullptr}) {
        if (!journal)
            continue;
        for (const JournalTarget& entry : journal->targets) {
            platform::FolderHandle* folder = FolderOf(entry.row);
            nothingLeft =
                nothingLeft && folder && gone(*folder, entry.staged) && gone(*folder, entry.backup);
        }
        nothingLeft = nothingLeft && gone(*root_, journal->CommitRecord());
    }
    if (touched_) {
        nothingLeft = nothingLeft && gone(*root_, JournalDraftName(journal_.run)) &&
                      gone(*root_, std::string(kJournalName));
    }
    // An earlier run's journal that was not followed stays, and is the
    // reason given; a change of this run is only done once it is gone.
    const bool journalStays = unrepaired_ || unknownJournal;
    if (allNew && nothingLeft && !journalStays)
        outcome.state = UpdateEnd::Updated;
    else if (allOld && nothingLeft)
        outcome.state = UpdateEnd::LeftAsItWas;
    else
        outcome.state = UpdateEnd::Midway;
}

}  // namespace engine
