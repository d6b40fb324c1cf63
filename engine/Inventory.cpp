// The worker's other run, /LIST: the same search as an update's, the same
// package check, and for each installation found one line with its state.
// It opens files for reading only, so it changes nothing anywhere.
#include <string>
#include <vector>

#include "engine/MyThread.h"
#include "engine/Texts.h"
#include "engine/update/InstallationState.h"
#include "engine/update/KeptSets.h"

namespace engine {

void TMyThread::PerformInventory() {
    PerformRun({}, &TMyThread::SearchAndList);
}

RunOutcome TMyThread::SearchAndList() {
    RunOutcome outcome = RunOutcome::Failed;
    // The package's bytes are what "1.55B" is measured against.
    if (!CheckUpdatePackage()) {
        AppendLogLine(text::kPackageIncomplete);
        outcome = RunOutcome::PackageDamaged;
    } else {
        ScanFixedDrives();
        SetStatusText({});
        if (Stopping()) {
            AppendLogLine(text::kStopped);
            outcome = RunOutcome::Stopped;
        } else if (installationsListed_ == 0) {
            AppendLogLine(text::kNotInstalled);
            outcome = RunOutcome::NothingFound;
        } else {
            outcome = installationsCurrent_ == installationsListed_ ? RunOutcome::Updated
                                                                    : RunOutcome::SomeBehind;
        }
    }
    SetRunButtonCaption(text::kRunCaption);
    SetRunButtonEnabled(true);
    return outcome;
}

void TMyThread::ListInstallation(const std::string& installation) {
    const InstallationState state = InspectInstallation(files_, *package_, installation);
    ++installationsListed_;
    if (state == InstallationState::Current)
        ++installationsCurrent_;
    AppendLogLine(installation + ' ' + std::string(StateName(state)));
    if (events_) {
        const std::vector<std::string> kept = KeptNamesIn(files_, installation);
        if (!kept.empty())
            events_->KeptFilesStand(installation, kept);
    }
}

}  // namespace engine
