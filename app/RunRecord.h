// The record of the last run that reached a verdict, in the registry, where
// deployment tools (Intune, Configuration Manager, a start-up script) read
// whether a PC still needs the update and how the last try went:
// HKEY_LOCAL_MACHINE\SOFTWARE\Kelmina\Soramido\Update, always in the 64-bit
// view, so that the 32-bit build and a 64-bit tool look at the same key.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "app/ExitCode.h"
#include "engine/RunEvents.h"

namespace app {

struct RunRecord {
    int exitCode = 0;
    engine::InstallationCount count;
    std::optional<std::string> logFile;   // the log's full path
    std::optional<std::string> logError;  // why /LOG's file could not be written
    std::string drivesNotSearched;        // "E: F:", fixed drives whose root could not be listed
};

// Writes `record`. Version and UpToDate change as exit_code::VersionAfter
// and UpToDateAfter say; UpToDate goes first and comes back last, so that it
// never stands beside another run's LastExitCode. LastLog, LogError and
// DrivesNotSearched go when the run had none, so that they never name
// another run's. Throws std::system_error when the key cannot be written
// (without the rights of an administrator, for one).
void WriteRunRecord(const RunRecord& record);

// The local time now as the record gives it: YYYY-MM-DDThh:mm:ss±hh:mm.
std::string LocalTimeWithOffset();

class LogFile;

// Stands in the chain of a run's events, passes every call on to `next`, and keeps what
// the run's exit code and record are made of: each run that reaches a
// verdict is written to the registry as it ends, before `next` hears of the
// end. A failure to write goes into the log file only, since the run's
// outcome stands whatever the registry says.
class RunRecorder final : public engine::RunEvents {
  public:
    // `file`, when given, and `next` must outlive the runs.
    RunRecorder(LogFile* file, engine::RunEvents& next) : file_(file), next_(next) {}

    // From now on no run writes the record, as an inventory must not. Before
    // the first run.
    void KeepNoRecord() { keepsRecord_ = false; }

    // The program's exit code as its runs leave it: that of the last run
    // that reached a verdict or left an installation in the middle, or
    // "stopped" when none did.
    int ExitCode() const;

    void PackageFileChecked(const std::string& name, std::uint64_t size,
                            const std::string& sha256) override {
        next_.PackageFileChecked(name, size, sha256);
    }
    void FolderNotSearched(const std::string& folder, const std::string& description) override {
        next_.FolderNotSearched(folder, description);
    }
    void DriveNotSearched(const std::string& drive, const std::string& description) override;
    void InstallationWaitsForRestart(const std::string& installation,
                                     const std::string& heldBy) override {
        next_.InstallationWaitsForRestart(installation, heldBy);
    }
    void ChangingInstallation(bool changing) override { next_.ChangingInstallation(changing); }
    void InstallationsCounted(const engine::InstallationCount& count) override;
    void DriveSearched(char drive, const std::string& how) override {
        next_.DriveSearched(drive, how);
    }
    void SearchProgress(std::uint64_t searched, std::optional<std::uint64_t> onDrives) override {
        next_.SearchProgress(searched, onDrives);
    }
    void RunEnded(engine::RunOutcome outcome) override;

  private:
    // The record of a run that ended with exit code `code`; a failure to
    // write it goes into the log.
    void Record(int code, const engine::InstallationCount& count,
                const std::string& drivesNotSearched) const;

    LogFile* file_;
    engine::RunEvents& next_;
    bool keepsRecord_ = true;
    mutable std::mutex mutex_;
    // Of the run under way; each run starts afresh once the last has ended.
    engine::InstallationCount count_;
    std::string drivesNotSearched_;  // "E: F:"
    int exitCode_ = exit_code::kStopped;
};

}  // namespace app
