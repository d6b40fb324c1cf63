// The worker's other run, /LIST: the same search as an update's, the same
// package check, and for each installation found one line with its state.
// It opens files for reading only, so it changes nothing anywhere.
#include <string>

#include "engine/InstallationState.h"
#include "engine/MyThread.h"
#include "engine/Texts.h"

namespace engine {

void TMyThread::PerformInventory() {
    RunOutcome outcome = RunOutcome::Failed;
    try {
        currentFolder.clear();
        package_.reset();
        installationsListed_ = 0;
        installationsCurrent_ = 0;
        SetStatusText({});
        ClearLog();
        const auto view = files_.SeeFoldersAsTheyAre();
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
    } catch (...) {
        // The search and the reading report their own failures; what comes
        // here is a failure to reach the window, which has no words to show.
        ReportUnexpectedError(std::string(text::kUnknownFailure));
        outcome = RunOutcome::Failed;
    }
    outcome_ = outcome;
    if (events_)
        events_->RunEnded(outcome);
}

void TMyThread::ListInstallation(const std::string& installation) {
    const InstallationState state = InspectInstallation(files_, *package_, installation);
    ++installationsListed_;
    if (state == InstallationState::Current)
        ++installationsCurrent_;
    AppendLogLine(installation + ' ' + std::string(StateName(state)));
}

}  // namespace engine
