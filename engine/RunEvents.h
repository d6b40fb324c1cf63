// What a run tells beyond the window, for a log file that an administrator
// collects and for the program around the worker: the package as checked,
// the folders the search could not list, when an installation is being
// changed (a shut-down should wait for that), and the run's outcome.
// Called on the worker's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/RunOutcome.h"

namespace engine {

// The installations a run found and what became of them, for a record that
// deployment tools read.
struct InstallationCount {
    std::size_t found = 0;
    std::size_t updated = 0;
    std::size_t leftAsTheyWere = 0;
    // Of those updated, the installations where files of the update's own
    // could not be deleted; a later run deletes them.
    std::size_t leftOver = 0;
    // Staged whole, to be finished at the next restart: a program held them.
    std::size_t waitingForRestart = 0;
};

// Each event is heard by whoever cares for it; the others pass unheard.
class RunEvents {
  public:
    virtual ~RunEvents() = default;
    // Each package file as the check read it, before any installation is touched.
    virtual void PackageFileChecked(const std::string& /*name*/, std::uint64_t /*size*/,
                                    const std::string& /*sha256*/) {}
    // A folder the search could not list, with the system's words for why.
    virtual void FolderNotSearched(const std::string& /*folder*/,
                                   const std::string& /*description*/) {}
    // A fixed drive ("E:") whose root could not be listed at all (a locked
    // encrypted drive), before the same folder's FolderNotSearched.
    virtual void DriveNotSearched(const std::string& /*drive*/,
                                  const std::string& /*description*/) {}
    // True as an installation begins to be changed, false once it is all old
    // or all new again.
    virtual void ChangingInstallation(bool /*changing*/) {}
    // A file of an earlier run's that an update left where it was, or moved
    // aside under `keptAs` (a name in the same folder), rather than follow or
    // delete it, and why.
    enum class KeptWhy : unsigned char {
        JournalNotOurs,    // a journal this PC's key does not vouch for, and each file it names
        JournalMismatch,   // a journal of ours the files no longer match, and each file it names
        NotJournalsBytes,  // a staged copy of a journal of ours holding other bytes
    };
    virtual void FileKept(const std::string& /*path*/, const std::string& /*keptAs*/,
                          KeptWhy /*why*/) {}
    // What earlier runs set aside in `installation` and an administrator
    // has not yet removed, each name relative to it; told by every run that
    // finds it, until it is gone.
    virtual void KeptFilesStand(const std::string& /*installation*/,
                                const std::vector<std::string>& /*names*/) {}
    // This PC's journal key was found where others could read or write it,
    // and a new one made in its place.
    virtual void JournalKeyReplaced(const std::string& /*why*/) {}
    // An installation that a running program (`heldBy`) holds was staged
    // whole and will be finished at the next restart.
    virtual void InstallationWaitsForRestart(const std::string& /*installation*/,
                                             const std::string& /*heldBy*/) {}
    // An unexpected failure (an exception) inside the update of one
    // installation, which was then left as its files show; the run goes on.
    virtual void InstallationFailed(const std::string& /*installation*/,
                                    const std::string& /*what*/) {}
    // What the run did with the installations it found, just before its end.
    virtual void InstallationsCounted(const InstallationCount&) {}
    // How far the search has got, as it enters each folder: the entries
    // taken in so far, and about how many the fixed drives hold where every
    // one of them keeps count.
    virtual void SearchProgress(std::uint64_t /*searched*/,
                                std::optional<std::uint64_t> /*onDrives*/) {}
    // How the search went through the drive `drive` ('A'..'Z'), once it is
    // known: "file table, <records> records, <seconds> s" when its file
    // table was read and only the folders it leaves open were listed, or
    // "walk: <why>" when every folder was.
    virtual void DriveSearched(char /*drive*/, const std::string& /*how*/) {}
    // The run's outcome, as its last act.
    virtual void RunEnded(RunOutcome /*outcome*/) {}
};

}  // namespace engine
