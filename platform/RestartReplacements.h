// Files that take their destinations' places at the next restart, before any
// program runs: what Windows' session manager does with the renames that
// MoveFileExW(MOVEFILE_DELAY_UNTIL_REBOOT) leaves in the registry value
// PendingFileRenameOperations. An installation a running program holds is
// staged whole and its renames asked for here, so that nothing of it
// changes while the program may meet its files.
//
// The session manager renames by path, as SYSTEM, following links, before
// anyone logs on: a user who can change a folder on the way could send the
// rename elsewhere. So nothing is asked for in a folder that anyone but an
// administrator could change.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/FolderHandle.h"

namespace platform {

class RestartReplacements {
  public:
    virtual ~RestartReplacements() = default;

    // The first folder on the way from the volume's root to `folder`, itself
    // included, whose entries, list or owner someone other than an
    // administrator can change, by its full path; nullopt when there is
    // none. Judged through handles opened one below the other, never
    // through a link, and the last must be `folder` itself.
    virtual Result<std::optional<std::string>> FolderUsersCanChange(FolderHandle& folder) = 0;

    // Whether the replacement of `destination` by `staged`, both names of
    // `folder`, is asked for.
    virtual Result<bool> Registered(FolderHandle& folder, std::string_view staged,
                                    std::string_view destination) = 0;
    // Asks for it, after whatever other programs asked for; the caller asks
    // Registered first, so that it is never asked for twice.
    virtual Failure Register(FolderHandle& folder, std::string_view staged,
                             std::string_view destination) = 0;
    // Takes it back, where it was asked for; what other programs asked for
    // stays as it was, byte for byte.
    virtual Failure TakeBack(FolderHandle& folder, std::string_view staged,
                             std::string_view destination) = 0;
};

}  // namespace platform
