#include "app/RunLog.h"

#include "app/Texts.h"
#include "engine/Texts.h"

namespace app {

RunLog::RunLog(LogFile* file, engine::Report& report, engine::RunEvents& events)
    : file_(file), report_(report), events_(events) {}

void RunLog::ReleaseHeldLines() {
    for (const std::string& line : held_)
        file_->WriteLine(line);
    held_.clear();
    holding_ = false;
    packageWritten_ = false;
}

void RunLog::ReleaseIfPackageWritten() {
    if (packageWritten_)
        ReleaseHeldLines();
}

void RunLog::ReleaseBeforeOperation() {
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseIfPackageWritten();
    }
}

void RunLog::SetStatusText(const std::string& text) {
    ReleaseBeforeOperation();
    report_.SetStatusText(text);
}

void RunLog::ClearLog() {
    {
        std::lock_guard lock(drivesMutex_);
        drivesNotSearched_.clear();
    }
    // A run begins: what it shows first waits for the package's lines.
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseHeldLines();
        holding_ = true;
    }
    report_.ClearLog();
}

void RunLog::AppendLogLine(const std::string& line) {
    if (file_) {
        std::lock_guard lock(mutex_);
        if (line.starts_with(engine::text::kUnexpectedError))
            failure_ = line.substr(engine::text::kUnexpectedError.size());
        ReleaseIfPackageWritten();
        if (holding_)
            held_.push_back(line);
        else
            file_->WriteLine(line);
    }
    report_.AppendLogLine(line);
}

void RunLog::SetRunButtonCaption(const std::string& caption) {
    ReleaseBeforeOperation();
    report_.SetRunButtonCaption(caption);
}

void RunLog::SetRunButtonEnabled(bool enabled) {
    ReleaseBeforeOperation();
    report_.SetRunButtonEnabled(enabled);
}

void RunLog::SetStatusColour(engine::Verdict verdict) {
    ReleaseBeforeOperation();
    report_.SetStatusColour(verdict);
}

void RunLog::PackageFileChecked(const std::string& name, std::uint64_t size,
                                const std::string& sha256) {
    if (file_) {
        std::lock_guard lock(mutex_);
        file_->WriteLine(std::string(text::kLogPackage) + name + ' ' + std::to_string(size) + ' ' +
                         sha256);
        packageWritten_ = holding_;
    }
    events_.PackageFileChecked(name, size, sha256);
}

void RunLog::DriveNotSearched(const std::string& drive, const std::string& description) {
    {
        std::lock_guard lock(drivesMutex_);
        if (!drivesNotSearched_.empty())
            drivesNotSearched_ += ' ';
        drivesNotSearched_ += drive;
    }
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseIfPackageWritten();
        file_->WriteLine(std::string(text::kLogDrive) + drive +
                         std::string(text::kLogDriveNotSearched) + description);
    }
    events_.DriveNotSearched(drive, description);
}

void RunLog::FolderNotSearched(const std::string& folder, const std::string& description) {
    // A drive's root that had its own line.
    bool announced = false;
    if (folder.size() == 2 && folder[1] == ':') {
        std::lock_guard lock(drivesMutex_);
        announced = (' ' + drivesNotSearched_ + ' ').find(' ' + folder + ' ') != std::string::npos;
    }
    if (file_ && !announced) {
        std::lock_guard lock(mutex_);
        ReleaseIfPackageWritten();
        file_->WriteLine(std::string(text::kLogNotSearched) + folder + ": " + description);
    }
    events_.FolderNotSearched(folder, description);
}

void RunLog::DriveSearched(char drive, const std::string& how) {
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseIfPackageWritten();
        file_->WriteLine(std::string(text::kLogDriveSearched) + drive + ": " + how);
    }
    events_.DriveSearched(drive, how);
}

void RunLog::WriteInOrder(const std::string& line) {
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseIfPackageWritten();
        if (holding_)
            held_.push_back(line);
        else
            file_->WriteLine(line);
    }
}

void RunLog::FileKept(const std::string& path, const std::string& keptAs, KeptWhy why) {
    switch (why) {
        case KeptWhy::JournalNotOurs:
        case KeptWhy::JournalMismatch:
            WriteInOrder(std::string(why == KeptWhy::JournalNotOurs ? text::kLogJournalNotOurs
                                                                    : text::kLogJournalMismatch) +
                         path + std::string(text::kLogKeptAs) + keptAs);
            break;
        case KeptWhy::NotJournalsBytes:
            WriteInOrder(std::string(text::kLogNotJournalsBytes) + path);
            break;
    }
    events_.FileKept(path, keptAs, why);
}

void RunLog::KeptFilesStand(const std::string& installation,
                            const std::vector<std::string>& names) {
    std::string line = std::string(text::kLogKeptBefore) + installation + ':';
    const char* separator = " ";
    for (const std::string& name : names) {
        line.append(separator).append(name);
        separator = ", ";
    }
    WriteInOrder(line);
    events_.KeptFilesStand(installation, names);
}

void RunLog::JournalKeyReplaced(const std::string& why) {
    WriteInOrder(std::string(text::kLogJournalKeyReplaced) + why);
    events_.JournalKeyReplaced(why);
}

void RunLog::InstallationWaitsForRestart(const std::string& installation,
                                         const std::string& heldBy) {
    WriteInOrder(installation + std::string(text::kLogAtRestart) + heldBy);
    events_.InstallationWaitsForRestart(installation, heldBy);
}

void RunLog::InstallationFailed(const std::string& installation, const std::string& what) {
    // The installation's lines, just written, name it.
    WriteInOrder(std::string(text::kLogUnexpectedError) + what);
    events_.InstallationFailed(installation, what);
}

void RunLog::ChangingInstallation(bool changing) {
    events_.ChangingInstallation(changing);
}

void RunLog::InstallationsCounted(const engine::InstallationCount& count) {
    if (file_)
        file_->NoteCounts(count);
    events_.InstallationsCounted(count);
}

void RunLog::SearchProgress(std::uint64_t searched, std::optional<std::uint64_t> onDrives) {
    events_.SearchProgress(searched, onDrives);
}

void RunLog::RunEnded(engine::RunOutcome outcome) {
    if (file_) {
        std::lock_guard lock(mutex_);
        ReleaseHeldLines();
        if (outcome == engine::RunOutcome::Failed) {
            file_->WriteUnexpectedError(failure_.empty() ? engine::text::kUnknownFailure
                                                         : std::string_view(failure_));
        }
        failure_.clear();
    }
    events_.RunEnded(outcome);
}

}  // namespace app
