#include "engine/MyThread.h"

#include <cstdlib>
#include <exception>
#include <set>
#include <string_view>
#include <utility>

#include "engine/ReplacementTable.h"
#include "engine/Strings.h"
#include "engine/Texts.h"
#include "engine/Utf8.h"
#include "engine/search/CountedListings.h"
#include "engine/search/DriveTable.h"
#include "engine/search/FolderWalk.h"
#include "engine/search/ReadAheadSize.h"
#include "engine/update/InstallationUpdate.h"
#include "platform/AsciiCase.h"
#include "platform/PathJoin.h"

namespace engine {

// ---- the worker and its thread ---------------------------------------------

TMyThread::TMyThread(platform::FileSystem& files, platform::UiCallQueue& ui, Report& report,
                     RunEvents* events, std::optional<unsigned> readAheadThreads, Task task)
    : files_(files),
      ui_(ui),
      report_(report),
      events_(events),
      readAheadThreads_(readAheadThreads),
      task_(task) {
    thread_.emplace(ui_, [this](std::stop_token stop) {
        stop_ = std::move(stop);
        if (task_ == Task::List)
            PerformInventory();
        else
            PerformUpdate();
    });
}

TMyThread::TMyThread(NotStarted notStarted, platform::FileSystem& files, platform::UiCallQueue& ui,
                     Report& report, RunEvents* events)
    : files_(files),
      ui_(ui),
      report_(report),
      events_(events),
      stop_(std::move(notStarted.stop)),
      readAheadThreads_(notStarted.readAheadThreads) {}

// The thread goes first: it still uses every other member until it ends.
TMyThread::~TMyThread() {
    thread_.reset();
}

void TMyThread::RequestStop() {
    if (thread_)
        thread_->RequestStop();
}

bool TMyThread::StopRequested() const {
    // The thread takes its stop token when it starts; until then only the
    // thread object holds the request.
    return thread_ ? thread_->StopRequested() : stop_.stop_requested();
}

bool TMyThread::Ended() const {
    return !thread_ || thread_->Ended();
}

void TMyThread::WaitForEnd() {
    if (thread_)
        thread_->WaitForEnd();
}

// ---- report operations -----------------------------------------------------

void TMyThread::SetStatusText(std::string_view text) {
    const std::string status(text);
    ui_.Invoke([&] { report_.SetStatusText(status); });
}

void TMyThread::ClearLog() {
    ui_.Invoke([&] { report_.ClearLog(); });
}

void TMyThread::AppendLogLine(std::string_view line) {
    const std::string text(line);
    ui_.Invoke([&] { report_.AppendLogLine(text); });
}

void TMyThread::SetRunButtonCaption(std::string_view caption) {
    const std::string text(caption);
    ui_.Invoke([&] { report_.SetRunButtonCaption(text); });
}

void TMyThread::SetRunButtonEnabled(bool enabled) {
    ui_.Invoke([&] { report_.SetRunButtonEnabled(enabled); });
}

void TMyThread::SetStatusColour(Verdict verdict) {
    ui_.Invoke([&] { report_.SetStatusColour(verdict); });
}

// ---- the run ---------------------------------------------------------------

void TMyThread::PerformUpdate() {
    PerformRun(text::kOpening, &TMyThread::SearchAndUpdate);
}

void TMyThread::PerformRun(std::string_view opening, RunOutcome (TMyThread::*body)()) {
    RunOutcome outcome = RunOutcome::Failed;
    try {
        currentFolder.clear();
        package_.reset();
        installationsUpdated_ = 0;
        installationsLeft_ = 0;
        installationsMidway_ = 0;
        installationsLeftOver_ = 0;
        installationsAtRestart_ = 0;
        installationsListed_ = 0;
        installationsCurrent_ = 0;
        SetStatusText({});
        ClearLog();
        if (!opening.empty())
            AppendLogLine(opening);
        const auto view = files_.SeeFoldersAsTheyAre();
        outcome = (this->*body)();
    } catch (const std::exception& failure) {
        const std::string_view description = failure.what();
        ReportUnexpectedError(
            std::string(IsUtf8(description) ? description : text::kUnknownFailure));
    } catch (...) {
        ReportUnexpectedError(std::string(text::kUnknownFailure));
    }
    outcome_ = outcome;
    if (events_) {
        // Only an update changes installations, so only it counts them.
        if (body == &TMyThread::SearchAndUpdate) {
            events_->InstallationsCounted({installationsUpdated_ + installationsLeft_ +
                                               installationsMidway_ + installationsAtRestart_,
                                           installationsUpdated_, installationsLeft_,
                                           installationsLeftOver_, installationsAtRestart_});
        }
        events_->RunEnded(outcome);
    }
}

RunOutcome TMyThread::SearchAndUpdate() {
    // Nothing is touched unless every file of the package is there and
    // sound, so a damaged package cannot reach any installation.
    if (!CheckUpdatePackage()) {
        AppendLogLine(text::kPackageIncomplete);
        SetStatusText({});
        SetRunButtonCaption(text::kRunCaption);
        SetRunButtonEnabled(true);
        return RunOutcome::PackageDamaged;
    }
    ScanFixedDrives();
    SetStatusText({});
    if (Stopping()) {
        AppendLogLine(text::kStopped);
        SetRunButtonCaption(text::kRunCaption);
        SetRunButtonEnabled(true);
        return RunOutcome::Stopped;
    }
    SetRunButtonCaption(text::kRunCaption);
    // Decided from what the search did, not from the log, which the user
    // can type into.
    if (installationsUpdated_ + installationsLeft_ + installationsMidway_ +
            installationsAtRestart_ ==
        0) {
        AppendLogLine(text::kNotInstalled);
        SetRunButtonEnabled(true);
        return RunOutcome::NothingFound;
    }
    AppendLogLine({});
    if (installationsLeft_ + installationsMidway_ == 0 && installationsAtRestart_ > 0) {
        // Nothing is left to anyone at the PC: the restart finishes it.
        AppendLogLine(text::kAtRestartLine);
        SetStatusText(text::kAtRestartStatus);
        SetStatusColour(Verdict::Completed);
        SetRunButtonEnabled(false);
        return RunOutcome::WaitsForRestart;
    }
    if (installationsLeft_ + installationsMidway_ == 0) {
        AppendLogLine(text::kCompletedLine);
        AppendLogLine(text::kCompletedAdvice);
        SetStatusText(text::kCompletedStatus);
        SetStatusColour(Verdict::Completed);
        SetRunButtonEnabled(false);
        return RunOutcome::Updated;
    }
    // The button stays enabled so the user can run again once what the log
    // names as the reason is out of the way.
    AppendLogLine(text::kIncompleteLine);
    AppendLogLine(text::kIncompleteAdvice);
    SetStatusText(text::kIncompleteStatus);
    SetStatusColour(Verdict::Incomplete);
    // An installation in the middle of its update is the more urgent news:
    // only another run puts it right.
    return installationsMidway_ > 0 ? RunOutcome::LeftMidway : RunOutcome::SomeLeft;
}

void TMyThread::ReportUnexpectedError(const std::string& description) noexcept {
    // If even the window cannot be told, there is nobody left to tell.
    try {
        AppendLogLine(Joined(text::kUnexpectedError, description));
        SetRunButtonCaption(text::kRunCaption);
        SetRunButtonEnabled(true);
    } catch (...) {
    }
}

bool TMyThread::CheckUpdatePackage() {
    PackageCheck checked = UpdatePackage::Check(files_, files_.OwnExecutableFolder());
    if (events_) {
        for (const PackageFile& file : checked.read) {
            events_->PackageFileChecked(file.path.substr(file.path.rfind('\\') + 1), file.size,
                                        platform::ToHex(file.digest));
        }
    }
    for (const std::string& problem : checked.problems)
        AppendLogLine(problem);
    package_ = std::move(checked.package);
    return package_.has_value();
}

// ---- the search ------------------------------------------------------------

void TMyThread::ScanFixedDrives() {
    const std::uint32_t mask = files_.LogicalDrives();
    std::string fixed;
    for (int i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('A' + i);
        if ((mask & (std::uint32_t{1} << i)) != 0 &&
            files_.GetDriveType(letter) == platform::DriveType::Fixed) {
            fixed += letter;
        }
    }
    // A share of the whole search needs every drive's count.
    entriesSearched_ = 0;
    entriesOnDrives_ = 0;
    for (const char letter : fixed) {
        const std::optional<std::uint64_t> entries = files_.EntriesOnDrive(letter);
        if (!entries) {
            entriesOnDrives_.reset();
            break;
        }
        *entriesOnDrives_ += *entries;
    }
    // For the tests and for a volume that the reader would misjudge: every
    // folder is then listed, as before the file table was read.
    const char* const search = std::getenv("SORAMIDO_SEARCH");
    walkOnly_ = search != nullptr && std::string_view(search) == "walk";
    for (const char letter : fixed)
        SearchFolder(std::string{letter, ':'});
}

std::optional<DriveTable> TMyThread::ReadDriveTable(const std::string& root) {
    if (root.size() != 2 || root[1] != ':')
        return std::nullopt;
    bool shown = false;
    DriveTable table(files_, root[0], kProductFile, walkOnly_, [&](std::uint64_t records) {
        // The reading takes a while on a large drive: it shows as the
        // drive's root, where the walk would start.
        if (!std::exchange(shown, true)) {
            currentFolder = root;
            ShowCurrentFolder();
        }
        if (events_)
            events_->SearchProgress(entriesSearched_ + records, entriesOnDrives_);
        return !Stopping();
    });
    if (Stopping())
        return std::nullopt;  // the walk ends at once; there is nothing to tell
    if (events_)
        events_->DriveSearched(root[0], table.How());
    if (table.Places())
        entriesSearched_ += table.Records();
    return table;
}

// What the search does at each step of the walk: it shows every folder it
// enters and updates every installation it recognises, until a stop is
// requested. After a stop no folder is entered and no update begins; the
// update under way, if any, has already completed.
class TMyThread::InstallationSearch : public FolderWalk::Visitor {
  public:
    // Where the drive's file table was read, the progress counts its
    // records, all of them read before the walk.
    InstallationSearch(TMyThread& worker, const CountedListings& listings, bool tableRead)
        : worker_(worker), listings_(listings), tableRead_(tableRead) {}

    bool EnterFolder(const std::string& path) override {
        if (worker_.Stopping())
            return false;
        worker_.currentFolder = path;
        worker_.ShowCurrentFolder();
        if (worker_.events_) {
            worker_.events_->SearchProgress(
                worker_.entriesSearched_ + (tableRead_ ? 0 : listings_.Entries()),
                worker_.entriesOnDrives_);
        }
        return true;
    }

    bool KeepListing() override { return !worker_.Stopping(); }

    void NotListed(const std::string& path) override {
        if (worker_.events_) {
            const std::string why = worker_.files_.WhyNotListed(path);
            // The walk begins at a drive's root as "X:".
            if (path.size() == 2 && path[1] == ':')
                worker_.events_->DriveNotSearched(path, why);
            worker_.events_->FolderNotSearched(path, why);
        }
    }

    bool MarkerFound(const std::string& folder,
                     const std::optional<platform::FileId>& id) override {
        if (worker_.Stopping())
            return false;
        // A drive searched again where it changed meanwhile leads back to
        // installations already dealt with.
        if (!handled_.insert(folder).second)
            return true;
        if (worker_.task_ == Task::List) {
            if (worker_.files_.IsFolder(platform::JoinPath(folder, kSoundFolder)))
                worker_.ListInstallation(folder);
            return true;
        }
        if (worker_.files_.IsFolder(platform::JoinPath(folder, kSoundFolder))) {
            switch (worker_.RefreshInstallation(folder, id)) {
                case UpdateEnd::Updated:
                    ++worker_.installationsUpdated_;
                    break;
                case UpdateEnd::LeftAsItWas:
                    ++worker_.installationsLeft_;
                    break;
                case UpdateEnd::Midway:
                    ++worker_.installationsMidway_;
                    break;
                case UpdateEnd::AtRestart:
                    ++worker_.installationsAtRestart_;
                    break;
            }
        }
        return true;
    }

  private:
    TMyThread& worker_;
    const CountedListings&
        listings_;  // this drive's; worker_.entriesSearched_ has the drives before
    bool tableRead_;
    std::set<std::string> handled_;  // folders where a marker was found
};

void TMyThread::SearchFolder(const std::string& path) {
    std::optional<DriveTable> table = ReadDriveTable(path);
    InstallationPlaces* places = table ? table->Places() : nullptr;
    CountedListings listings(files_);
    InstallationSearch search(*this, listings, places != nullptr);
    const unsigned readAhead = readAheadThreads_
                                   ? *readAheadThreads_
                                   : ReadAheadThreads(path.empty() ? platform::DiskKind::Unknown
                                                                   : files_.KindOfDisk(path[0]));
    FolderWalk(listings, kProductFile, search, {readAhead, stop_, {}}).Run(path, places);
    if (places && !Stopping()) {
        // What changed while the drive was searched by its table, searched
        // again: the table shows the drive as it was when read.
        switch (table->SinceRead()) {
            case DriveTable::Changes::None:
                break;
            case DriveTable::Changes::Whole:
                if (events_)
                    events_->DriveSearched(path[0], table->How());
                places = nullptr;
                [[fallthrough]];
            case DriveTable::Changes::Folders:
                FolderWalk(listings, kProductFile, search, {readAhead, stop_, {}})
                    .Run(path, places);
                break;
        }
    }
    if (!table || !table->Places())
        entriesSearched_ += listings.Entries();
}

void TMyThread::ShowCurrentFolder() {
    // The search does not wait for the status line: a screen cannot show
    // thousands of folders a second, and waiting for each would make the
    // search many times slower. The UI thread shows the newest folder when it
    // gets to it, and always before the worker's next report operation, so
    // an installation's lines appear with its folder in the status line.
    ui_.Post([&report = report_, folder = currentFolder] { report.SetStatusText(folder); });
}

// ---- the update of one installation ---------------------------------------

UpdateEnd TMyThread::RefreshInstallation(const std::string& installation,
                                         const std::optional<platform::FileId>& listed) {
    // A worker driven step by step may not have checked the package yet.
    if (!package_) {
        PackageCheck checked = UpdatePackage::Check(files_, files_.OwnExecutableFolder());
        package_ = std::move(checked.package);
        if (!package_) {
            UpdateOutcome refused;
            refused.hasXtras = true;
            refused.reason = checked.problems.front();
            LogUpdate(installation, refused);
            return refused.state;
        }
    }
    InstallationUpdate update(files_, *package_, installation, patience_, listed);
    if (task_ == Task::UpdateUnattended)
        update.MayWaitForRestart();
    UpdateOutcome outcome;
    {
        // Held while the installation may be half changed; let go however
        // the update ends, a thrown failure included, once it is all new or
        // all old again, or has been given up on.
        struct ChangeHeld {
            RunEvents* events;
            explicit ChangeHeld(RunEvents* held) : events(held) {
                if (events)
                    events->ChangingInstallation(true);
            }
            ~ChangeHeld() {
                if (events)
                    events->ChangingInstallation(false);
            }
            ChangeHeld(const ChangeHeld&) = delete;
            ChangeHeld& operator=(const ChangeHeld&) = delete;
        } held(events_);
        outcome = update.Run();
    }
    // The lines come once the installation is all new or all old again.
    if (events_ && outcome.keyReplaced)
        events_->JournalKeyReplaced(*outcome.keyReplaced);
    if (events_) {
        for (const UpdateOutcome::Kept& kept : outcome.kept)
            events_->FileKept(kept.path, kept.keptAs, kept.why);
        if (!outcome.keptBefore.empty())
            events_->KeptFilesStand(installation, outcome.keptBefore);
    }
    if (outcome.repaired)
        AppendLogLine(*outcome.repaired);
    LogUpdate(installation, outcome);
    if (events_ && outcome.unexpected)
        events_->InstallationFailed(installation, *outcome.unexpected);
    if (!outcome.leftOver.empty())
        ++installationsLeftOver_;
    return outcome.state;
}

void TMyThread::LogUpdate(const std::string& installation, const UpdateOutcome& outcome) {
    for (std::size_t row = 0; row < kReplacements.size(); ++row) {
        if (kReplacements[row].onlyWithXtras && !outcome.hasXtras)
            continue;
        const bool isNew = outcome.state == UpdateEnd::Updated ||
                           (outcome.state == UpdateEnd::Midway && outcome.rowIsNew[row]);
        AppendLogLine(Joined(installation, kReplacements[row].logName,
                             isNew ? text::kReplaced : text::kNotReplaced));
    }
    for (const std::string& left : outcome.leftOver)
        AppendLogLine(Joined(left, text::kNotDeleted));
    if (outcome.state == UpdateEnd::AtRestart) {
        AppendLogLine(Joined(installation, text::kAtRestart, outcome.reason));
        if (events_)
            events_->InstallationWaitsForRestart(installation, outcome.heldBy);
    } else if (outcome.state != UpdateEnd::Updated) {
        AppendLogLine(
            Joined(installation,
                   outcome.state == UpdateEnd::Midway ? text::kLeftMidway : text::kLeftAsItWas,
                   outcome.reason));
    }
}

}  // namespace engine
