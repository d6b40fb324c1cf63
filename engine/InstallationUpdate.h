// The change of one installation, as a whole: every file of the package goes
// in, or none does. Everything is done through handles opened once
// (FolderHandle.h), so a folder swapped for a link half way cannot send a
// write outside the installation.
//
//   1. Check:  nothing holds the installation: the product does not run from
//              it, and every destination can be opened exclusively.
//   2. Stage:  each package file is copied beside its destination, hashed as
//              it is written, flushed, and must hash to what the package check
//              found.
//   3. Commit: in table order, each destination is moved aside to its backup
//              name (or, where there was none, an "absent" note is left), and
//              its staged copy moved to its name; then the commit marker is
//              written.
//   4. Finish: the backups, notes and the marker are deleted.
// A failure before the marker is written puts every backup back and deletes
// every staged copy and note. Should the program die half way, the names it
// leaves behind say what was going on, and the next run repairs the
// installation before anything else: with the marker there the commit had
// finished and only the leftovers go; without it every backup goes back.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ReplacementTable.h"
#include "engine/UpdatePackage.h"
#include "platform/FileSystem.h"

namespace engine {

// The names the update leaves beside a destination while it works.
inline constexpr std::string_view kStagedSuffix = ".~upd-new";
inline constexpr std::string_view kBackupSuffix = ".~upd-old";
inline constexpr std::string_view kAbsentSuffix = ".~upd-none";
inline constexpr std::string_view kCommitMarker = "~upd-committed";

class InstallationUpdate {
  public:
    // How long a destination that another program holds open is waited for
    // (virus scanners hold new files briefly), and how long a deletion that
    // fails is tried again.
    struct Patience {
        std::chrono::milliseconds inUse{1000};
        std::chrono::milliseconds retryEvery{50};
    };

    struct Outcome {
        // The line of a repair of an earlier, interrupted update; logged first.
        std::optional<std::string> repaired;
        bool replaced = false;
        bool hasXtras = false;  // whether the plug-in was (or would have been) placed
        std::string reason;     // why the installation was left as it was
    };

    // `listed`, when known, is the identity of the folder the search listed:
    // the folder opened must be that one.
    InstallationUpdate(platform::FileSystem& files, const UpdatePackage& package,
                       std::string installation, Patience patience,
                       std::optional<platform::FolderId> listed = std::nullopt);
    ~InstallationUpdate();
    InstallationUpdate(const InstallationUpdate&) = delete;
    InstallationUpdate& operator=(const InstallationUpdate&) = delete;

    // Repairs what an interrupted update left, then updates the installation.
    Outcome Run();

    // Only the repair: the installation ends all old or all new, without
    // leftovers. Returns the repair's line, if there was anything to repair;
    // `failure` tells why a repair could not be completed.
    std::optional<std::string> Repair(std::string& failure);

  private:
    struct Target;
    using Refusal = std::optional<std::string>;  // why the installation stays as it is

    // Opens the installation and the folders of every destination, and reads
    // what stands there now.
    Refusal Survey();
    bool HasLeftovers() const;
    Refusal CheckNothingHoldsIt();
    Refusal Stage(Target& target);
    Refusal Commit();
    void Finish();
    void RollBack();
    static bool Moved(platform::FolderHandle& folder, std::string_view from, std::string_view to);

    // Wording of failures.
    std::string FilePath(const Target& target) const;
    std::string Describe(const std::string& path, const platform::FileError& error) const;
    // Runs `operation` until it succeeds or the patience for retries runs out.
    template <typename Operation>
    platform::Failure Persist(Operation operation) const;

    platform::FileSystem& files_;
    const UpdatePackage& package_;
    std::string installation_;
    Patience patience_;
    std::optional<platform::FolderId> listed_;
    std::unique_ptr<platform::FolderHandle> root_;
    std::vector<std::unique_ptr<platform::FolderHandle>> folders_;  // on the way to destinations
    std::vector<Target> targets_;
    std::string markerFile_;  // the product's executable, as named on disk
    bool hasXtras_ = false;
    bool markerFound_ = false;  // a commit marker of an earlier run
    bool committed_ = false;    // this run's marker is written
};

}  // namespace engine
