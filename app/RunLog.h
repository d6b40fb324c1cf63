// What a run writes into the log file: the package as checked, every line of
// the log box exactly as shown, and the folders the search could not list,
// in the order they happened. It stands between the worker and whatever
// shows the run (the window, or nothing with /VERYSILENT), passes every
// report operation and run event on, and writes down what passes. The
// record in the registry is RunRecorder's (RunRecord.h).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "engine/Report.h"
#include "engine/RunEvents.h"

namespace app {

class RunLog final : public engine::Report, public engine::RunEvents {
  public:
    // Without a file it only passes everything on. All three must outlive
    // the runs.
    RunLog(LogFile* file, engine::Report& report, engine::RunEvents& events);

    // engine::Report, on the UI thread.
    void SetStatusText(const std::string& text) override;
    void ClearLog() override;
    void AppendLogLine(const std::string& line) override;
    void SetRunButtonCaption(const std::string& caption) override;
    void SetRunButtonEnabled(bool enabled) override;
    void SetStatusColour(engine::Verdict verdict) override;

    // engine::RunEvents, on the worker's thread.
    void PackageFileChecked(const std::string& name, std::uint64_t size,
                            const std::string& sha256) override;
    void FolderNotSearched(const std::string& folder, const std::string& description) override;
    void DriveNotSearched(const std::string& drive, const std::string& description) override;
    void ChangingInstallation(bool changing) override;
    void InstallationsCounted(const engine::InstallationCount& count) override;
    void DriveSearched(char drive, const std::string& how) override;
    void FileKept(const std::string& path, const std::string& keptAs, KeptWhy why) override;
    void KeptFilesStand(const std::string& installation,
                        const std::vector<std::string>& names) override;
    void JournalKeyReplaced(const std::string& why) override;
    void InstallationWaitsForRestart(const std::string& installation,
                                     const std::string& heldBy) override;
    void InstallationFailed(const std::string& installation, const std::string& what) override;
    void SearchProgress(std::uint64_t searched, std::optional<std::uint64_t> onDrives) override;
    void RunEnded(engine::RunOutcome outcome) override;

  private:
    // Under the lock: writes the lines held back, once the package's lines
    // are written or the run has ended without them.
    void ReleaseHeldLines();
    void ReleaseIfPackageWritten();
    // Takes the lock: the held lines go before any report operation that
    // follows the package's lines.
    void ReleaseBeforeOperation();
    // Takes the lock: writes a line of the run's own, in its place among
    // the log box's.
    void WriteInOrder(const std::string& line);

    std::mutex mutex_;
    LogFile* file_;
    engine::Report& report_;
    engine::RunEvents& events_;
    // The worker shows its opening line before it checks the package; the
    // package's lines go first in the file all the same.
    std::vector<std::string> held_;
    bool holding_ = false;
    bool packageWritten_ = false;
    // What the worker's unexpected-error line named, for the file's
    // "unexpected error:" line when the run ends so.
    std::string failure_;
    // The drives that had a line of their own, whose root then needs none.
    std::mutex drivesMutex_;
    std::string drivesNotSearched_;  // "E: F:"
};

}  // namespace app
