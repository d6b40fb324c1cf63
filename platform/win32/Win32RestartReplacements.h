// The replacements at the next restart on Windows (RestartReplacements.h):
// MoveFileExW with MOVEFILE_DELAY_UNTIL_REBOOT asks for one, and a pair is
// looked for and taken back in the registry value it writes
// (PendingRenames.h). Paths are the folders' own, as the system names their
// handles, so that no link the search passed through is followed at boot.
#pragma once

#include "platform/RestartReplacements.h"

namespace platform {

class Win32RestartReplacements final : public RestartReplacements {
  public:
    Result<std::optional<std::string>> FolderUsersCanChange(FolderHandle& folder) override;
    Result<bool> Registered(FolderHandle& folder, std::string_view staged,
                            std::string_view destination) override;
    Failure Register(FolderHandle& folder, std::string_view staged,
                     std::string_view destination) override;
    Failure TakeBack(FolderHandle& folder, std::string_view staged,
                     std::string_view destination) override;
};

}  // namespace platform
