// The worker: one run of the update on a thread of its own. It searches every
// fixed drive for installations of the product, updates each one it finds
// and gives its verdict, telling the window what to show only through the
// Report operations, each carried out on the UI thread while it waits; only
// the status line's display of the folder being searched goes without waiting.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/Report.h"
#include "engine/RunEvents.h"
#include "engine/filetable/InstallationPlaces.h"
#include "engine/search/DriveTable.h"
#include "engine/update/Retry.h"
#include "engine/update/UpdatePackage.h"
#include "platform/FileSystem.h"
#include "platform/UiCallQueue.h"
#include "platform/WorkerThread.h"

namespace engine {

struct UpdateOutcome;

class TMyThread {
  public:
    // What the worker's run does with each installation its search finds:
    // update it, or only tell its state (InstallationState.h) and change nothing.
    // UpdateUnattended, for a run nobody watches, stages an installation a
    // running program holds and leaves it to the next restart.
    enum class Task : std::uint8_t { Update, List, UpdateUnattended };

    // Creates the worker's thread and starts the run at once (PerformUpdate,
    // or PerformInventory for Task::List, unless a stop is requested before
    // the thread gets going). Throws
    // std::system_error when the thread cannot be created. The three services
    // must outlive the worker.
    // `events`, when given, hears what the window does not show; it must
    // outlive the worker too. `readAheadThreads` list folders ahead of the
    // search (ListingReadAhead.h); by default as many as suit each drive's
    // disk and this machine (ReadAheadSize.h), none over memory.
    TMyThread(platform::FileSystem& files, platform::UiCallQueue& ui, Report& report,
              RunEvents* events = nullptr, std::optional<unsigned> readAheadThreads = {},
              Task task = Task::Update);
    ~TMyThread();  // requests a stop and waits for the end
    TMyThread(const TMyThread&) = delete;
    TMyThread& operator=(const TMyThread&) = delete;

    // UI side. A worker of the NotStarted form has no thread: it has always
    // ended, and its stop request is the one it was given.
    void RequestStop();
    bool StopRequested() const;
    bool Ended() const;
    // How the run ended; Stopped until it has reached a verdict. Read it once
    // the worker has ended.
    RunOutcome Outcome() const { return outcome_.load(); }
    // Returns when the thread has ended, carrying out its report operations.
    void WaitForEnd();

    // The steps of a run, in the order they call one another. They run on the
    // worker's thread; tests drive single steps through the NotStarted form.
    void PerformUpdate();
    void PerformInventory();
    void ScanFixedDrives();
    void SearchFolder(const std::string& path);
    void ShowCurrentFolder();
    // Updates one installation as a whole and logs its lines; how it ends:
    // all new, all old, or left in the middle for the next run to repair.
    // `listed` is the identity the folder had when the search listed it: a
    // folder swapped in since is not the installation that was found.
    UpdateEnd RefreshInstallation(const std::string& installation,
                                  const std::optional<platform::FileId>& listed = std::nullopt);

    // How long an update waits for files that other programs hold; set
    // before the run or between steps.
    void SetPatience(Patience patience) { patience_ = patience; }

    // The folder most recently entered by the search.
    const std::string& CurrentFolder() const { return currentFolder; }

  protected:
    // A worker whose thread is never started: the caller runs the steps on a
    // thread of its own and decides when a stop counts as requested.
    struct NotStarted {
        std::stop_token stop;
        std::optional<unsigned> readAheadThreads;
    };
    TMyThread(NotStarted notStarted, platform::FileSystem& files, platform::UiCallQueue& ui,
              Report& report, RunEvents* events = nullptr);

  private:
    class InstallationSearch;

    // The file table of the drive whose root is `root` (DriveTable.h);
    // nullopt for a folder that is no drive's root, or when a stop came.
    // Tells the run's events how the drive is searched.
    std::optional<DriveTable> ReadDriveTable(const std::string& root);

    // The worker's own view of the stop request.
    bool Stopping() const { return stop_.stop_requested(); }

    // Reads every file of the package once, naming each missing or damaged
    // one in the log; false when any is.
    bool CheckUpdatePackage();
    // What every run does around its steps: the state of an earlier run
    // forgotten, the window cleared, `opening` logged (if any), the folders
    // seen as they are, and no failure let out of the thread; `body` runs
    // the steps to the verdict.
    void PerformRun(std::string_view opening, RunOutcome (TMyThread::*body)());
    // The run's steps after the window is prepared, to the verdict.
    RunOutcome SearchAndUpdate();
    RunOutcome SearchAndList();  // Inventory.cpp
    void ReportUnexpectedError(const std::string& description) noexcept;
    // Logs "<installation> <state>" (Inventory.cpp).
    void ListInstallation(const std::string& installation);
    // One line for each file of the installation, and why it was not
    // updated, if it was not.
    void LogUpdate(const std::string& installation, const UpdateOutcome& outcome);

    // The report operations, each carried out on the UI thread while the
    // worker waits.
    void SetStatusText(std::string_view text);
    void ClearLog();
    void AppendLogLine(std::string_view line);
    void SetRunButtonCaption(std::string_view caption);
    void SetRunButtonEnabled(bool enabled);
    void SetStatusColour(Verdict verdict);

    platform::FileSystem& files_;
    platform::UiCallQueue& ui_;
    Report& report_;
    RunEvents* events_;
    std::stop_token stop_;
    std::optional<unsigned> readAheadThreads_;
    std::atomic<RunOutcome> outcome_ = RunOutcome::Stopped;
    std::string currentFolder;
    Patience patience_;
    // The package as checked at the start of the run; every copy must match it.
    std::optional<UpdatePackage> package_;
    std::size_t installationsUpdated_ = 0;
    std::size_t installationsLeft_ = 0;       // as they were, after a failure
    std::size_t installationsMidway_ = 0;     // neither all old nor all new
    std::size_t installationsLeftOver_ = 0;   // new, with files of the update's own left
    std::size_t installationsAtRestart_ = 0;  // staged, waiting for the next restart
    Task task_ = Task::Update;
    std::size_t installationsListed_ = 0;  // by an inventory
    std::size_t installationsCurrent_ = 0;
    // How far the search has got, for the run's events.
    std::uint64_t entriesSearched_ = 0;
    std::optional<std::uint64_t> entriesOnDrives_;
    bool walkOnly_ = false;                         // the drives' file tables are not to be read
    std::optional<platform::WorkerThread> thread_;  // last: started once all else exists
};

}  // namespace engine
