// The change of one installation, as a whole: every file of the package goes
// in, or none does. Everything is done through handles opened once
// (FolderHandle.h), so a folder swapped for a link half way cannot send a
// write outside the installation.
//
//   1. Survey:  the installation folder and the folders of every destination
//               are opened and listed; a name that matches two entries when
//               letter case is ignored leaves the installation as it is.
//   2. Repair:  a journal left by an update that was cut short is followed
//               first (InstallationRepair.h), the installation folder
//               opened anew and the survey made again; one that this
//               installation's key does not vouch for is moved aside and
//               kept, with what it names, and the update goes forward.
//   3. Measure: each destination is read and compared with the package; one
//               that already holds the package's bytes is left alone, and an
//               installation whose every file does needs nothing more.
//   4. Check:   the product does not run from it, and nothing holds a
//               destination to be changed open.
//   5. Journal: a journal naming every file the update will touch
//               (UpdateJournal.h), signed with this PC's key, is written and
//               flushed under a name of the run's, then given its own name.
//   6. Stage:   each package file is copied beside its destination under a
//               name unique to the run, hashed as it is written, flushed,
//               and must hash to what the package check found.
//   7. Commit:  in table order, each destination is moved aside to its
//               backup name and its staged copy moved to its name; then the
//               commit record is written.
//   8. Finish:  the backups, the commit record and last the journal go.
// A failure before the commit record is written undoes steps 5 to 7 in
// reverse (UpdateTransaction.h). Then, as after every update that did not
// go through, the installation is looked at again through its handles, and
// the outcome says what stands there: all old, or left in the middle, with
// the journal kept for the next run.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ReplacementTable.h"
#include "engine/RunOutcome.h"
#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdatePackage.h"
#include "engine/update/UpdateStanding.h"
#include "engine/update/UpdateTransaction.h"
#include "platform/FileSystem.h"

namespace engine {

class FolderNames;

// How the update of one installation ended, and what the log tells of it.
struct UpdateOutcome {
    // The line of a repair of an earlier, interrupted update; logged first.
    std::optional<std::string> repaired;
    UpdateEnd state = UpdateEnd::LeftAsItWas;
    bool hasXtras = false;  // whether the plug-in was (or would have been) placed
    // Midway: which rows of kReplacements hold their new bytes.
    std::array<bool, kReplacements.size()> rowIsNew{};
    std::string reason;  // why the installation was not updated
    // Updated: what of the update's own could not be deleted at the end,
    // as paths; a later run tidies it up.
    std::vector<std::string> leftOver;
    // What an earlier run left that was neither followed nor deleted.
    struct Kept {
        std::string path;    // where it was found
        std::string keptAs;  // its name now, in the same folder
        bool journalNotOurs =
            false;  // a journal no key of this PC's vouches for, or a file it names
    };
    std::vector<Kept> kept;
    // Why this PC's journal key was replaced while this update read it.
    std::optional<std::string> keyReplaced;
    // The unexpected failure that cut the update short, in its own words.
    std::optional<std::string> unexpected;
};

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

  private:
    struct Target;
    using Refusal = std::optional<std::string>;  // why the installation is not updated

    void RunSteps(UpdateOutcome& outcome);
    Refusal Open();
    // Opens the installation folder again, the same folder: after a repair
    // has renamed files in it, a listing through the handle opened before
    // need not show them (Wine keeps one listing per handle).
    Refusal Reopen();
    Refusal Survey();
    // Deletes the journal drafts a run killed before naming its journal left.
    void TidyDrafts(UpdateOutcome& outcome);
    // The key of this installation's journals (InstallationKey), from
    // this PC's key, read or made at the first call.
    platform::Result<platform::MachineKey> Key();
    // Opens the folders on the way to the destination of `row`, below the
    // root, whose names are `rootNames`.
    Refusal ReachFolderOf(Target& target, const FolderNames& rootNames);
    Refusal RepairFound(UpdateOutcome& outcome);
    // Moves a journal that no key vouches for aside, and names it and the
    // files it names as kept; the update then goes on as if none were there.
    Refusal SetAside(const JournalForged& forged, UpdateOutcome& outcome);
    platform::Result<ReadJournal> ReadJournalFile();
    // The journal an earlier run left, when it is one.
    std::optional<Journal> ReadFoundJournal();
    Refusal CheckProductNotRunning();
    Refusal Measure();
    bool AllNew() const;
    Refusal CheckNothingHoldsIt();
    void PlanJournal();
    Refusal WriteJournal();
    Refusal Stage(Target& target);
    Refusal Commit();
    std::vector<std::string> Finish();
    // After an update that did not go through: what stands there now
    // (UpdateConclusion.cpp).
    void Conclude(UpdateOutcome& outcome, std::string reason);
    // Moves standing_ on `event` (UpdateStanding.h).
    void Move(UpdateStanding::Event event);

    // Wording of failures.
    std::string FilePath(std::size_t row) const;
    // The path of `name` in the folder of the destination of `row`.
    std::string PathBeside(std::size_t row, std::string_view name) const;
    // The folder of the destination of `row`, as opened by the survey; null
    // where it could not be.
    platform::FolderHandle* FolderOf(std::size_t row) const;

    platform::FileSystem& files_;
    const UpdatePackage& package_;
    std::string installation_;
    Patience patience_;
    std::optional<platform::FileId> listed_;
    std::unique_ptr<platform::FolderHandle> root_;
    std::vector<std::unique_ptr<platform::FolderHandle>> folders_;  // on the way to destinations
    std::vector<Target> targets_;
    std::string productFile_;  // the product's executable, as named on disk
    bool hasXtras_ = false;
    std::vector<std::string> drafts_;  // journal drafts standing in the installation folder
    UpdateStanding standing_;
    std::string journalName_;            // the earlier run's journal's, as the folder lists it
    std::optional<Journal> unrepaired_;  // it, while standing_ says Unrepaired
    std::optional<platform::Result<platform::MachineKey>> key_;  // this PC's
    std::optional<std::string> keyReplaced_;
    Journal journal_;  // this run's
    UpdateTransaction transaction_;
};

}  // namespace engine
