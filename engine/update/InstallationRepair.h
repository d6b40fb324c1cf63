// Putting right an installation whose update was cut short (the program
// killed, the power lost), from the journal that update left: all new where
// every destination already holds its new bytes, else all old. Only the
// files the journal names are touched, and only after their bytes are
// checked against it: a staged copy is deleted only where it holds the new
// bytes the journal records.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/update/Retry.h"
#include "engine/update/UpdateJournal.h"
#include "engine/update/UpdatePackage.h"
#include "platform/FolderHandle.h"

namespace engine {

// A journal is a few lines; a file of its name that is much larger is not one.
inline constexpr std::size_t kLargestJournal = 64 << 10;

// What `file` holds, read as a journal vouched for by `key`: NotAJournal
// where it is too large to be one.
platform::Result<ReadJournal> ReadJournalFrom(platform::SourceFile& file,
                                              const platform::MachineKey& key);
// The journal in the installation folder `root`, read again for a while
// where a scanner that has just seen it holds it.
platform::Result<ReadJournal> ReadJournalIn(platform::FolderHandle& root,
                                            const platform::MachineKey& key,
                                            const Patience& patience);

// For each target of `journal`, the folder it stands in, as `folderOf` finds
// the folder of a row of the table; null where there is none.
std::vector<platform::FolderHandle*> FoldersOfTargets(
    const Journal& journal,
    const std::function<platform::FolderHandle*(std::size_t row)>& folderOf);

// What stands under each name of one journal target.
struct TargetOnDisk {
    // The bytes of each name; nullopt where no file stands.
    std::optional<Bytes> destination, staged, backup;
    // A name that could not be read (a link, a folder, access denied): what
    // it holds is not known, so it is nothing a repair may act on.
    bool unreadable = false;

    bool IsNew(const JournalTarget& target) const {
        return destination && *destination == target.after;
    }
    bool IsOld(const JournalTarget& target) const {
        return target.existed ? destination && *destination == target.before : !destination;
    }
};

// Reads each name of `target`, each read tried again for a while where a
// file is held for a moment.
TargetOnDisk ReadTargetOnDisk(platform::FolderHandle& folder, const JournalTarget& target,
                              const Patience& patience);

class InstallationRepair {
  public:
    enum class Done { Completed, Undone };

    // `folders` holds, for each target of `journal`, the folder it stands
    // in; null where that folder could not be opened.
    // `package`, where given, tells a staged copy that a kill cut short.
    InstallationRepair(platform::FolderHandle& root, const Journal& journal,
                       std::vector<platform::FolderHandle*> folders, Patience patience,
                       const UpdatePackage* package = nullptr)
        : root_(root),
          journal_(journal),
          folders_(std::move(folders)),
          patience_(patience),
          package_(package) {}

    // Repairs the installation. Nothing is touched when what stands there
    // does not match the journal: `failure` then names the journal's
    // mismatch. When an operation fails half way, `failure` says why and
    // the journal stays for a later run.
    struct Failed {
        std::optional<std::size_t> target;  // the target whose file failed, if one did
        platform::FileError error;
        bool mismatch = false;  // nothing was touched
    };
    std::optional<Done> Run(Failed& failure);

    // The targets whose staged name held other bytes than the journal's new
    // ones, whole or cut short: not the update's own, so left where they are.
    const std::vector<std::size_t>& KeptStaged() const { return keptStaged_; }

  private:
    platform::Failure Delete(platform::FolderHandle& folder, const std::string& name);
    // Whether the staged copy of target `i` is one cut short of the package
    // file whose bytes the journal records as its new ones.
    bool StagedCutShort(std::size_t i);
    platform::Failure Rename(platform::FolderHandle& folder, const std::string& from,
                             const std::string& to);

    platform::FolderHandle& root_;
    const Journal& journal_;
    std::vector<platform::FolderHandle*> folders_;
    Patience patience_;
    const UpdatePackage* package_;
    std::vector<std::size_t> keptStaged_;
};

}  // namespace engine
