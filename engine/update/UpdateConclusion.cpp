// After an update that did not go through: what stands in the installation
// now, read through the handles the update opened.
#include <string>
#include <utility>

#include "engine/update/FileBytes.h"
#include "engine/update/InstallationUpdateParts.h"

namespace engine {

using platform::Failure;

namespace {

// What stands there, from where the update stood and what a look found: all
// new with nothing of an update's own left, all old with nothing left, or in
// the middle. An earlier run's journal that was not followed stays, and is
// the reason given; a change of this run is only done once it is gone.
UpdateEnd Verdict(UpdateStanding standing, bool allNew, bool allOld, bool nothingLeft) {
    if (allNew && nothingLeft && !standing.EarlierJournalStays())
        return UpdateEnd::Updated;
    if (allOld && nothingLeft)
        return UpdateEnd::LeftAsItWas;
    return UpdateEnd::Midway;
}

}  // namespace

void InstallationUpdate::Move(UpdateStanding::Event event) {
    standing_ = Next(standing_, event);
}

void InstallationUpdate::Conclude(UpdateOutcome& outcome, std::string reason) {
    outcome.reason = std::move(reason);
    outcome.state = UpdateEnd::LeftAsItWas;
    // Nothing of this run's and nothing an earlier run of this program left
    // half done: the files are as they were found.
    if (!standing_.NeedsALook())
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
    const bool began = standing_.change == UpdateStanding::Change::Begun;
    const bool unrepaired =
        standing_.earlier == UpdateStanding::Earlier::Unrepaired && unrepaired_.has_value();
    for (const Journal* journal :
         {began ? &journal_ : nullptr, unrepaired ? &*unrepaired_ : nullptr}) {
        if (!journal)
            continue;
        for (const JournalTarget& entry : journal->targets) {
            platform::FolderHandle* folder = FolderOf(entry.row);
            nothingLeft =
                nothingLeft && folder && gone(*folder, entry.staged) && gone(*folder, entry.backup);
        }
        nothingLeft = nothingLeft && gone(*root_, journal->CommitRecord());
    }
    if (began) {
        nothingLeft = nothingLeft && gone(*root_, JournalDraftName(journal_.run)) &&
                      gone(*root_, std::string(kJournalName));
    }
    outcome.state = Verdict(standing_, allNew, allOld, nothingLeft);
}

}  // namespace engine
