// The keys that sign an installation's journals, from this PC's key. That
// key is read, or made, only when a journal is first written or read: an
// installation that needs neither never reaches the registry.
#pragma once

#include <optional>
#include <string>

#include "engine/update/UpdateJournal.h"
#include "platform/FileSystem.h"

namespace engine {

class JournalKeys {
  public:
    explicit JournalKeys(platform::FileSystem& files) : files_(files) {}

    // The key of the journals of the installation folder `root`
    // (InstallationKey).
    platform::Result<platform::MachineKey> For(platform::FolderHandle& root) {
        if (!machine_) {
            machine_ = files_.JournalKey(platform::KeyUse::ReadOrMake);
            replaced_ = files_.JournalKeyReplaced();
        }
        if (!*machine_)
            return machine_->Error();
        const std::optional<platform::FileId> id = root.Id();
        if (!id) {
            return platform::FileError{platform::FileError::Kind::Other,
                                       "the installation folder's identity is unknown"};
        }
        return InstallationKey(**machine_, *id);
    }

    // Why this PC's key was replaced as it was read, if it was.
    const std::optional<std::string>& Replaced() const { return replaced_; }

  private:
    platform::FileSystem& files_;
    std::optional<platform::Result<platform::MachineKey>> machine_;
    std::optional<std::string> replaced_;
};

}  // namespace engine
