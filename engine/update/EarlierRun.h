// What an earlier run of the update left in the installation, dealt with
// before this run changes anything: the journal drafts of a run killed
// before its journal took its name are deleted, and a journal is read and
// followed to its end (InstallationRepair.h), or set aside, kept with what
// it names, where no key of this PC's vouches for it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/RunEvents.h"

#include "engine/update/InstallationSurvey.h"
#include "engine/update/JournalKeys.h"
#include "engine/update/KeptSets.h"
#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdatePackage.h"
#include "engine/update/UpdateStanding.h"

namespace engine {

struct UpdateOutcome;

class EarlierRun {
  public:
    // Each step moves `standing` by what it finds and does, and tells the
    // log's part of it in the outcome (its `repaired` and `kept`).
    EarlierRun(InstallationSurvey& survey, JournalKeys& keys, const UpdatePackage& package,
               Patience patience, UpdateStanding& standing)
        : survey_(survey),
          keys_(keys),
          package_(package),
          patience_(patience),
          standing_(standing) {}

    // Deletes the drafts the survey listed that this program can be shown
    // to have begun.
    void TidyDrafts(UpdateOutcome& outcome);
    // Follows the journal the survey listed, or sets it aside, then has the
    // installation surveyed anew.
    InstallationSurvey::Refusal Repair(UpdateOutcome& outcome);
    // Where the update is refused before the repair: reads the journal, so
    // that what stands there is what it says.
    void LeaveUnrepaired();
    // The journal not followed, while the standing says so.
    const std::optional<Journal>& Unrepaired() const { return unrepaired_; }
    // What earlier runs set aside there and still stands, relative to the
    // installation folder, for the log of every run.
    std::vector<std::string> KeptBefore() const;

  private:
    // Moves a journal that no key vouches for aside, and names it and the
    // files it names as kept; the update then goes on as if none were there.
    InstallationSurvey::Refusal SetAside(const std::optional<Journal>& named,
                                         RunEvents::KeptWhy why, UpdateOutcome& outcome);
    KeptSets Kept() const;
    InstallationSurvey::Refusal SurveyAgain();

    InstallationSurvey& survey_;
    JournalKeys& keys_;
    const UpdatePackage& package_;
    Patience patience_;
    UpdateStanding& standing_;
    std::optional<Journal> unrepaired_;
};

}  // namespace engine
