// After an update that did not go through: what stands in the installation
// now, read through the handles the survey opened, and the verdict.
#pragma once

#include <string>

#include "engine/update/InstallationSurvey.h"
#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdateOutcome.h"
#include "engine/update/UpdatePackage.h"
#include "engine/update/UpdateStanding.h"

namespace engine {

// What stands there after the update was refused for `reason`. Where it
// stands tells whether a look is needed at all; the look measures every
// destination against the package and finds what `thisRun` (the journal of
// this run's change, once begun) and `unrepaired` (an earlier run's, not
// followed) name of an update's own. Sets the outcome's reason, state and
// rows that hold their new bytes.
void Conclude(UpdateOutcome& outcome, std::string reason, UpdateStanding standing,
              const InstallationSurvey& survey, const UpdatePackage& package, Patience patience,
              const Journal& thisRun, const Journal* unrepaired);

}  // namespace engine
