// The installation opened and listed: the folder itself, through a handle
// that keeps it whatever becomes of its path, the folders on the way to
// every destination, each opened relative to the one before, and what of an
// earlier run's stands there. Every other part of the update reaches the
// installation's files through the handles the survey holds.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ReplacementTable.h"
#include "engine/update/UpdateStanding.h"
#include "platform/FileSystem.h"

namespace engine {

class FolderNames;

// One destination of the installation, as the survey found it.
struct Destination {
    std::size_t row = 0;
    platform::FolderHandle* folder = nullptr;  // null when a folder on the way is not there
    std::optional<std::string> unreachable;    // why `folder` is null
    std::string name;                          // as on disk, or as the table writes it
    bool exists = false;

    const Replacement& Row() const { return kReplacements[row]; }
};

class InstallationSurvey {
  public:
    using Refusal = std::optional<std::string>;  // why the installation is not updated

    // `listed`, when known, is the identity of the folder the search listed:
    // the folder opened must be that one. Only with it is an installation
    // folder that is itself a link opened through the link.
    InstallationSurvey(platform::FileSystem& files, std::string installation,
                       std::optional<platform::FileId> listed);
    ~InstallationSurvey();
    InstallationSurvey(const InstallationSurvey&) = delete;
    InstallationSurvey& operator=(const InstallationSurvey&) = delete;

    Refusal Open();
    // Opens the installation folder again, the same folder: after a repair
    // has renamed files in it, a listing through the handle opened before
    // need not show them (Wine keeps one listing per handle).
    Refusal Reopen();
    // Lists the installation and reaches the folder of every destination;
    // `standing` learns whether a journal stands there. Only after Open().
    Refusal List(UpdateStanding& standing);

    bool IsOpen() const { return root_ != nullptr; }
    // The installation folder; only once it is open.
    platform::FolderHandle& Root() const { return *root_; }
    const std::vector<Destination>& Destinations() const { return destinations_; }
    // The folder of the destination of `row`; null where it could not be
    // opened, or the row has no destination in this installation.
    platform::FolderHandle* FolderOf(std::size_t row) const;
    const std::string& ProductFile() const { return productFile_; }  // as named on disk
    const std::string& JournalName() const { return journalName_; }  // as named on disk
    bool HasXtras() const { return hasXtras_; }
    // The journal drafts listed in the installation folder.
    const std::vector<std::string>& Drafts() const { return drafts_; }
    // The journals earlier runs set aside, kept with what they name.
    const std::vector<std::string>& KeptJournals() const { return keptJournals_; }

    // The paths the log gives.
    const std::string& Path() const { return installation_; }
    std::string PathOf(std::size_t row) const;  // of the destination of `row`
    // Of `name` in the folder of the destination of `row`.
    std::string PathBeside(std::size_t row, std::string_view name) const;
    std::string PathInRoot(std::string_view name) const;  // of `name` in the installation folder

  private:
    Refusal Reach(Destination& destination, const FolderNames& rootNames);

    platform::FileSystem& files_;
    std::string installation_;
    std::optional<platform::FileId> listed_;
    std::unique_ptr<platform::FolderHandle> root_;
    std::vector<std::unique_ptr<platform::FolderHandle>> folders_;  // on the way to destinations
    std::vector<Destination> destinations_;
    std::string productFile_;
    std::string journalName_;
    bool hasXtras_ = false;
    std::vector<std::string> drafts_;
    std::vector<std::string> keptJournals_;
};

}  // namespace engine
