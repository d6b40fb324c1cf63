#include "engine/update/UpdateConclusion.h"

#include <utility>

#include "engine/update/FileBytes.h"

namespace engine {

using platform::Failure;

namespace {

// What stands there, from where the update stood and what a look found: all
// new with nothing of an update's own left, all old with nothing left, or in
// the middle. An earlier run's journal that was not followed stays, and is
// the reason given; a change of this run is only done once it is gone.
UpdateEnd Verdict(UpdateStanding standing, bool allNew, bool allOld, bool nothingLeft) {
    // The update lost track of itself: whatever the files say, it is not
    // done, and the next run looks again.
    if (standing.impossible)
        return UpdateEnd::Midway;
    if (allNew && nothingLeft && !standing.EarlierJournalStays())
        return UpdateEnd::Updated;
    if (allOld && nothingLeft)
        return UpdateEnd::LeftAsItWas;
    return UpdateEnd::Midway;
}

}  // namespace

void Conclude(UpdateOutcome& outcome, std::string reason, UpdateStanding standing,
              const InstallationSurvey& survey, const UpdatePackage& package, Patience patience,
              const Journal& thisRun, const Journal* unrepaired) {
    outcome.reason = std::move(reason);
    outcome.state = UpdateEnd::LeftAsItWas;
    // Nothing of this run's and nothing an earlier run of this program left
    // half done: the files are as they were found.
    if (!standing.NeedsALook())
        return;
    // Else what stands there is read, each file measured against the
    // package: all old with nothing of the update's own left, all new with
    // nothing left, or in the middle.
    const std::vector<Destination>& destinations = survey.Destinations();
    bool allOld = !destinations.empty();
    bool allNew = !destinations.empty();
    for (const Destination& destination : destinations) {
        if (!destination.folder) {
            allOld = allNew = false;
            continue;
        }
        auto bytes = BytesAt(*destination.folder, destination.name, patience);
        const PackageFile& source = package.File(destination.row);
        const bool isNew = bytes && *bytes && **bytes == Bytes{source.size, source.digest};
        outcome.rowIsNew[destination.row] = isNew;
        allNew = allNew && isNew;
        allOld = allOld && bytes && !isNew;
    }
    auto gone = [&](platform::FolderHandle& folder, const std::string& name) {
        platform::Result<platform::FolderHandle::Entry> entry = platform::FolderHandle::Entry{};
        (void)TryForAWhile(
            patience,
            [&]() -> Failure {
                entry = folder.Inspect(name);
                return entry ? Failure() : entry.Error();
            },
            RetryOn::InUseOnly);
        return entry && entry->kind == platform::EntryKind::Missing;
    };
    bool nothingLeft = true;
    const bool began = standing.change == UpdateStanding::Change::Begun;
    const bool stays = standing.earlier == UpdateStanding::Earlier::Unrepaired && unrepaired;
    for (const Journal* journal : {began ? &thisRun : nullptr, stays ? unrepaired : nullptr}) {
        if (!journal)
            continue;
        for (const JournalTarget& entry : journal->targets) {
            platform::FolderHandle* folder = survey.FolderOf(entry.row);
            nothingLeft =
                nothingLeft && folder && gone(*folder, entry.staged) && gone(*folder, entry.backup);
        }
        // Left by an earlier version of this program, which wrote one.
        if (journal == unrepaired)
            nothingLeft = nothingLeft && gone(survey.Root(), journal->CommitRecord());
    }
    if (began) {
        nothingLeft = nothingLeft && gone(survey.Root(), JournalDraftName(thisRun.run)) &&
                      gone(survey.Root(), std::string(kJournalName));
    }
    outcome.state = Verdict(standing, allNew, allOld, nothingLeft);
}

}  // namespace engine
